#pragma once
// One chosen call of a fake vendor library: the nth call, from now on, of
// one of its entry points (or of one method of an object). A fake crashes
// there (fake_crash.h) or begins to fail there, as a device whose cable was
// pulled would, and goes on failing until it is reset.

#include <atomic>
#include <string>

namespace fakes {

class ChosenCall {
 public:
  ChosenCall() = default;
  // Copied with the fake's state (a reset assigns a fresh one).
  ChosenCall(const ChosenCall& other) { *this = other; }
  ChosenCall& operator=(const ChosenCall& other) {
    name_ = other.name_;
    remaining_ = other.remaining_.load();
    reached_ = other.reached_;
    return *this;
  }

  // n < 1 or an empty name: no call is chosen.
  void choose(const std::string& name, int n) {
    name_ = name;
    remaining_ = name.empty() || n < 1 ? 0 : n;
    reached_ = false;
  }
  const std::string& name() const { return name_; }

  // Counts one call of the chosen name (the caller has matched it); true at
  // the chosen one. Safe from any thread: a crash is checked before the
  // fake's lock.
  bool count() { return remaining_ > 0 && --remaining_ == 0; }

  // Counts the call if it has the chosen name; true from the chosen call on.
  bool failingFrom(const std::string& call) {
    if (call == name_ && count()) reached_ = true;
    return reached_;
  }
  // The next call of this name is the chosen one, or a later one.
  bool failsNext(const std::string& call) const { return reached_ || (remaining_ == 1 && call == name_); }

 private:
  std::string name_;
  std::atomic<int> remaining_{0};
  bool reached_ = false;
};

}  // namespace fakes
