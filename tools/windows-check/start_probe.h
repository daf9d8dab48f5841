// What CreateProcess answers a start of a program without rights: 740
// (ERROR_ELEVATION_REQUIRED) where it needs them. The start is made by a
// copy of the check in its scratch folder, so that whatever Windows' Program
// Compatibility Assistant notes about a program that got 740 names that
// copy, whose values the clean-up removes, and never the check itself.
#pragma once

#include <cstdint>
#include <string>

namespace tidemark::check {

// The answer: 0 where it started (it is ended at once, suspended, none of
// its code run), else the error.
std::uint32_t StartAnswer(const std::string& program);
// The copy's side: the start itself, the answer as its exit code.
int RunStartProbe(const std::string& program);

}  // namespace tidemark::check
