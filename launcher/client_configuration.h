// Points the game client's journal at the day's file: every line of uo.cfg
// that begins with "JournalSaveFile" becomes the day's line, or the line is
// added at the end. All other lines stay as they were, in their order. A
// missing uo.cfg is never created.
#pragma once

#include "support/string_list.h"
#include "support/text_value.h"

namespace tidemark {

// The edit itself: returns whether a line was replaced (else it was appended).
bool PointJournalAt(TStrings& configLines, const TextValue& journalLine);

// Loads, edits and saves programFolder + "uo.cfg" when it is present.
// Returns false when the file is missing and nothing was done.
bool UpdateClientConfiguration(const TextValue& programFolder, const TextValue& journalLine,
                               bool& appendNeeded);

}  // namespace tidemark
