// Command-line arguments (argv) and the program's own path.
// The program's own file path and the parameters it was started with.
// Parameter 0 is the module path from the system; parameters 1 and up are cut
// from the command line by a small scanner whose rules for blanks and double
// quotes alone decide what the launcher sees. Nothing is kept: every request
// reads the command line afresh.
#pragma once

#include <cstdint>
#include <optional>

#include "support/text_value.h"

namespace tidemark {

// One scanning step from `position` inside a zero-terminated command line:
// the next parameter (empty when the line is exhausted) and, in `position`,
// the byte that stopped it. Parameters of any length are collected whole.
TextValue NextParameter(const char*& position);

// Index 0: the module path, read whole however long it is. Index n >= 1:
// parameter n of the process's command line, or the empty text when there
// are fewer; a negative index gives the empty text.
TextValue CommandParameter(std::int32_t index);

// The number of parameters after the program name.
std::int32_t CountParameters();

// The same two, over a given command line instead of the process's own.
TextValue CommandParameterIn(const char* commandLine, std::int32_t index);
std::int32_t CountParametersIn(const char* commandLine);

// The full path of the program's own file, as the system reports it.
TextValue ModulePath();

// The module path in a form that every ANSI file call can open. Where the
// system's ANSI code page can show the path, that is ModulePath(), byte for
// byte. Where it cannot (a folder named in another script than the
// system's), ModulePath() holds "?" in place of what it lost and names
// nothing; the short (8.3) form of the path, ASCII where the volume keeps
// short names, leads to the same file and is given instead. Where there is
// no short form, or it has lost characters too (the volume keeps no short
// names, or a name that was a valid short name already got none), no ANSI
// path reaches the program's folder: nothing.
std::optional<TextValue> ReachableModulePath();

// The current folder by the same rule; nothing also where it cannot be read.
std::optional<TextValue> ReachableCurrentFolder();

}  // namespace tidemark
