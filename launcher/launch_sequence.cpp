#include "launcher/launch_sequence.h"

#include <optional>

#include "launcher/boxes.h"
#include "launcher/client_configuration.h"
#include "launcher/journal_name.h"
#include "launcher/launch_target.h"
#include "launcher/self_elevation.h"
#include "support/command_line.h"
#include "support/paths.h"

namespace tidemark {

void LaunchSequence::FindFolders(const TextValue& modulePath) {
  ProgramFolder = FolderPartOf(modulePath);
  JournalFolder = ProgramFolder + "Journals\\";
}

void LaunchSequence::EnsureJournalFolder() const {
  // Only the last level is made; a failure is not reported and the run goes on.
  if (!FolderIsPresent(JournalFolder)) MakeFolder(JournalFolder.Bytes());
}

void LaunchSequence::ComputeJournalLine(DateTimeValue clockReading) {
  JournalLine = JournalLineFor(JournalFolder, clockReading);
}

bool LaunchSuppressedBy(const TextValue& firstParameter) {
  return firstParameter == TextValue("/N") || firstParameter == TextValue("/n");
}

// The module path as every ANSI call can open it: where the system's code
// page cannot show the folder's name, its short form. Where neither names
// the folder, every path built from it would name a folder that is not
// there: the player is told why, and nothing is made, written or started.
std::int32_t LaunchSequence::Run() {
  const std::optional<TextValue> modulePath = ReachableModulePath();
  if (!modulePath) {
    Warn(UnreachableFolderText());
    return 0;
  }
  return RunFrom(*modulePath);
}

// What the start needs is learnt before anything is written: where rights
// are needed, the save of a copy without them would go to the VirtualStore,
// which the program started with rights never reads. The program runs
// only once the save is done; a failed save never starts it.
// A run that starts nothing asks only what decides who reads its save:
// the client.
std::int32_t LaunchSequence::RunFrom(const TextValue& modulePath) {
  FindFolders(modulePath);
  std::optional<PreparedLaunch> launch;
  if (!LaunchSuppressedBy(CommandParameter(1))) {
    UOAssistPath = ReadAssistantRegistration();
    launch.emplace(ChooseLaunchTarget(ProgramFolder, UOAssistPath));  // choose the program
    launch->LearnNeeds();                                             // learn what it needs
    if (launch->NeedsRights()) return launch->RestartElevated();      // the copy does it all
  } else if (ClientNeedsRights(ProgramFolder)) {
    return RestartElevatedFor(ProgramFolder + "uo.exe");  // the copy saves, and starts nothing
  }
  EnsureJournalFolder();                  // save
  ComputeJournalLine(CurrentDateTime());  // the run's only clock reading
  UpdateClientConfiguration(ProgramFolder, JournalLine, AppendNeeded);
  if (launch) launch->Start();  // start
  return 0;
}

std::int32_t EntryProcedure(platform::HMODULE, platform::HMODULE, const char*, std::int32_t) {
  LaunchSequence sequence;
  return sequence.Run();
}

}  // namespace tidemark
