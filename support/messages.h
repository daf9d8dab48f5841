// Error messages from the program's string table, loaded by number.
#pragma once

#include <cstdint>

#include "support/text_value.h"

namespace tidemark {

enum class MessageId : std::uint32_t {
  UnreachableFolder = 1,        // the warning where no ANSI path reaches the program's folder
  RightsNotGiven = 2,           // the elevated restart failed; "%s": the program needing rights
  ElevatedCopyCannotReach = 4,  // "%s": the drives or paths an elevated copy would not reach
  RestartFailed = 5,            // "%s": the program needing rights, then Windows' error number
  RefusedByPolicy = 6,          // a rule of the PC refused the restart; "%s": the program
  FileCreateError = 61441,      // "%s": the path
  FileOpenError = 61442,        // "%s": the path
  StreamReadError = 61443,
  StreamWriteError = 61444,
  ListIndexError = 61452,
  SortedListError = 61453,
  DuplicateString = 61454,
  InvalidRegistryKind = 61626,  // "%s": the value name
  RegistryReadFailed = 61629,   // "%s": the value name
  InvalidTime = 65413,
  InvalidDate = 65414,
};

// The entry's text, as LoadStringA gives it into a 1024-byte buffer.
TextValue LoadMessage(MessageId id);

// The entry's text with its "%s" replaced by `name` exactly as given.
TextValue LoadMessage(MessageId id, const TextValue& name);

// The same with its first "%s" replaced by `first`, its second by `second`.
TextValue LoadMessage(MessageId id, const TextValue& first, const TextValue& second);

}  // namespace tidemark
