#include "launcher/client_configuration.h"

#include "launcher/write_redirection.h"
#include "support/file_replace.h"
#include "support/paths.h"
#include "support/save_leftovers.h"
#include "support/turn.h"

namespace tidemark {

namespace {

const char* const kConfigurationFile = "uo.cfg";
const char* const kJournalKey = "JournalSaveFile";

}  // namespace

bool PointJournalAt(TStrings& configLines, const TextValue& journalLine) {
  bool replaced = false;
  // The key's first occurrence at position 1: the line begins with it.
  for (std::int32_t i = configLines.NextLineStartingWith(kJournalKey, 0); i >= 0;
       i = configLines.NextLineStartingWith(kJournalKey, i + 1)) {
    configLines.ReplaceLine(i, journalLine);
    replaced = true;
  }
  if (!replaced) configLines.AppendLine(journalLine);
  return replaced;
}

bool UpdateClientConfiguration(const TextValue& programFolder, const TextValue& journalLine,
                               bool& appendNeeded) {
  const TextValue path = programFolder + kConfigurationFile;
  // Other copies started at the same time wait here until this one has
  // saved, then load what it saved.
  const TTurn turn(path);
  // A missing uo.cfg stays missing, unless a cut save left it whole under its new name.
  if (!FileIsPresent(path) && !RecoverCutReplace(path)) return false;
  TStringList configLines;
  configLines.LoadLinesFromFile(path);
  if (PointJournalAt(configLines, journalLine)) appendNeeded = false;
  // Where Windows sends the writes to the VirtualStore, a refused replace is
  // waited out only briefly (see ReplaceFileContents).
  ReplaceFileContents(
      path, [&](TStream& stream) { configLines.SaveLinesToStream(stream); },
      WritesAreRedirected(path));
  return true;
}

}  // namespace tidemark
