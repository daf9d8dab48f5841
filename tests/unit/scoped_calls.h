// Swapping the platform's call table in a test: a scoped swap that puts the
// table back however the scope ends (a throw from the code under test too),
// and a reset of every call to the system's own.
#pragma once

#include "platform/platform.h"

namespace tidemark::testing {

// Saves the table in force; the test puts its own calls in through `->`,
// and the saved table is back when the scope ends.
class ScopedCalls {
 public:
  ScopedCalls() : saved_(platform::Calls()) {}
  ~ScopedCalls() { platform::Calls() = saved_; }
  ScopedCalls(const ScopedCalls&) = delete;
  ScopedCalls& operator=(const ScopedCalls&) = delete;
  platform::CallTable* operator->() const { return &platform::Calls(); }

 private:
  platform::CallTable saved_;
};

// Every call back to the system's own, as SQLite's xSetSystemCall(vfs, 0, 0).
inline void ResetCalls() { platform::Calls() = platform::CallTable{}; }

}  // namespace tidemark::testing
