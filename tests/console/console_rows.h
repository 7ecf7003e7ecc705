#pragma once
// What both Wine programs of the console name in their rows: a control by
// the name the resource header gives it (read from that header as the build
// knows it; "NAME+N" is N after it), the lights' buttons by their own names,
// and a window by its title with "_" for its blanks.

#include "devices/motion/arduino_link.h"
#include "program_run.h"
#include "test_files.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>

#define NAMED(x) {#x, x}

inline int controlId(const std::string& name) {
  static const std::map<std::string, int> ids = [] {
    std::map<std::string, int> named = {NAMED(IDOK), NAMED(IDCANCEL), NAMED(IDYES), NAMED(IDNO), NAMED(laserOnButton),
        NAMED(laserOffButton), NAMED(illuminationOnButton), NAMED(illuminationOffButton)};
    std::istringstream header(testfiles::readBytes(ui::windowsPathOf(NERIN_RESOURCE_IDS).c_str()));
    std::string define, id;
    for (std::string line; std::getline(header, line);)
      if (int value; std::istringstream(line) >> define >> id >> value && define == "#define") named[id] = value;
    return named;
  }();
  const std::size_t plus = name.find('+');
  return ids.at(name.substr(0, plus)) + (plus == std::string::npos ? 0 : std::stoi(name.substr(plus + 1)));
}

inline std::wstring title(std::string text) {
  std::replace(text.begin(), text.end(), '_', ' ');
  return std::wstring(text.begin(), text.end());
}
