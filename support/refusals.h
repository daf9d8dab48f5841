// Retry with backoff while another program has a file in use (sharing and lock violations).
// Refusals that pass. Virus scanners, backup and sync clients, an editor
// saving, hold a file for a moment, and Windows then refuses to open, remove
// or rename it ("in use", or "access denied" for a file about to be
// removed). Such a refusal is waited out, with growing pauses, about 2 s in
// all for one call; one that lasts longer is reported as before. A refusal
// that a rule makes (a folder that lets files be made but not removed or
// renamed over) is not waited for: the caller tells the two apart.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/platform.h"

namespace tidemark {

// The error a system call failed with, as a value: none where it succeeded.
using CallError = std::optional<platform::DWORD>;

// The error of the call just made, whose answer was `succeeded`: read at
// once, for any later call (a removal, a question) may set another.
CallError ErrorOf(bool succeeded);

// A sharing or lock violation: another program has the file open.
bool IsInUse(platform::DWORD error);

// Whether a refusal may be waited out: not at all, in full, or, where it
// may pass or last and Windows does not say which, for about 0.1 s only.
enum class Refusal : std::uint8_t { Lasting, Passing, Brief };

// Calls `attempt`, which answers the error it met, until it succeeds,
// pausing between tries while `refusal` says that error may pass. None when
// an attempt succeeded; otherwise the last attempt's error.
CallError WaitOutRefusals(const std::function<CallError()>& attempt,
                          const std::function<Refusal(platform::DWORD)>& refusal);

// CreateFileA (normal attributes), with another program's hold on the file
// waited out; the invalid handle value when it could not be opened.
platform::HANDLE OpenWaitingOutHolds(const char* path, platform::DWORD access,
                                     platform::DWORD share, platform::DWORD disposition);

// Whether the name is still listed while asking for its attributes is
// refused as "access denied": a file waiting to be deleted, which passes.
bool BeingRemoved(const char* path);

// Removes a file, waiting out another program's hold (`once`: tries only
// once); one that is already gone counts as removed. The error that kept
// it, if any.
CallError RemoveWaitingOutHolds(const char* path, bool once = false);

}  // namespace tidemark
