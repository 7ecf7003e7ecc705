#pragma once
// The test side of the fake camera runtime: its fake_pylon_* controls,
// reached in the PylonC_v6_3.dll that lies beside the test program.

#include <windows.h>

#include <string>
#include <type_traits>

struct FakePylon {
  void (*reset)(int cameras, int regionKind, int sfncMajor);
  void (*script)(const char* outcomes);  // per grab: F frame, X failed, T time-out, E refused, S wrong size
  void (*setColour)(int red, int green1, int green2, int blue);
  void (*setWritable)(const char* name, int writable);
  void (*fail)(const char* entryOrFeature);
  int (*log)(char* buffer, int size);
  void (*clearLog)();
  int (*open)();  // 0 no device, 1 created, 2 created and open
  int (*grabs)();

  bool complete() const {
    return reset && script && setColour && setWritable && fail && log && clearLog && open && grabs;
  }

  std::string calls() const {
    const int length = log(nullptr, 0);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    log(&text[0], length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
  }
};

enum FakeRegions { noRegions = 0, roiRegions = 1, aoiRegions = 2 };

inline const FakePylon& fakePylon() {
  static const FakePylon fake = [] {
    FakePylon f = {};
    HMODULE module = GetModuleHandleA("PylonC_v6_3.dll");
    if (!module) module = LoadLibraryA("PylonC_v6_3.dll");
    if (!module) return f;
    auto get = [module](const char* name, auto& target) {
      target = reinterpret_cast<std::remove_reference_t<decltype(target)>>(
          reinterpret_cast<void*>(GetProcAddress(module, name)));
    };
    get("fake_pylon_reset", f.reset);
    get("fake_pylon_script", f.script);
    get("fake_pylon_set_colour", f.setColour);
    get("fake_pylon_set_writable", f.setWritable);
    get("fake_pylon_fail", f.fail);
    get("fake_pylon_log", f.log);
    get("fake_pylon_clear_log", f.clearLog);
    get("fake_pylon_open", f.open);
    get("fake_pylon_grabs", f.grabs);
    return f;
  }();
  return fake;
}
