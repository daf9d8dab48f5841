// Starting a program the way Explorer does, for one that WinExec could not
// start. WinExec goes through CreateProcess, which never asks the player's
// consent: a program that needs administrator rights (its manifest asks for
// them, or "Run this program as an administrator" is ticked) fails there
// with ERROR_ELEVATION_REQUIRED. The shell shows the consent prompt and
// starts it on "Yes".
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "support/text_value.h"

namespace tidemark {

enum class ShellStart : std::uint8_t {
  Started,
  Declined,  // the player said no at the prompt
  Failed,
};

// Starts the program at `path`, without parameters, in show state `show`,
// through ShellExecuteExA with the default verb. SHELL32 (and OLE32, for
// the COM apartment the shell asks its callers for) are loaded here only,
// by their plain names: both are KnownDLLs, so no file beside the program
// can stand in for them, and a run that never comes here imports neither.
ShellStart StartThroughShell(const TextValue& path, platform::UINT show);

}  // namespace tidemark
