// The Linux stand-in's small model of Windows' User Account Control, so that
// a client under Program Files, with and without administrator rights, runs
// end to end natively. A test switches it on through the environment, which
// a started program inherits as Windows' children inherit their parent's
// token:
//   TIDEMARK_UAC_ELEVATED=1    this process runs elevated (with
//                              administrator rights);
//   TIDEMARK_UAC_PROTECTED     a host folder that only elevated processes
//                              may change (Program Files);
//   TIDEMARK_UAC_STORE         the per-user store its changes go to instead
//                              (%LOCALAPPDATA%\VirtualStore);
//   TIDEMARK_UAC_CONSENT=yes   what the player answers at the consent prompt
//                              (anything else is "no");
//   TIDEMARK_UAC_PROMPTS       a file that gets one line, the program's
//                              Windows path, for each prompt shown.
// A program needs administrator rights when a file named after it with
// ".requireAdministrator" added lies beside it (its manifest says so, or
// "Run this program as an administrator" is ticked).
//
// The documented rules it follows:
//   - an unelevated process cannot start a program that needs
//     administrator rights: CreateProcess fails with
//     ERROR_ELEVATION_REQUIRED (740), also for a suspended start ("User
//     Account Control for Game Developers", learn.microsoft.com/windows/
//     win32/dxtecharts/user-account-control-for-game-developers, and
//     "How User Account Control works", its architecture part);
//   - a program started by an elevated one is elevated, without a prompt;
//   - ShellExecuteEx with the verb "runas", or with the default verb for a
//     program that needs administrator rights, asks for consent in an
//     unelevated process and starts the program elevated on "yes"; "no"
//     fails with ERROR_CANCELLED (1223);
//   - file virtualization: for an unelevated process, what it writes under
//     a protected folder goes to the store (an existing file is copied
//     there first), what it reads comes from the store's copy where there
//     is one, and removing a file that exists only in the real folder is
//     refused; an elevated process sees only the real folder;
//   - the token's TokenVirtualizationEnabled (class 24) answers a DWORD,
//     nonzero where the process's writes are virtualized
//     (TOKEN_INFORMATION_CLASS, learn.microsoft.com/windows/win32/api/
//     winnt/ne-winnt-token_information_class): here for every unelevated
//     process, as for a 32-bit program without a manifest. Wine answers
//     0 for every process (its token query keeps this class a stub), so
//     under Wine the client is never asked about.
// Observed rather than documented, and modelled because the program guards
// against it: an elevated start without a working folder starts in the
// system folder (here the root, "/").
// What it leaves out: that the virtualization flag can be switched per
// process (Task Manager, SetTokenInformation); that Windows redirects only
// the writes the real folder's permissions refuse (a folder whose installer let users write
// is not redirected at all: here the whole protected folder is); services,
// calls made while impersonating, and files that even administrators may
// not write (never redirected); tokens split in two (a filtered and a full one),
// manifests that ask for "highestAvailable", 64-bit programs and programs
// with a manifest (never virtualized: here every unelevated one is),
// registry virtualization, the file kinds Windows never virtualizes
// (programs: here only what the file calls touch is redirected, and
// programs are started from the real folder), integrity levels, and access
// rights of the real folder beyond the above.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace tidemark::platform::posix {

// Whether this process runs elevated.
bool RunsElevated();

// Whether the program at this host path needs administrator rights.
bool NeedsAdministrator(const std::string& hostProgram);

// Shows the consent prompt for the program at this host path (a line in
// the prompts file) and gives the player's answer.
bool ConsentGiven(const std::string& hostProgram);

// The host path that a file call of this process reaches for `hostPath`.
// `Read` is the store's copy where there is one; `Write` the store's copy,
// made from the real file when there is none yet; `Replace` the store's
// path, nothing copied (the name is about to be made or replaced). Paths
// outside a protected folder, and every path of an elevated process, are
// the path itself.
enum class Reach : unsigned char { Read, Write, Replace };
std::string Virtualized(const std::string& hostPath, Reach reach);

// HostPathOf, then Virtualized: the host path a file call reaches.
std::optional<std::string> FilePathOf(const char* windowsPath, Reach reach, DWORD& error);

// Whether removing this host path must be refused: it lies in a protected
// folder, only in the real folder, and this process is not elevated.
bool RemovalRefused(const std::string& hostPath);

}  // namespace tidemark::platform::posix
