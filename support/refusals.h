// Refusals that pass. Virus scanners, backup and sync clients, an editor
// saving, hold a file for a moment, and Windows then refuses to open, remove
// or rename it ("in use", or "access denied" for a file about to be
// removed). Such a refusal is waited out, with growing pauses, about 2 s in
// all for one call; one that lasts longer is reported as before.
#pragma once

#include <functional>

#include "platform/platform.h"

namespace tidemark {

// A sharing or lock violation: another program has the file open.
bool IsInUse(platform::DWORD error);

// Calls `attempt` until it succeeds, pausing between tries while
// `passing(GetLastError())` says the refusal may pass. True when an attempt
// succeeded; otherwise the last error is the last attempt's.
bool WaitOutRefusals(const std::function<bool()>& attempt,
                     const std::function<bool(platform::DWORD)>& passing);

// CreateFileA (normal attributes), with another program's hold on the file
// waited out; the invalid handle value when it could not be opened.
platform::HANDLE OpenWaitingOutHolds(const char* path, platform::DWORD access,
                                     platform::DWORD share, platform::DWORD disposition);

}  // namespace tidemark
