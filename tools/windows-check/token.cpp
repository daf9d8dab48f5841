#include "windows-check/token.h"

#include <windows.h>

namespace tidemark::check {

namespace {

std::optional<DWORD> Ask(TOKEN_INFORMATION_CLASS what) {
  HANDLE token = nullptr;
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token) == 0) return std::nullopt;
  DWORD answer = 0;
  DWORD size = 0;
  const bool answered = ::GetTokenInformation(token, what, &answer, sizeof answer, &size) != 0;
  ::CloseHandle(token);
  if (!answered) return std::nullopt;
  return answer;
}

}  // namespace

std::optional<bool> Elevated() {
  const std::optional<DWORD> answer = Ask(TokenElevation);
  if (!answer) return std::nullopt;
  return *answer != 0;
}

std::string Rights() {
  const std::optional<bool> elevated = Elevated();
  if (!elevated) return "unknown";
  return *elevated ? "elevated" : "not elevated";
}

std::optional<std::uint32_t> ElevationType() { return Ask(TokenElevationType); }

std::optional<bool> Virtualized() {
  const std::optional<DWORD> answer = Ask(TokenVirtualizationEnabled);
  if (!answer) return std::nullopt;
  return *answer != 0;
}

bool SetVirtualized(bool on) {
  HANDLE token = nullptr;
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_DEFAULT, &token) == 0) {
    return false;
  }
  DWORD value = on ? 1 : 0;
  ::SetTokenInformation(token, TokenVirtualizationEnabled, &value, sizeof value);
  ::CloseHandle(token);
  return Virtualized() == on;
}

}  // namespace tidemark::check
