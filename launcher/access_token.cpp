#include "launcher/access_token.h"

namespace tidemark {

std::optional<platform::DWORD> TokenAnswer(platform::DWORD informationClass) {
  platform::HANDLE token = nullptr;
  if (platform::OpenProcessToken(platform::GetCurrentProcess(), platform::kTokenQuery, &token) ==
      0) {
    return std::nullopt;
  }
  platform::DWORD answer = 0;
  platform::DWORD size = 0;
  const bool answered =
      platform::GetTokenInformation(token, informationClass, &answer, sizeof answer, &size) != 0;
  platform::CloseHandle(token);
  if (!answered) return std::nullopt;
  return answer;
}

bool RunsWithoutRights() {
  // TOKEN_ELEVATION holds one DWORD, TokenIsElevated.
  return TokenAnswer(platform::kTokenElevation) == platform::DWORD{0};
}

bool TokenIsVirtualized() {
  const std::optional<platform::DWORD> enabled = TokenAnswer(platform::kTokenVirtualizationEnabled);
  return enabled && *enabled != 0;
}

}  // namespace tidemark
