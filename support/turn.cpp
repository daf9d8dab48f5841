#include "support/turn.h"

#include <cstdint>
#include <cstdio>

namespace tidemark {

namespace {

// The innermost turn this process holds; the program takes one at a time.
const TTurn* innermost = nullptr;

}  // namespace

std::string TurnNameFor(const TextValue& path) {
  // FNV-1a over the path with ASCII letters folded to upper case: 64 bits
  // make two folders that share a name as good as impossible, and such a
  // pair would only wait for each other, never lose anything.
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : path.View()) {
    const auto byte = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    hash = (hash ^ byte) * 1099511628211ull;
  }
  char name[40];
  std::snprintf(name, sizeof name, "Tidemark.turn.%016llx", static_cast<unsigned long long>(hash));
  return name;
}

TTurn::TTurn(const TextValue& path, platform::DWORD longestWait)
    : name_(TurnNameFor(path)), outer_(innermost) {
  mutex_ = platform::CreateMutexA(nullptr, 0, name_.c_str());
  if (mutex_ != nullptr) {
    const platform::DWORD waited = platform::WaitForSingleObject(mutex_, longestWait);
    // Abandoned: the copy that held it ended without giving it back. The
    // turn is this copy's all the same, and whatever that copy left (its
    // temporary file) is now this copy's to clear.
    held_ = waited == platform::kWaitObject0 || waited == platform::kWaitAbandoned;
  }
  innermost = this;
}

TTurn::~TTurn() {
  innermost = outer_;
  if (mutex_ == nullptr) return;
  if (held_) platform::ReleaseMutex(mutex_);
  platform::CloseHandle(mutex_);
}

bool TTurn::HeldFor(const TextValue& path) {
  const std::string name = TurnNameFor(path);
  for (const TTurn* turn = innermost; turn != nullptr; turn = turn->outer_) {
    if (turn->held_ && turn->name_ == name) return true;
  }
  return false;
}

}  // namespace tidemark
