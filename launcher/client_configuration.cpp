#include "launcher/client_configuration.h"

#include "support/paths.h"

namespace tidemark {

namespace {

const char* const kConfigurationFile = "uo.cfg";
const char* const kJournalKey = "JournalSaveFile";

}  // namespace

bool PointJournalAt(TStrings& configLines, const TextValue& journalLine) {
  bool replaced = false;
  // The count is asked for again each time round; a replacement never changes it.
  for (std::int32_t i = 0; i < configLines.LineCount(); ++i) {
    if (PositionOf(kJournalKey, configLines.LineAt(i)) == 1) {
      configLines.ReplaceLine(i, journalLine);
      replaced = true;
    }
  }
  if (!replaced) configLines.AppendLine(journalLine);
  return replaced;
}

bool UpdateClientConfiguration(const TextValue& programFolder, const TextValue& journalLine,
                               bool& appendNeeded) {
  if (!FileIsPresent(programFolder + kConfigurationFile)) return false;
  TStringList configLines;
  configLines.LoadLinesFromFile(programFolder + kConfigurationFile);
  if (PointJournalAt(configLines, journalLine)) appendNeeded = false;
  configLines.SaveLinesToFile(programFolder + kConfigurationFile);
  return true;
}

}  // namespace tidemark
