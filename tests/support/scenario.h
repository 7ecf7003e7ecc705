#pragma once
// Test cases as data, shared by every folder whose cases are rows of a
// scenario file. A scenario file is read line by line:
//   == title            a new scenario; the step "==" (if any) sets the stage
//   step args... = x    calls the step and compares what it returns with x
//                       (as numbers, to 1e-9, when both are numbers);
//                       "~ x" contains x, "!~ x" does not, "< x", "> x" numbers
//   # ...               a comment
// In arguments and expectations "\n", "\r", "\\" and "\xNN" are those bytes.
// A failure names the file line, so a scenario reads as its own report.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace scenario {

using Args = std::vector<std::string>;  // the step's name, then its arguments
using Steps = std::map<std::string, std::function<std::string(const Args&)>>;

// Argument i as a number, or as a text ("" when the row has fewer).
inline double num(const Args& args, std::size_t i) { return std::stod(args.at(i)); }
inline std::string arg(const Args& args, std::size_t i) { return i < args.size() ? args[i] : std::string(); }

// The arguments from this one on, joined by blanks: a text that runs to the
// end of the row.
inline std::string rest(const Args& args, std::size_t from) {
  std::string text;
  for (std::size_t i = from; i < args.size(); ++i) text += (i > from ? " " : "") + args[i];
  return text;
}

// How often the part occurs in the text (a call in a device's log).
inline int occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); !part.empty() && at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

inline std::string unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char next = text[i] == '\\' && i + 1 < text.size() ? text[++i] : '\0';  // '\0': no escape
    if (next == 'x' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += next == 'n' ? '\n' : next == 'r' ? '\r' : next ? next : text[i];
    }
  }
  return out;
}

// A step that only acts: it returns nothing to compare.
template <typename F>
std::function<std::string(const Args&)> act(F f) {
  return [f](const Args& args) { return f(args), std::string(); };
}

inline bool number(const std::string& text, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0';
}

inline std::string str(double value) {
  std::ostringstream out;
  out.precision(12);
  out << (value == 0 ? 0.0 : value);  // never "-0"
  return out.str();
}

inline void check(const std::string& op, const std::string& got, const std::string& want) {
  double g = 0, w = 0;
  const bool numbers = number(got, g) && number(want, w);
  if (op == "=" && numbers) EXPECT_NEAR(g, w, 1e-9 * std::max(1.0, std::fabs(w))) << got;
  else if (op == "=") EXPECT_EQ(got, want);
  else if (op == "~") EXPECT_NE(got.find(want), std::string::npos) << got;
  else if (op == "!~") EXPECT_EQ(got.find(want), std::string::npos) << got;
  else if (op == "<") EXPECT_TRUE(numbers && g < w) << got;
  else EXPECT_TRUE(op == ">" && numbers && g > w) << got;  // the rows know no other comparison
}

inline void run(const std::string& name, const std::string& text, const Steps& steps) {
  std::istringstream lines(text);
  std::string line, title;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    SCOPED_TRACE(name + ":" + std::to_string(number) + ": " + title + " | " + line);
    std::istringstream words(line);
    Args args;
    std::string word, op, expected;
    while (words >> word) {
      if (args.size() == 1 && args[0] == "==") break;  // a title is no step
      if (word == "=" || word == "~" || word == "!~" || word == "<" || word == ">") {
        op = word;
        std::getline(words >> std::ws, expected);
        break;
      }
      args.push_back(unescape(word));
    }
    if (args.empty() || args[0][0] == '#') continue;
    if (args[0] == "==") title = line.substr(3);
    const auto step = steps.find(args[0]);
    if (step == steps.end()) {
      if (args[0] != "==") ADD_FAILURE() << "no step " << args[0];
      continue;
    }
    const std::string got = step->second(args);
    if (!op.empty()) check(op, got, unescape(expected));
  }
}

// The scenario files the environment variable names (separated by "|"),
// else the built-in ones: one test program, built once, runs other files
// from another folder (nerin_wine_test_elsewhere).
inline std::vector<std::string> files(const char* variable, std::vector<std::string> builtIn) {
  const char* named = std::getenv(variable);
  if (!named || !*named) return builtIn;
  std::vector<std::string> chosen;
  std::istringstream list(named);
  for (std::string file; std::getline(list, file, '|');) chosen.push_back(file);
  return chosen;
}

// Runs the scenario file at this path (as the build knows it: a Unix path is
// reached under Wine through its Z: drive); an empty or missing file fails.
inline void runFile(const std::string& path, const Steps& steps) {
#ifdef _WIN32
  const std::string local = path.starts_with("/") ? "Z:" + path : path;
#else
  const std::string& local = path;
#endif
  std::string text;
  if (std::FILE* file = std::fopen(local.c_str(), "rb")) {
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    std::fclose(file);
  }
  ASSERT_FALSE(text.empty()) << path;
  run(path.substr(path.find_last_of("/\\") + 1), text, steps);
}

}  // namespace scenario
