#pragma once
// The test side of the fake sourcemeter driver: its registration as the
// driver's COM class in the test Wine prefix, and its fake_usb_* controls.

#include "../../fake_plumbing.h"

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

// The settings, in words (sourcemeter().control("mode", "Source.17", 1)):
//   reset               no modes, fault or reading source; reading +0; an empty log
//   mode <Object.position> <mode>   1: that call fails (E_FAIL); 2: it
//        succeeds but hands out no interface ("Driver.root" 2: the root
//        interface is refused)
//   reading <text>      the text the next fetches of a reading return, all
//                       after the blank
//   resistance <ohms>   from the next source voltage on, readings are that
//        voltage over ohms, as through a resistor on the output; 0 goes back
//        to the set reading
//   fault <Object.position> <n> <result>   the instrument fails in the middle
//        of a run: from the nth next call at "Object.position" on, that call
//        and every later call returns this failing HRESULT (and hands out
//        nothing); a reset repairs it
struct FakeKeithley {
  void (*controlWords)(const char* words);
  template <typename... Values>
  void control(const Values&... values) const { controlWords(fakes::words(values...).c_str()); }
  void reset() const { control("reset"); }
  int (*references)();
  int (*log)(char* buffer, int size);
  // Readings written by a function, and a watcher told of every logged call
  // (both in the calling thread, under the fake's lock).
  void (*setReadingSource)(void (*source)(wchar_t* text, int size));
  void (*watch)(void (*watcher)(const char* call));

  bool complete() const { return fakes::allBound(*this); }
  std::string calls() const { return fakes::readLog(log); }
};

// The controls of the fake loaded from this path (the same module COM loads).
inline const FakeKeithley& fakeKeithley(const std::wstring& dllPath) {
  static const FakeKeithley fake = fakes::bindControls<FakeKeithley>(
      LoadLibraryW(dllPath.c_str()), "fake_usb_",
      {"control", "references", "log", "set_reading_source", "watch"});
  return fake;
}
