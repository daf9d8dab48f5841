// The configuration line that names the day's journal file. A launch late in
// the evening is filed under the next day: from 23:00 on, the date is tomorrow's.
#pragma once

#include "support/date_time.h"
#include "support/text_value.h"

namespace tidemark {

// "JournalSaveFile=" + journalFolder + "Journal(" + yyyy-mm-dd + ").txt", with
// one whole day added to the clock reading when its hour is 23.
TextValue JournalLineFor(const TextValue& journalFolder, DateTimeValue clockReading);

}  // namespace tidemark
