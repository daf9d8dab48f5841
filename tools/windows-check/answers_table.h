// The one table of what Windows answers the file calls that the save and
// the turn decide on, each row with its source: read by the unit test
// (natively over the stand-in, and under Wine) and by the check program
// that a person runs on a real Windows. Where Wine answers otherwise, the
// row says so and holds Wine's answer too.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tidemark::answers {

using platform::DWORD;

// A handle another program keeps open on "a", "b" or the folder "f" while
// the call is made; `closed` closes it again at once (a delete-on-close
// handle then leaves its file waiting to be deleted).
struct Hold {
  const char* name;
  DWORD access;
  DWORD share;
  DWORD flags = 0;
  bool closed = false;
};

enum class Call : std::uint8_t { Open, CreateNew, Attributes, List, Remove, Rename };

struct Row {
  const char* situation;
  std::vector<Hold> holds;
  Call call;
  const char* name;  // the file called on; a rename is "a" over "b"
  DWORD access;      // for an open
  DWORD share;
  DWORD answer;  // Windows': kOk or the last error
  const char* source;
  std::optional<DWORD> wine = std::nullopt;  // Wine's, where it differs
};

inline constexpr DWORD kOk = 0;  // the call succeeded
// Set as the last error before each call: a failure that sets none shows
// as this, which no row expects, so a stale code cannot pass (as Wine's
// conformance tests do with SetLastError(0xdeadbeef)).
inline constexpr DWORD kSentinel = 0xdeadbeef;

std::span<const Row> Rows();

// What one row's call answered, made in the current folder, which must be
// empty: it makes the files "a", "b" and "f\inside", places the holds,
// makes the call and closes every handle again. Empty where a hold could
// not be placed (then the row says nothing).
std::optional<DWORD> Answer(const Row& row);

// The answer this system should give: Wine's where the row has one.
DWORD Expected(const Row& row, bool underWine);

// An answer as the report and the test name it: "succeeded", or the
// error's name and number.
std::string Named(DWORD answer);

// Whether this process runs under Wine: its ntdll names its version.
bool UnderWine();

}  // namespace tidemark::answers
