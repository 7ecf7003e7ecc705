#pragma once
// A line of text and the client coordinates where the window side draws it
// (TextOutA at x, y with the whole text, trailing blanks included).

#include <string>

struct PlacedText {
  int x = 0;
  int y = 0;
  std::string text;
};
