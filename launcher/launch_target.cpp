#include "launcher/launch_target.h"

#include "launcher/self_elevation.h"
#include "launcher/shell_start.h"
#include "platform/platform.h"
#include "support/paths.h"
#include "support/registry.h"

namespace tidemark {

namespace {

const char* const kAssistantKey =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\UOAssist.exe";
constexpr platform::UINT kShow = 5;              // SW_SHOW
constexpr platform::UINT kLastFailureCode = 31;  // WinExec answers above this when it started

// The path in double quotes, so that Windows never tries "C:\Program.exe"
// for "C:\Program Files\...". No arguments follow it.
// A program that needs administrator rights, where Tidemark has none, is
// started by a copy of Tidemark that has them (see self_elevation.h); any
// other program that WinExec cannot start is tried once more the way
// Explorer starts it. A player who declines the consent prompt has chosen,
// and is told nothing.
void Start(const TextValue& path) {
  const TextValue commandLine = TextValue("\"") + path + "\"";
  if (platform::WinExec(commandLine.Bytes(), kShow) > kLastFailureCode) return;
  const bool needsRights = platform::GetLastError() == platform::kErrorElevationRequired;
  const ShellStart started =
      needsRights && RunsWithoutRights() ? StartSelfElevated() : StartThroughShell(path, kShow);
  if (started == ShellStart::Failed) Warn(path + " could not be started.");
}

}  // namespace

void Warn(const TextValue& text) {
  constexpr platform::UINT kWarningStyle = 0x30;  // OK button, exclamation icon
  platform::MessageBoxA(nullptr, text.Bytes(), "Tidemark", kWarningStyle);
}

TextValue ReadAssistantRegistration() {
  TextValue assistantPath;
  TRegistry reg;
  reg.UseRootKey(platform::HKeyLocalMachine());
  // The assistant is a 32-bit program and registers in the 32-bit view.
  reg.View = platform::kKeyWow64_32Key;
  // Read access only: a standard user may not open this key for more.
  if (reg.OpenKeyReadOnly(kAssistantKey)) {
    try {
      assistantPath = reg.ReadString("");
    } catch (...) {
      assistantPath = TextValue();
    }
  }
  return assistantPath;
}

void SelectLaunchTarget(const TextValue& programFolder, const TextValue& assistantPath) {
  if (!assistantPath.IsEmpty() && FileIsPresent(assistantPath)) {
    Start(assistantPath);
  } else if (FileIsPresent(programFolder + "uomon.exe")) {
    Start(programFolder + "uomon.exe");
  } else if (FileIsPresent(programFolder + "uo.exe")) {
    Start(programFolder + "uo.exe");
  } else {
    Warn(programFolder + "UO.EXE is not found.");
  }
}

}  // namespace tidemark
