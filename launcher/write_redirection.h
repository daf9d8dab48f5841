// Whether Windows would send what Tidemark writes to a file to the player's
// VirtualStore instead: Tidemark runs without administrator rights, its
// token's writes are virtualized, and the file lies in a folder that
// Windows virtualizes. Only then can a program started with rights read
// another uo.cfg than the one Tidemark saves, so only then is the client's
// need for rights asked about.
#pragma once

#include "support/text_value.h"

namespace tidemark {

// Windows virtualizes the folder a write reaches, however it was named: the
// path's folder is first turned into that one, its subst letters into what
// they stand for and its short names into long ones. Not followed:
// junctions, symbolic links and mount points; no Microsoft page says
// whether the virtualization filter tests the name as opened or where a
// link leads. Where a write is redirected but taken as not (a client folder
// reached through a link into Program Files; a short name the system
// cannot lengthen, in the .cpp), the client's need for rights is not
// asked. The worst case: where it needs them and the assistant or
// uomon.exe is started, Tidemark saves to the VirtualStore while the
// client, started with rights, reads the real uo.cfg, whose journal line
// stays as it was; the journal goes on in the file it names, and nothing is
// lost. Taken as redirected where it is not (a folder under Program Files
// linking out of it), the worst case is one prompt that was not needed.
bool WritesAreRedirected(const TextValue& path);

// Whether `path` lies in a folder that Windows virtualizes. Those are
// %ProgramFiles%, %windir% and %windir%\system32 ("User Account Control:
// Virtualize file and registry write failures to per-user locations",
// learn.microsoft.com/previous-versions/windows/it-pro/
// windows-server-2008-R2-and-2008/jj852189(v=ws.10)). They are read from
// the environment: for a 32-bit program on 64-bit Windows ProgramFiles
// names "Program Files (x86)" and ProgramW6432 the other one ("WOW64
// Implementation Details", learn.microsoft.com/windows/win32/winprog64/
// wow64-implementation-details). That page says ProgramW6432 came with
// Windows 7: on 64-bit Vista a client under the 64-bit Program Files is not
// recognized, and its need for rights is not asked. A mapped drive is
// kept as it is: it names a network folder, none of these.
bool InVirtualizedFolder(const TextValue& path);

}  // namespace tidemark
