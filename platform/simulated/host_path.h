// How the simulated calls map the Windows paths that the core hands down onto
// POSIX paths, and back. The POSIX root is drive Z:, as Wine shows it.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

#include "platform/platform.h"

namespace tidemark::platform::simulated {

// "Z:\a\b\" gives "/a/b/"; a path without a drive is relative to the current
// folder ("a\b" gives "a/b"). A path on any other drive, a UNC path and a path
// holding a byte that Windows forbids in names ("<>|, and * ? unless
// `allowWildcards`) name nothing: the answer is empty and `error` says why.
std::optional<std::string> HostPathOf(const char* windowsPath, bool allowWildcards, DWORD& error);

// "/a/b/tidemark" gives "Z:\a\b\tidemark".
std::string WindowsPathOf(const std::string& hostPath);

// The Windows attributes of a file with this status: folder or archive, and
// read-only when nobody may write it.
DWORD AttributesOf(const struct stat& status);

// Whether the file waits to be deleted (removed while open). One whose
// holders are all gone, their processes killed, is removed now: on Windows
// a process's exit closes its handles and the name goes with the last one.
bool WaitsToBeDeleted(const std::string& path);

// The Win32 error code that Windows reports for the same failure.
DWORD Win32ErrorOf(int posixError);

}  // namespace tidemark::platform::simulated
