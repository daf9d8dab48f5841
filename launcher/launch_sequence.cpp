#include "launcher/launch_sequence.h"

#include <optional>

#include "launcher/client_configuration.h"
#include "launcher/journal_name.h"
#include "launcher/launch_target.h"
#include "support/command_line.h"
#include "support/messages.h"
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
    Warn(LoadMessage(MessageId::UnreachableFolder));
    return 0;
  }
  return RunFrom(*modulePath);
}

std::int32_t LaunchSequence::RunFrom(const TextValue& modulePath) {
  FindFolders(modulePath);
  EnsureJournalFolder();
  ComputeJournalLine(CurrentDateTime());  // the run's only clock reading
  UpdateClientConfiguration(ProgramFolder, JournalLine, AppendNeeded);
  if (LaunchSuppressedBy(CommandParameter(1))) return 0;
  UOAssistPath = ReadAssistantRegistration();
  SelectLaunchTarget(ProgramFolder, UOAssistPath);
  return 0;
}

std::int32_t EntryProcedure(platform::HMODULE, platform::HMODULE, const char*, std::int32_t) {
  LaunchSequence sequence;
  return sequence.Run();
}

}  // namespace tidemark
