// UAC elevation: restarting as administrator through the shell's runas verb.
// Starting Tidemark itself once more with administrator rights, for a
// program that needs them. Under Program Files, Windows puts what a program
// without rights writes there into the player's VirtualStore, while a
// program with rights sees only the real folder: a client started with
// rights would read a uo.cfg that Tidemark never touched. So Tidemark asks
// for the rights itself (the one consent prompt then names Tidemark), and
// the copy that gets them updates the real uo.cfg and starts the program,
// which it may now do without a second prompt.
#pragma once

#include <optional>

#include "launcher/shell_start.h"
#include "platform/platform.h"

namespace tidemark {

// What this process's access token answers for one information class that
// is a DWORD (TokenElevation, TokenVirtualizationEnabled); none where the
// system cannot say.
std::optional<platform::DWORD> TokenAnswer(platform::DWORD informationClass);

// Whether this process runs without administrator rights: true only when
// its token says it is not elevated. False when the system cannot say, so
// that a copy never starts itself once more on a guess.
bool RunsWithoutRights();

// Starts this program again, elevated: through the shell with the verb
// "runas", its own path as ANSI calls reach it, the parameters it was
// given and its current folder as the working folder.
ShellStart StartSelfElevated();

}  // namespace tidemark
