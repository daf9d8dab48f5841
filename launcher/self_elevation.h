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

#include <cstdint>
#include <optional>

#include "support/text_value.h"

namespace tidemark {

// Starts this program again, elevated: through the shell with the verb
// "runas", its own path as the elevated copy reaches it, the parameters it
// was given and its current folder as the working folder and, last, as a
// parameter. A "No" at the prompt ends the run quietly; any other failure,
// and a refusal by the PC's rules, shows the box that fits, naming
// `program` where it is the one that needs the rights. Returns the exit
// code, 0.
std::int32_t RestartElevatedFor(const TextValue& program);

// In the copy so started: the current folder of the copy that started it,
// which the restart gives as the last parameter ("/StartIn=" and the
// folder); none where it was not given.
std::optional<TextValue> StartFolderGiven();

}  // namespace tidemark
