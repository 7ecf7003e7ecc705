#pragma once
// The log a fake library beside a whole program writes into the file named
// by its variable (FAKE_XIMC_CALL_LOG, FAKE_GPIB_LOG, ...); the file starts
// empty and goes with the object.

#include "test_files.h"

#include <windows.h>

#include <string>

class FakeLogFile {
 public:
  explicit FakeLogFile(const char* variable) : variable_(variable) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"log", 0, path_);
    char narrowPath[MAX_PATH];
    WideCharToMultiByte(CP_ACP, 0, path_, -1, narrowPath, MAX_PATH, nullptr, nullptr);
    SetEnvironmentVariableA(variable, narrowPath);
  }
  ~FakeLogFile() {
    SetEnvironmentVariableA(variable_, nullptr);
    DeleteFileW(path_);
  }
  std::string text() const { return testfiles::readBytes(path_); }
  void clear() const { testfiles::writeBytes(path_, ""); }

 private:
  const char* variable_;
  wchar_t path_[MAX_PATH] = {};
};
