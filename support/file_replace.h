// Atomic replace: a temporary file, flushed, then renamed over the old one; else rewrite in place.
// Saving a file so that it is never lost. Where the folder allows it, the
// new contents go to a fresh file beside the old one, which then replaces it
// in one step: a failure or a kill at any point leaves the old file exactly as
// it was. Where it does not, the file is rewritten in place, safely: the room
// is taken first, and a failure puts the old bytes back.
#pragma once

#include <functional>

#include "support/file_stream.h"
#include "support/text_value.h"

namespace tidemark {

// Replaces the contents of the file at `path`:
//   - a read-only file, a folder, or one that cannot be opened for writing
//     with sole access (another program's hold is waited out for about 2 s),
//     raises EFCreateError naming the path, untouched;
//   - `write` puts the new contents into a stream over a new file in the same
//     folder, which is flushed and then replaces the old one. The new file is
//     named for its contents, `path` + ".tidemark-save.<size>-<crc>.tmp",
//     when this copy holds the turn at the file (TTurn), and what earlier
//     runs left under such names is removed first (see save_leftovers.h);
//     otherwise `path` + ".tidemark-save-<process number>.tmp". Another
//     program's hold on either file is waited out for about 2 s a call. A
//     failed write, flush or close raises EWriteError, a failed replace
//     EFCreateError;
//   - the file is instead rewritten in place when the folder refuses the new
//     file, the disk has no room for it, its name would be too long, the
//     replace is refused, or the file is a link, a junction or has more than
//     one name (which a replace would cut off). The room for the new contents
//     is taken first (EWriteError when there is none, nothing changed); a
//     failure after that writes the old bytes back and raises EWriteError.
//     A new file held by another program past the wait is also a reason
//     (removed if it can be, else left for the next run); a rule against the
//     replace (an open for deleting refused as "access denied") sends the
//     save in place at once, while a hold on `path` is waited out in full.
// The hidden and system attributes of the old file are kept. A new file of
// the turn's that stays where the save goes in place is marked void first.
// `writesRedirected`: Windows sends this process's writes to `path` to the
// VirtualStore (the caller knows; see launcher/write_redirection.h). What
// a rename answers there is documented nowhere, so a refused replace is
// waited out in full only where an open for deleting shows a hold, else
// about 0.1 s before the save goes in place.
void ReplaceFileContents(const TextValue& path, const std::function<void(TStream&)>& write,
                         bool writesRedirected = false);

}  // namespace tidemark
