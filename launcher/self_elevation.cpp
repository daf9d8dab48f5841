#include "launcher/self_elevation.h"

#include <optional>
#include <string>

#include "launcher/program_start.h"
#include "platform/platform.h"
#include "support/command_line.h"

namespace tidemark {

namespace {

constexpr platform::UINT kShow = 5;  // SW_SHOW

// The current folder, whole however long it is; empty when it cannot be read.
std::string CurrentFolder() {
  std::string folder(260, '\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const platform::DWORD count =
        platform::GetCurrentDirectoryA(static_cast<platform::DWORD>(folder.size()), folder.data());
    if (count == 0) return {};
    if (count < folder.size()) return folder.substr(0, count);
    folder.assign(count, '\0');  // the size it needs, its zero included
  }
  return {};
}

}  // namespace

bool RunsWithoutRights() {
  platform::HANDLE token = nullptr;
  if (platform::OpenProcessToken(platform::GetCurrentProcess(), platform::kTokenQuery, &token) ==
      0) {
    return false;
  }
  platform::TOKEN_ELEVATION elevation{};
  platform::DWORD size = 0;
  const bool answered = platform::GetTokenInformation(token, platform::kTokenElevation, &elevation,
                                                      sizeof elevation, &size) != 0;
  platform::CloseHandle(token);
  return answered && elevation.TokenIsElevated == 0;
}

ShellStart StartSelfElevated() {
  // An elevated start without a working folder gets the system folder,
  // and the program the copy starts would inherit it.
  // The sequence runs only where its own path is reachable; should that
  // change under it, the start fails like any other.
  const std::optional<TextValue> self = ReachableModulePath();
  if (!self) return ShellStart::Failed;
  const std::string folder = CurrentFolder();
  ShellRequest request;
  request.File = *self;
  request.Verb = "runas";
  request.Parameters = CommandTail(platform::GetCommandLineA());
  request.Directory = folder.empty() ? nullptr : folder.c_str();
  request.Show = kShow;
  return StartThroughShell(request);
}

}  // namespace tidemark
