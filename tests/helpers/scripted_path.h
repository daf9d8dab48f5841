// A wide path handed out as GetShortPathNameW and GetCurrentDirectoryW hand
// out theirs, for tests that script those calls: the count without the zero
// when it fits, else the size it needs with the zero; 0 (the call failed)
// for an empty path.
#pragma once

#include <algorithm>
#include <string>

#include "platform/platform.h"

namespace tidemark::testing {

inline platform::DWORD AnswerWithPath(const std::u16string& text, platform::WCHAR* buffer,
                                      platform::DWORD size) {
  if (text.empty()) return 0;
  if (size <= text.size()) return static_cast<platform::DWORD>(text.size() + 1);
  std::copy(text.c_str(), text.c_str() + text.size() + 1, buffer);
  return static_cast<platform::DWORD>(text.size());
}

}  // namespace tidemark::testing
