// The whole program, started as a separate process and worked as an operator
// works it, as the scenarios of program.scenario: "plain" is the program
// alone (every device missing), "devices" a copy beside the fake controller
// library and GPIB driver, the emulated board behind the configured COM port
// and the fake sourcemeter driver once registered. In arguments a file is
// named under the data folder ("@" is the one measurement folder there), a
// window title has "_" for its blanks, and a text runs to the end of the row.

#include "arduino_emulator_client.h"
#include "console_rows.h"
#include "fake_keithley_control.h"
#include "runs/mapping/map_journal.h"
#include "services/data_paths.h"

#include <cstdio>

namespace {

using scenario::Args;
using scenario::rest;
using testfiles::readBytes;
constexpr DWORD kTimeout = 60000;

// The programs the rows started, by name: a program a row left running is
// ended by force when it is started again or the test ends.
struct Run {
  PROCESS_INFORMATION process = {};
  Run() = default;
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;
  ~Run() {
    TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
};
std::map<std::string, Run> runs;
HWND mainOf(const std::string& name) {
  return runs.count(name) ? ui::waitForWindow(L"Nerin Station", kTimeout, L"NerinMain") : nullptr;
}
std::wstring measurementFolder;  // "@"
std::string lastBox;
std::map<std::string, std::string> kept;

std::vector<std::wstring> measurementFolders() {
  std::vector<std::wstring> folders;
  for (const std::wstring& name : testfiles::namesMatching(std::wstring(dataPaths.dataFolder) + L"\\*", true))
    if (name != L"Data_Detail") folders.push_back(std::wstring(dataPaths.dataFolder) + L"\\" + name);
  return folders;
}
std::wstring path(const std::string& name) {
  if (name == "Config.txt") return dataPaths.configFile;
  if (name == "Objective.txt") return dataPaths.objectiveFile;
  const std::wstring path = widened(name, '/', '\\');
  if (name.starts_with("@")) return measurementFolder + path.substr(1);
  return name.find(':') != std::string::npos ? path : std::wstring(dataPaths.dataFolder) + L"\\" + path;
}
int journalRows() {
  const std::string text = readBytes(path("@/Nerin.journal").c_str());
  MapJournal journal;
  return text != "<missing>" && readMapJournal(text, journal) ? static_cast<int>(journal.rows.size()) : -1;
}

// One line per control of the main window, in creation order: id, class,
// text, client rectangle (x, y, width, height), styles as created (an edit
// field under Wine takes WS_BORDER off its style and draws the frame
// itself, insetting its text: the frame counts as WS_BORDER here; a checked
// radio button's tab stop is left out). The texts of the read-outs that
// live video and status messages keep rewriting are left out.
BOOL CALLBACK describeControl(HWND control, LPARAM context) {
  wchar_t windowClass[64] = {}, text[128] = {};
  DWORD_PTR ignored = 0;
  GetClassNameW(control, windowClass, 64), SendMessageTimeoutW(control, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &ignored);
  RECT r, format = {};
  GetWindowRect(control, &r), MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  DWORD style = GetWindowLongW(control, GWL_STYLE) & ~WS_TABSTOP;
  const int id = GetDlgCtrlID(control);
  if (_wcsicmp(windowClass, L"Edit") == 0) {
    SendMessageW(control, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    if (format.left > LOWORD(SendMessageW(control, EM_GETMARGINS, 0, 0))) style |= WS_BORDER;
    if (id == controlId("IDC_LABEL") || id == controlId("IDC_TIME") || (r.left == 1342 && r.top == 580)) text[0] = L'\0';
  }
  char line[400];
  std::snprintf(line, sizeof line, "%d %s \"%s\" %ld %ld %ld %ld %08lx %lx\n", id, ui::narrow(windowClass).c_str(),
                ui::narrow(text).c_str(), r.left, r.top, r.right - r.left, r.bottom - r.top,
                static_cast<unsigned long>(style), static_cast<unsigned long>(GetWindowLongW(control, GWL_EXSTYLE)));
  *reinterpret_cast<std::string*>(context) += line;
  return TRUE;
}

std::string hex(unsigned long value, const char* format = "%lx") {
  char text[16];
  return std::snprintf(text, sizeof text, format, value), text;
}

TEST(Program, Scenarios) {
  arduino_emulator::Client board;
  // The fakes beside the program log their calls into the files their variables name.
  std::map<std::string, std::wstring> logs;
  for (const auto& [name, variable] : std::map<std::string, const wchar_t*>{
           {"stage", L"FAKE_XIMC_CALL_LOG"}, {"gpib", L"FAKE_GPIB_LOG"}, {"usb", L"FAKE_USB_LOG"}}) {
    wchar_t folder[MAX_PATH];
    logs[name] = std::wstring(folder, GetTempPathW(MAX_PATH, folder)) + variable + L".txt";
    SetEnvironmentVariableW(variable, logs[name].c_str());
  }
  auto logText = [&](const std::string& name) { return name == "board" ? board.received() : readBytes(logs.at(name).c_str()); };
  HANDLE gate = CreateEventA(nullptr, TRUE, FALSE, "NerinTestXimcCloseGate");
  const wchar_t* shell = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  wchar_t desktop[MAX_PATH] = {};
  DWORD size = sizeof desktop;
  RegGetValueW(HKEY_CURRENT_USER, shell, L"Desktop", RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, desktop, &size);
  const scenario::Steps steps = withDialogSteps({
      {"write", [](const Args& a) { return testfiles::writeBytes(path(a[1]).c_str(), rest(a, 2).c_str()) ? "" : "failed"; }},
      {"read", [](const Args& a) { return readBytes(path(a[1]).c_str()); }},
      {"remove", [](const Args& a) { return _wremove(path(a[1]).c_str()) == 0 || RemoveDirectoryW(path(a[1]).c_str()) ? "" : "none"; }},
      {"mkdir", [](const Args& a) { return CreateDirectoryW(path(a[1]).c_str(), nullptr) ? "" : "failed"; }},
      {"env", [](const Args& a) { return SetEnvironmentVariableA(a[1].c_str(), a.size() > 2 ? rest(a, 2).c_str() : nullptr) ? "" : "failed"; }},
      // The Desktop shell folder pointing at this folder while programs start; "-" as it was.
      {"desktop", [&](const Args& a) {
         const std::wstring value = a[1] == "-" ? desktop : widened(a[1], '/', '\\');
         return RegSetKeyValueW(HKEY_CURRENT_USER, shell, L"Desktop", REG_EXPAND_SZ, value.c_str(),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == 0 ? "" : "failed";
       }},
      // start NAME plain|devices [FOLDER]: a program, from its folder or the one given.
      {"start", [](const Args& a) {
         runs.erase(a[1]);
         const std::wstring file = ui::windowsPathOf(a[2] == "plain" ? NERIN_PROGRAM_PATH : NERIN_PROGRAM_WITH_DEVICES);
         const std::wstring folder = a.size() > 3 ? widened(a[3], '/', '\\') : std::wstring();
         std::wstring commandLine = L"\"" + file + L"\"";
         STARTUPINFOW startup = {};
         startup.cb = sizeof startup;
         const bool started = CreateProcessW(file.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                             folder.empty() ? nullptr : folder.c_str(), &startup, &runs[a[1]].process);
         return started ? "started" : "failed";
       }},
      {"main", [](const Args& a) { return mainOf(a[1]) ? "shown" : "none"; }},
      {"close", [](const Args& a) {
         const HWND main = mainOf(a[1]);
         return main && PostMessageW(main, WM_CLOSE, 0, 0) ? "posted" : "no window";
       }},
      {"exit", [](const Args& a) {
         const HANDLE process = runs.at(a[1]).process.hProcess;
         DWORD code = STILL_ACTIVE;
         if (WaitForSingleObject(process, kTimeout) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
         return code == STILL_ACTIVE ? std::string("running") : hex(code);
       }},
      {"menu", [](const Args& a) { return PostMessageW(mainOf(a[1]), WM_COMMAND, controlId(a[2]), 0) ? "" : "failed"; }},
      // box TITLE [BUTTON|-] [WAIT]: the box's text, once the button pressed and the box gone.
      {"box", [](const Args& a) {
         const HWND box = ui::waitForWindow(title(a[1]).c_str(), a.size() > 3 ? std::stoul(a[3]) : kTimeout);
         lastBox = box ? ui::narrow(ui::staticTexts(box)) : "<none>";
         if (!box || (a.size() > 2 && a[2] == "-")) return lastBox;
         ui::pressButton(box, controlId(a.size() > 2 ? a[2] : "IDOK"));
         return ui::waitUntilGone(box, kTimeout) ? lastBox : "<stays>";
       }},
      {"layout", [](const Args& a) {
         std::string layout;
         EnumChildWindows(mainOf(a[1]), describeControl, reinterpret_cast<LPARAM>(&layout));
         return layout == readBytes(ui::windowsPathOf(NERIN_EXPECTED_LAYOUT).c_str()) ? "as main_window_layout.txt" : layout;
       }},
      // pixel NAME X Y [UNTIL]: the colour there (BBGGRR, as Windows keeps it),
      // once it is UNTIL or ("other") differs from the first seen, or the time is up.
      {"pixel", [](const Args& a) {
         const auto now = [main = mainOf(a[1]), x = std::stoi(a[2]), y = std::stoi(a[3])] {
           return hex(ui::pixelOf(main, x, y), "%06lx");
         };
         const std::string first = now(), until = a.size() > 4 ? a[4] : first;
         std::string seen = first;
         ui::eventually([&] { return (seen = now()) == until || (until == "other" && seen != first); }, kTimeout);
         return until == "other" && seen != first ? until : seen;
       }},
      // front NAME: whether its window comes in front; "front elsewhere" brings a window of this test there.
      {"front", [](const Args& a) {
         static const HWND elsewhere =
             CreateWindowW(L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
         const HWND window = a[1] == "elsewhere" ? (SetForegroundWindow(elsewhere), elsewhere) : mainOf(a[1]);
         return ui::eventually([&] { return GetForegroundWindow() == window; }, 10000) ? "in front" : "behind";
       }},
      // The board and the fakes' logs: "board REQUEST..." asks the emulator.
      {"board", [&](const Args& a) { return board.request(rest(a, 1)); }},
      {"clear", [&](const Args&) {
         for (auto& [name, file] : logs) testfiles::writeBytes(file.c_str(), "");
         return board.reset() ? "" : "failed";
       }},
      // log NAME [all | from MARK | count MARK | first N | last N]: the log (board:
      // the bytes the board received), from the last MARK on.
      {"log", [&](const Args& a) {
         const std::string text = logText(a[1]), how = a.size() > 2 ? a[2] : "all", mark = rest(a, 3);
         if (how == "from") return text.rfind(mark) == std::string::npos ? "<no " + mark + ">" : text.substr(text.rfind(mark));
         if (how == "count") return std::to_string(scenario::occurrences(text, mark));
         if (how == "first") return text.substr(0, std::stoul(mark));
         return how == "last" ? text.substr(text.size() - std::min<size_t>(text.size(), std::stoul(mark))) : text;
       }},
      {"wait", [&](const Args& a) {
         return ui::eventually([&] { return logText(a[1]).find(rest(a, 2)) != std::string::npos; }, kTimeout) ? "yes" : logText(a[1]);
       }},
      {"gate", [&](const Args& a) { return (a[1] == "open" ? SetEvent(gate) : ResetEvent(gate)) ? "" : "failed"; }},
      {"keithley", [](const Args&) { return registerFakeKeithley(ui::windowsPathOf(NERIN_FAKE_KEITHLEY_DLL)) ? "" : "failed"; }},
      // "scan done" / "scan rows N": the one measurement folder ("@") holds
      // the finished scan, or N rows journalled (the rows journalled then).
      {"scan", [](const Args& a) {
         return ui::eventually([&] {
           const auto folders = measurementFolders();
           measurementFolder = folders.size() == 1 ? folders[0] : L"";
           if (measurementFolder.empty()) return false;
           return a[1] == "done" ? readBytes(path("@/MapInfo.txt").c_str()) != "<missing>" && journalRows() < 0
                                 : journalRows() >= std::stoi(a[2]);
         }, kTimeout) ? (a[1] == "done" ? "yes" : std::to_string(journalRows())) : "no";
       }},
      {"clean", [](const Args&) {
         for (const std::wstring& folder : measurementFolders())
           for (const std::wstring& file : testfiles::namesMatching(folder + L"\\*")) DeleteFileW((folder + L"\\" + file).c_str());
         for (const std::wstring& folder : measurementFolders()) RemoveDirectoryW(folder.c_str());
         return "";
       }},
      {"names", [](const Args& a) { return std::to_string(testfiles::namesMatching(path(a[1])).size()); }},
      {"mentions", [](const Args&) { return lastBox.find(ui::narrow(measurementFolder)) != std::string::npos ? "@" : lastBox; }},
      // "keep KEY FILE" remembers a table; "rows FILE" counts its rows, "rows
      // FILE KEY" those that are KEY's before its points turn 0 to the end.
      {"keep", [](const Args& a) { return (kept[a[1]] = readBytes(path(a[2]).c_str())).substr(0, 0); }},
      {"rows", [](const Args& a) {
         const std::string table = readBytes(path(a[1]).c_str()), other = a.size() > 2 ? kept[a[2]] : table;
         const size_t same = std::mismatch(table.begin(), table.end(), other.begin(), other.end()).first - table.begin();
         if (table.size() != other.size() || table.substr(same).find_first_not_of("0.,\r\n") != std::string::npos) return table;
         return std::to_string(scenario::occurrences(table.substr(0, same), "\r\n"));
       }},
  }, [] { return true; });
  scenario::runFile(PROGRAM_SCENARIO, steps);
  runs.clear();
  unregisterFakeKeithley();  // the next program in this prefix finds no sourcemeter
  for (auto& [name, file] : logs) DeleteFileW(file.c_str());
  CloseHandle(gate);
}

}  // namespace
