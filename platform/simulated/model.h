// The simulated Windows, stated once: what the Linux build answers for the
// Win32 calls of platform.h. It is a model of Windows for the tests, not a
// port of Tidemark: the same core runs over it natively, unit-tested,
// sanitised and debugged, and each answer is the one Windows gives (sources
// beside the code that gives it). What it leaves out is said here or in the
// file named. The other files of this folder say how they build it.
//
// Paths, programs and boxes
//   - The POSIX root is drive Z:, as Wine shows it (host_path.h). The system
//     folder is Z:\windows\system32; LoadLibraryA finds a DLL there as by its
//     plain name.
//   - The ANSI code page is the host's bytes: a UTF-16 unit below 0x100 is
//     that byte, any other is lost (the default character, usedDefaultChar
//     set). The wide module path is the ANSI one, byte for byte. No short
//     (8.3) names are kept: an existing path is its own short and long form.
//   - The command line is rebuilt from the arguments (/proc/self/cmdline).
//   - Programs are started with posix_spawn (process_posix.cpp, which names
//     the documented rules of a start it follows): the command line's first
//     token, quoted or not, is the program; no shell, never waited for; the
//     show state asked for reaches its GetStartupInfoA through the
//     environment. LoadLibraryA knows shell32.dll (ShellExecuteExA starts a
//     program as CreateProcessA does), ole32.dll (CoInitializeEx and
//     CoUninitialize answer as on a fresh thread) and mpr.dll (below).
//     LoadLibraryExA maps no program, for none is a Windows image: it
//     answers ERROR_BAD_EXE_FORMAT, as Windows does for a file that is no
//     image; LockResource gives back what it is given.
//   - A message box is one line, "caption: text", on standard error, and is
//     answered as if OK was pressed.
//   - The locale is English (United States) (locale_posix.cpp): English
//     month and day names, short date M/d/yyyy, long date dddd, MMMM d,
//     yyyy, short time h:mm AMPM, long time h:mm:ss AMPM, AM and PM,
//     separators / and :, era A.D.; the clock is the system's (so faketime
//     moves it).
//   - A reserved memory region is a mapping without access; committing gives
//     a part of it read and write access, and offers a part of 2 MiB or more
//     transparent huge pages (memory_posix.cpp).
//
// Files (file_posix.cpp)
//   - A handle is a file descriptor. Windows' sharing rule (each handle's
//     access against every other handle's share mode, for reading, writing
//     and deleting, a folder's handles too) holds across processes through
//     open-file-description locks on marker bytes far past any file's end.
//     The check and the marking are two steps, not one: two opens made at
//     the same moment in two processes may both pass where Windows would
//     refuse the second.
//   - A file removed while other handles are open, or whose delete-on-close
//     handle was closed, waits to be deleted: it carries the sticky bit
//     (which means nothing else on a Linux file), is refused to every open
//     and attribute query, is still listed, and goes with its last handle;
//     where that handle's process was killed, the next call that names it
//     finds no holder left (the locks went with the process) and removes
//     it, as Windows' closing of a dead process's handles does. DeleteFileA
//     keeps the name until the last handle goes, as Windows did before
//     Windows 10 1903 and still does off NTFS (NTFS there removes the name
//     at once; delete-on-close keeps the older way).
//   - A file without write permission bits is read-only: refused for
//     writing, replacing and deleting on close, also to root, as Windows
//     refuses it to an administrator. An open for DELETE access alone is
//     granted, as on Windows, where only marking the file for deletion fails
//     (Wine's ntdll tests, file.c, test_file_disposition_information:
//     STATUS_CANNOT_DELETE).
//   - A replace keeps the replaced file's mode and owner. A symbolic link is
//     replaced itself, as on Windows, and reported as a reparse point.
//   - SetEndOfFile reserves the room when it grows a file, as Windows does.
//   - A folder opens only with FILE_FLAG_BACKUP_SEMANTICS, for reading.
//     GetFileInformationByHandle answers from stat, for a folder as for a
//     file: the device as the volume's serial number, the inode as the file
//     index.
//
// The registry (registry_posix.cpp, over registry_file.h)
//   - Read from Wine's text files in $WINEPREFIX (default ~/.wine),
//     system.reg for HKEY_LOCAL_MACHINE and user.reg for HKEY_CURRENT_USER,
//     afresh at each open. It is never written; write access to
//     HKEY_LOCAL_MACHINE is granted only to root, as Windows grants it only
//     to administrators.
//
// Named mutexes (mutex_posix.cpp)
//   - Kept in Linux's abstract socket namespace, so the turn leaves no file
//     anywhere: a handle is a socket bound to a name of its own, which
//     carries the mutex's name and security; owning the mutex is holding a
//     second socket bound to the mutex's name, which only one socket at a
//     time may be. Ending the process, however it ends, closes both, as
//     Windows abandons the mutex of a process that ends. It cannot tell an
//     abandoned mutex from a free one, and is not re-entrant.
//   - Of a security descriptor's text, only the rights its "allow" entries
//     give every account ("AU", "WD", "IU") are read: the model knows
//     nothing finer.
//
// User Account Control (account_control.h)
//   - Switched on by environment variables (TIDEMARK_UAC_*), which a started
//     program inherits as Windows' children inherit their parent's token:
//     elevated and unelevated processes, programs that need administrator
//     rights, the consent prompt, the redirection of an unelevated program's
//     writes under a protected folder (and, where a test asks, a rename over
//     a file there refused for good), the token's answers, a mutex's
//     security by its maker, and drive letters the elevated session lacks
//     (QueryDosDeviceA knows Z: and those; mpr.dll's WNetGetConnectionA the
//     mapped ones). account_control.h names each variable, the documented
//     rules it follows and what it leaves out.
#pragma once
