#pragma once
// What both Wine programs of the console name in their rows: a control by
// the name the resource header gives it (read from that header as the build
// knows it; "NAME+N" is N after it), the lights' buttons by their own names,
// a window by its title with "_" for its blanks, and the steps that work a
// dialog, of this program or of another.

#include "devices/motion/arduino_link.h"
#include "program_run.h"
#include "scenario.h"
#include "test_files.h"
#include "ui_driver.h"

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

// A row's text made wide, one character standing for another ("/" for a
// backslash in a path).
inline std::wstring widened(std::string text, char from, char to) {
  return std::replace(text.begin(), text.end(), from, to), std::wstring(text.begin(), text.end());
}
inline std::wstring title(const std::string& text) { return widened(text, '_', ' '); }

// "dialog TITLE" names the dialog the following rows work with; `settle`
// waits until what a press or the closing set off is over.
inline HWND dialog = nullptr;
inline std::string fieldText(const std::string& name) {
  wchar_t text[128] = {};
  return GetDlgItemTextW(dialog, controlId(name), text, 128), ui::narrow(text);
}
inline scenario::Steps withDialogSteps(scenario::Steps steps, bool (*settle)()) {
  using scenario::Args;
  steps["dialog"] = [](const Args& a) {
    return std::string((dialog = ui::waitForWindow(title(a.at(1)).c_str(), 60000)) ? "open" : "none");
  };
  steps["field"] = [](const Args& a) { return fieldText(a.at(1)); };
  steps["fill"] = [](const Args& a) { return SetDlgItemTextA(dialog, controlId(a.at(1)), scenario::rest(a, 2).c_str()), std::string(); };
  steps["choose"] = [](const Args& a) {  // the entry chosen
    const bool none = SendDlgItemMessageA(dialog, controlId(a.at(1)), CB_SETCURSEL, std::stoi(a.at(2)), 0) == CB_ERR;
    return none ? "<none>" : fieldText(a[1]);
  };
  steps["checked"] = [](const Args& a) { return std::string(IsDlgButtonChecked(dialog, controlId(a.at(1))) == BST_CHECKED ? "yes" : "no"); };
  steps["press"] = [settle](const Args& a) { return std::string(ui::pressButton(dialog, controlId(a.at(1))) && settle() ? "" : "no button"); };
  steps["escape"] = [](const Args&) { return PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0), std::string(); };
  steps["closed"] = [settle](const Args&) { return std::string(ui::waitUntilGone(dialog, 60000) && settle() ? "yes" : "no"); };
  return steps;
}
