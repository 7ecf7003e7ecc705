#include "program_run.h"

#include "ui_driver.h"

namespace ui {

std::wstring windowsPathOf(const std::string& unixPath) {
  std::wstring path = L"Z:";
  for (char c : unixPath) path += (c == '/') ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
  return path;
}

ProgramRun::ProgramRun(const std::string& unixPath) : path_(windowsPathOf(unixPath)) {}

ProgramRun::~ProgramRun() {
  if (info_.hProcess) {
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(info_.hProcess, 99);
      WaitForSingleObject(info_.hProcess, 10000);
    }
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
  }
}

bool ProgramRun::start(const std::wstring& workingFolder) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  std::wstring commandLine = L"\"" + path_ + L"\"";
  return CreateProcessW(path_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info_) != 0;
}

HWND ProgramRun::waitForMainWindow(DWORD timeoutMs) {
  return waitForWindow(L"Nerin Station", timeoutMs, L"NerinMain");
}

bool ProgramRun::waitForExit(DWORD timeoutMs) {
  if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(info_.hProcess, &exitCode_);
  return true;
}

bool ProgramRun::close(DWORD timeoutMs) {
  HWND main = waitForMainWindow(timeoutMs);
  return main && PostMessageW(main, WM_CLOSE, 0, 0);
}

}  // namespace ui
