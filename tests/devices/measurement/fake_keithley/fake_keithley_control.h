#pragma once
// The test side of the fake sourcemeter driver: its registration as the
// driver's COM class in the test Wine prefix, and its fake_usb_* controls.

#include "fake_controls.h"

constexpr const wchar_t* fakeKeithleyClassKey = L"CLSID\\{7DF737AA-A0C5-4A81-B6A8-D38A6EE52DF8}";

// Registers the fake DLL (a Windows path) as the in-process server of the
// driver's class, as the driver's installer would; false on failure.
inline bool registerFakeKeithley(const std::wstring& dllPath) {
  const std::wstring key = std::wstring(fakeKeithleyClassKey) + L"\\InprocServer32";
  auto set = [&key](const wchar_t* name, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  };
  return set(nullptr, dllPath) && set(L"ThreadingModel", L"Apartment");
}

inline void unregisterFakeKeithley() { RegDeleteTreeW(HKEY_CLASSES_ROOT, fakeKeithleyClassKey); }

struct FakeKeithley {
  void (*reset)();
  void (*setMode)(const char* call, int mode);
  void (*setReading)(const wchar_t* text);
  void (*setResistance)(double ohms);
  int (*references)();
  int (*log)(char* buffer, int size);
  // Fault-injection controls: the instrument failing mid-run from a chosen
  // call on, readings written by a function, and a watcher told of every
  // logged call (the last two in the calling thread, under the fake's lock).
  void (*fault)(const char* call, int atCall, long result);
  void (*setReadingSource)(void (*source)(wchar_t* text, int size));
  void (*watch)(void (*watcher)(const char* call));

  bool complete() const { return fakes::allBound(*this); }
  std::string calls() const { return fakes::readLog(log); }
};

// The controls of the fake loaded from this path (the same module COM loads).
inline const FakeKeithley& fakeKeithley(const std::wstring& dllPath) {
  static const FakeKeithley fake = fakes::bindControls<FakeKeithley>(
      LoadLibraryW(dllPath.c_str()), "fake_usb_",
      {"reset", "set_mode", "set_reading", "set_resistance", "references", "log", "fault", "set_reading_source",
       "watch"});
  return fake;
}
