#include "launcher/launch_target.h"

#include "launcher/access_token.h"
#include "launcher/boxes.h"
#include "launcher/requested_rights.h"
#include "launcher/self_elevation.h"
#include "launcher/shell_start.h"
#include "launcher/write_redirection.h"
#include "platform/platform.h"
#include "support/paths.h"
#include "support/registry.h"

namespace tidemark {

namespace {

const char* const kAssistantKey =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\UOAssist.exe";

}  // namespace

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

LaunchChoice ChooseLaunchTarget(const TextValue& programFolder, const TextValue& assistantPath) {
  LaunchChoice choice;
  choice.ProgramFolder = programFolder;
  if (!assistantPath.IsEmpty() && FileIsPresent(assistantPath)) {
    choice.Path = assistantPath;
    // In an elevated copy, the folder the player started Tidemark in.
    choice.WorkingFolder = StartFolderGiven().value_or(TextValue());
    return choice;
  }
  choice.WorkingFolder = programFolder;
  if (FileIsPresent(programFolder + "uomon.exe")) {
    choice.Path = programFolder + "uomon.exe";
  } else if (FileIsPresent(programFolder + "uo.exe")) {
    choice.Path = programFolder + "uo.exe";
    choice.IsClient = true;
  }
  return choice;
}

// Where the program needs rights that Tidemark has (or cannot tell it
// lacks), its start fails all the same; the shell then asks for them.
// Where Windows elevates Tidemark's children itself (requested_rights.h),
// the program's own signs are read first: its start would not fail but ask.
// The worst case left: a program that needs rights by no sign read gets
// the layer's prompt, naming it, at its start, and runs with rights,
// reading the real uo.cfg while the save goes to the VirtualStore (and,
// for all any page says, before the save: whether the layer keeps
// CREATE_SUSPENDED is not known). Without the layer, nothing changes.
void PreparedLaunch::LearnNeeds() {
  if (choice_.Path.IsEmpty()) return;
  if (RunsWithoutRights() && CreateProcessElevates() && AsksForRights(choice_.Path)) {
    needsRightsFor_ = choice_.Path;
    return;
  }
  start_.emplace(choice_.Path, choice_.WorkingFolder);
  if (start_->NeedsRights()) {
    if (RunsWithoutRights()) needsRightsFor_ = choice_.Path;
    return;
  }
  if (!choice_.IsClient && ClientNeedsRights(choice_.ProgramFolder)) {
    needsRightsFor_ = choice_.ProgramFolder + "uo.exe";
    start_.reset();
  }
}

// The client started with rights would read the real uo.cfg while the
// save went to the VirtualStore. Its own suspended start, ended at once,
// gives Windows' answer: CreateProcess asks the compatibility settings,
// the manifest and installer detection, and fails with 740 where they
// ask for rights ("How User Account Control works", its architecture
// part; "Elevation and process creation APIs", the Windows compatibility
// team's blog on learn.microsoft.com/archive). A client that needs no
// rights but is not virtualized (a manifest that asks for "asInvoker", a
// 64-bit client) would read the real uo.cfg too: that is not asked. Where
// Windows elevates Tidemark's children itself, that start would put up a
// prompt naming the client: its signs are read instead, and a client that
// needs rights by none of them is taken to need none.
bool ClientNeedsRights(const TextValue& programFolder) {
  const TextValue client = programFolder + "uo.exe";
  if (!WritesAreRedirected(programFolder + "uo.cfg") || !FileIsPresent(client)) return false;
  if (CreateProcessElevates()) return AsksForRights(client);
  return SuspendedStart(client, programFolder).NeedsRights();
}

std::int32_t PreparedLaunch::RestartElevated() {
  start_.reset();  // the elevated copy starts its own
  return RestartElevatedFor(needsRightsFor_);
}

void PreparedLaunch::Start() {
  if (choice_.Path.IsEmpty()) {
    Warn(NoneFoundText(choice_.ProgramFolder));
    return;
  }
  if (start_ && start_->Started()) {
    if (start_->Run()) return;
    Warn(NotStartedText(choice_.Path));
    return;
  }
  // Any other program that CreateProcessA cannot start is tried once more
  // the way Explorer starts it.
  ShellRequest request;
  request.File = choice_.Path;
  request.Directory = choice_.WorkingFolder.IsEmpty() ? nullptr : choice_.WorkingFolder.Bytes();
  request.Show = platform::kSwShow;
  // A "No" at a prompt the shell showed for the program is the player's choice.
  if (const platform::DWORD error = StartThroughShell(request);
      error != 0 && error != platform::kErrorCancelled) {
    Warn(NotStartedText(choice_.Path));
  }
}

}  // namespace tidemark
