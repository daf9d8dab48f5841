// The launch sequence: the whole of the program's own behaviour, run once,
// straight through, from the entry procedure.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "support/date_time.h"
#include "support/text_value.h"

namespace tidemark {

// The values the sequence holds for its whole run, and its steps in order.
struct LaunchSequence {
  TextValue ProgramFolder;  // the program's own folder, ending with "\"
  TextValue JournalFolder;  // ProgramFolder + "Journals\"
  TextValue JournalLine;    // the uo.cfg line that names today's journal file
  bool AppendNeeded = true;
  TextValue UOAssistPath;

  // Runs the whole sequence for the program's own path (its short form
  // where the ANSI code page cannot show it): the folders; unless
  // parameter 1 is the switch, the program to start and what its start
  // needs (where that is rights Tidemark lacks, an elevated copy of
  // Tidemark does the rest); the journal folder, the journal line, the
  // uo.cfg update; then the start. Where no ANSI path reaches the
  // program's folder, a warning box that says why, and nothing else.
  // Returns the exit code, always 0; an error from a step passes out to
  // the caller.
  std::int32_t Run();
  // The same, for a program whose own path is `modulePath`.
  std::int32_t RunFrom(const TextValue& modulePath);

  void FindFolders(const TextValue& modulePath);        // ProgramFolder, JournalFolder
  void EnsureJournalFolder() const;                     // made when missing
  void ComputeJournalLine(DateTimeValue clockReading);  // JournalLine
};

// True when parameter 1 is exactly "/N" or "/n": the launch is suppressed.
bool LaunchSuppressedBy(const TextValue& firstParameter);

// The program's entry procedure, in the GUI entry-point form. It reads none
// of its arguments: the switch is taken from the command line afresh.
std::int32_t EntryProcedure(platform::HMODULE instance, platform::HMODULE previousInstance,
                            const char* commandTail, std::int32_t showState);

}  // namespace tidemark
