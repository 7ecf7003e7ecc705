#pragma once
// Runs the real NerinStation.exe as a separate process, for end-to-end tests
// that answer its questions through its real windows and close it normally.

#include <windows.h>

#include <string>

namespace ui {

class ProgramRun {
 public:
  // Path of the program in Unix form (as the build knows it); it is turned
  // into the Z: path Wine maps to the Unix root.
  explicit ProgramRun(const std::string& unixPath);
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // Starts the program in workingFolder (Windows form), or in this test's
  // own current folder when none is given.
  bool start(const std::wstring& workingFolder = {});
  // The program's main window ("Nerin Station"), once it exists.
  HWND waitForMainWindow(DWORD timeoutMs);
  // Posts WM_CLOSE to the main window (a normal exit); false when there is
  // no main window within timeoutMs.
  bool close(DWORD timeoutMs);
  // Waits for the process to end by itself.
  bool waitForExit(DWORD timeoutMs);
  DWORD exitCode() const { return exitCode_; }

 private:
  std::wstring path_;
  PROCESS_INFORMATION info_ = {};
  DWORD exitCode_ = STILL_ACTIVE;
};

// Z:\... for a Unix path.
std::wstring windowsPathOf(const std::string& unixPath);

}  // namespace ui
