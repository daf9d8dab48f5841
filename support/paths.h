// Path handling and the file-system questions the launcher asks, with the two
// facts about the system's ANSI code page that the path handling rests on:
// whether double-byte characters are in use at all, and which byte values
// begin one. A path is never normalised: only "\" and ":" separate, and the
// second byte of a double-byte character is never taken for a separator.
#pragma once

#include <bitset>
#include <cstdint>

#include "support/text_value.h"

namespace tidemark {

enum class ByteKind : std::uint8_t { Single = 0, Lead = 1, Trail = 2 };

struct CodePageFacts {
  bool DoubleByteSystem = false;
  std::bitset<256> LeadByteSet;
  std::uint32_t SystemDefaultLocale =
      0x409;  // English (United States) when the system says nothing.
};

// The facts from up to six (low, high) lead-byte ranges as the system lists
// them: the walk stops at a pair of zeros; a pair with high below low adds nothing.
CodePageFacts CodePageFactsFrom(bool doubleByteSystem, const std::uint8_t (&leadByteRanges)[12]);

// Reads the facts from the system once, at start-up, before the launcher runs.
void PrepareCodePageFacts();

// The facts in force. AdoptCodePageFacts replaces them (tests set lead-byte
// ranges directly to exercise double-byte handling).
const CodePageFacts& CurrentCodePageFacts();
void AdoptCodePageFacts(const CodePageFacts& facts);

// The class of the byte at the 1-based `position` of `text`.
ByteKind ByteKindAt(const TextValue& text, std::int32_t position);

// The 1-based position of the last byte of `text` that is one of
// `separators` and not a trail byte; 0 when there is none.
std::int32_t FindLastSeparator(const char* separators, const TextValue& text);

// The path up to and including its last "\" or ":"; the empty text when none.
TextValue FolderPartOf(const TextValue& path);

// The MS-DOS date (high 16 bits) and time (low 16 bits) of the file's last
// write in local time; -1 when the first entry the system finds for the path
// is missing, a folder, or outside the MS-DOS range (1980 to 2107).
std::int32_t FileWriteStamp(const TextValue& path);

// True exactly for an existing entry that is not a folder. Only the entry's
// attributes decide: its time stamp does not, and "*" and "?" are no pattern.
bool FileIsPresent(const TextValue& path);

// True exactly for an existing folder; a trailing "\" is accepted.
bool FolderIsPresent(const TextValue& path);

// Creates the last level of `path`: 0 when it was created, else -1 with the
// last error set (ERROR_ACCESS_DENIED in place of ERROR_ALREADY_EXISTS).
std::int32_t MakeFolder(const char* path);

}  // namespace tidemark
