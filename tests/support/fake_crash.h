#pragma once
// The crash a fake vendor library can be told to have: a real access
// violation inside the nth call of one of its entry points, as a fault in a
// vendor's library would raise it. The whole program started by a test
// finds it in an environment variable, "<entry point> <n>"
// (FAKE_XIMC_CRASH=command_move 49).
//
// Each entry point of the fake names itself by taking the fake's guard, so
// the check costs no line of its own there; the crash comes before the
// guard's lock, which it would otherwise leave held.

#include "fake_chosen_call.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <source_location>

namespace fakes {

class CrashPoint {
 public:
  explicit CrashPoint(const char* variable) : variable_(variable) {}

  // `signature` is the entry point's as the compiler names it, e.g.
  // "ximc_result_t command_move(ximc_device_t, int, int)".
  void check(const char* signature) {
    if (!read_) readEnvironment();
    if (chosen_.name().empty() || nameIn(signature) != chosen_.name() || !chosen_.count()) return;
    static volatile std::uintptr_t nowhere = 16;
    *reinterpret_cast<volatile int*>(nowhere) = 0;
  }

 private:
  void readEnvironment() {
    read_ = true;
    char text[96];
    char function[64] = {};
    const DWORD length = GetEnvironmentVariableA(variable_, text, sizeof text);
    int nth = 0;
    if (length > 0 && length < sizeof text && std::sscanf(text, "%63s %d", function, &nth) == 2) {
      chosen_.choose(function, nth);
    }
  }

  // The entry point's name: the word just before the first "(".
  static std::string nameIn(const std::string& signature) {
    const std::string head = signature.substr(0, signature.find('('));
    return head.substr(head.find_last_of(" :*&") + 1);
  }

  const char* variable_;
  ChosenCall chosen_;
  bool read_ = false;
};

// Taken before a fake's lock: the entry point it is created in crashes if
// it is the chosen one.
struct CrashCheck {
  CrashCheck(CrashPoint& crash, const std::source_location& at) { crash.check(at.function_name()); }
};

}  // namespace fakes
