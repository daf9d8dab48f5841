// Saving a file so that it is never lost: the new contents go to a fresh
// file beside it, which then replaces the old one in one step. A failure at
// any point leaves the old file exactly as it was and no new file behind.
#pragma once

#include <functional>

#include "support/file_stream.h"
#include "support/text_value.h"

namespace tidemark {

// Replaces the contents of the file at `path`:
//   - a read-only file, or one that cannot be opened for writing with sole
//     access, raises EFCreateError naming the path, untouched;
//   - `write` puts the new contents into a stream over a new file in the same
//     folder, which is then flushed; a short or failed write, flush or close
//     raises EWriteError;
//   - the new file replaces the old one (retried briefly while a scanner
//     holds it); a failed replace raises EFCreateError.
// The hidden and system attributes of the old file are kept.
void ReplaceFileContents(const TextValue& path, const std::function<void(TStream&)>& write);

}  // namespace tidemark
