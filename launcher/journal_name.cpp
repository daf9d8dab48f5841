#include "launcher/journal_name.h"

#include "support/date_text.h"

namespace tidemark {

TextValue JournalLineFor(const TextValue& journalFolder, DateTimeValue clockReading) {
  std::uint16_t hour = 0, minute = 0, second = 0, millisecond = 0;
  SplitTimeOfDay(clockReading, hour, minute, second, millisecond);
  if (hour > 22) clockReading += 1.0;
  return TextValue("JournalSaveFile=") + journalFolder + "Journal(" +
         RenderDateTime(clockReading, "yyyy-mm-dd") + ").txt";
}

}  // namespace tidemark
