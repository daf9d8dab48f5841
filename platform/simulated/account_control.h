// The simulated User Account Control, the part of model.h's model that lets
// a client under Program Files, with and without administrator rights, run
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
//   TIDEMARK_UAC_ACCOUNT       the account this process runs as (default
//                              "player"): "Prompt for credentials" runs
//                              the elevated copy as another one;
//   TIDEMARK_UAC_DRIVES        drive letters made in the player's session
//                              without rights, as "S=Z:\games\client"
//                              (a subst letter and the folder it stands
//                              for) or "N=\\server\share" (a mapped
//                              network drive), separated by ";".
//   TIDEMARK_UAC_RENAME=denied a rename over a file in the protected folder
//                              by a process that is not elevated fails
//                              with "access denied", for good, while an
//                              open for DELETE is granted: what Windows
//                              answers there is documented nowhere (see
//                              support/file_replace.cpp), and this is the
//                              worst case the save bounds.
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
//     under Wine the client is never asked about;
//   - a named mutex made without a descriptor gets its security from its
//     maker's token (CreateMutexW's page): one made by an elevated process
//     may be created again (CreateMutexA asks for every right) only by
//     elevated ones, and opened by an unelevated one of the same account
//     only to wait for it; one made unelevated, by its own account; neither
//     by another account. (Which rights a token's default grants whom is
//     this model's reading, found on no Microsoft page.) One made with a descriptor grants what the
//     descriptor gives every account. A refused CreateMutexA fails with
//     ERROR_ACCESS_DENIED (CreateMutexW's page), so does a refused OpenMutexA;
//   - drive letters belong to the logon session that made them: subst
//     letters and mapped network drives made without rights are not there
//     for an elevated process, which runs in a logon session of its own
//     (KB937624, kept by Microsoft as "Some Programs Cannot Access Network
//     Locations When UAC Is Enabled", technet.microsoft.com/library/
//     ee844140.aspx, and KB3035277, "Mapped drives are not available from
//     an elevated prompt when UAC is configured to Prompt for
//     credentials"; for subst letters, every DOS device name is tied to its
//     logon session: "Mapped Network Drives with UAC on Windows Vista",
//     blogs.msdn.microsoft.com/cjacks, 2007-02-19). QueryDosDeviceA answers a
//     subst letter with "\??\" and its folder (Wine's kernel32 volume.c
//     test_dos_devices), a mapped letter with its redirector device, and a
//     letter that is not there with ERROR_FILE_NOT_FOUND; GetDriveTypeA a
//     mapped one as DRIVE_REMOTE, a subst one as its folder's drive; mpr.dll's
//     WNetGetConnectionA a mapped letter with its share, any other with
//     ERROR_NOT_CONNECTED (WNetGetConnectionA's page).
// A program of the player's session that lies in the folder of one of its
// subst letters is taken as started through that letter: its module path
// names the letter, as Windows answers the path the program was loaded by
// (GetModuleFileName's page: "the same format that was specified when the
// module was loaded").
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
// rights of the real folder beyond the above; integrity labels of objects,
// the rights of a mutex's handle (every one it was opened with is granted
// and none is checked again), two handles of one mutex made at the very same
// moment (each may take the mutex for new), letters defined for the whole
// machine, and network shares themselves (a mapped letter's files are not
// reachable at all: no UNC path is).
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace tidemark::platform::simulated {

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

// Whether a rename over this host path is refused (TIDEMARK_UAC_RENAME).
bool RenameOverRefused(const std::string& hostPath);

// A mutex's security as its maker leaves it: what a descriptor given
// grants every account, else its maker's token's default.
std::string MutexSecurityOfMaker(std::optional<DWORD> granted);

// Whether this process may open a mutex of that security for `access`.
bool MutexAccessGranted(const std::string& security, DWORD access);

// The drive letter `letter` of this process's logon session, other than
// Z:, if there is one: what it stands for ("Z:\..." or "\\server\share").
std::optional<std::string> SessionDrive(char letter);

// `windowsPath` through the subst letter whose folder holds it, where this
// process's session has one; else as it is.
std::string StartedThrough(const std::string& windowsPath);

// WaitForSingleObject on a process handle that CreateProcessA gave, none
// where `process` is no such handle: signaled once the process was ended,
// else WAIT_TIMEOUT at once (no running program is waited for).
std::optional<DWORD> WaitForProcess(HANDLE process);

// mpr.dll's WNetGetConnectionA over those letters.
DWORD TIDEMARK_WINAPI StandInWNetGetConnectionA(const char* localName, char* remoteName,
                                                DWORD* length);

}  // namespace tidemark::platform::simulated
