#include "launcher/self_elevation.h"

#include <optional>

#include "launcher/elevated_path.h"
#include "launcher/launch_target.h"
#include "launcher/program_start.h"
#include "platform/platform.h"
#include "support/command_line.h"
#include "support/messages.h"

namespace tidemark {

namespace {

constexpr platform::UINT kShow = 5;  // SW_SHOW

}  // namespace

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

ShellStart StartSelfElevated() {
  // The sequence runs only where its own path is reachable; should that
  // change under it, the start fails like any other.
  const std::optional<TextValue> self = ReachableModulePath();
  if (!self) return ShellStart::Failed;
  // The current folder, as an elevated start without one gets the system
  // folder, which the program the copy starts would inherit. One the ANSI
  // code page cannot show is given by its short form, or not at all: a
  // lossy name would make the start fail.
  const std::optional<TextValue> folder = ReachableCurrentFolder();
  // Both as the elevated copy reaches them: its session lacks this one's
  // subst and network letters (see elevated_path.h). Where none reaches
  // them, the one box says so: the player has been told, as after a "No".
  const ElevatedStart reach = ForElevatedCopy(*self, folder);
  if (!reach.MissingLetters.IsEmpty()) {
    Warn(LoadMessage(MessageId::ElevatedCopyLacksDrive, reach.MissingLetters));
    return ShellStart::Declined;
  }
  ShellRequest request;
  request.File = reach.File;
  request.Verb = "runas";
  request.Parameters = CommandTail(platform::GetCommandLineA());
  request.Directory = reach.Directory ? reach.Directory->Bytes() : nullptr;
  request.Show = kShow;
  request.SkipZoneCheck = true;
  return StartThroughShell(request);
}

}  // namespace tidemark
