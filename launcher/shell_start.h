// Starting a program the way Explorer does, for one that CreateProcessA
// could not start, and Tidemark itself with rights. CreateProcess never
// asks the player's consent: a program that needs administrator rights (its
// manifest asks for them, or "Run this program as an administrator" is
// ticked) fails there with ERROR_ELEVATION_REQUIRED. The shell shows the
// consent prompt and starts it on "Yes".
#pragma once

#include "platform/platform.h"
#include "support/text_value.h"

namespace tidemark {

// What the shell is asked to start: the program's path, its verb (the
// default verb when null, or "runas": with administrator rights), its
// parameters and working folder (none when null) and its show state.
struct ShellRequest {
  TextValue File;
  const char* Verb = nullptr;
  const char* Parameters = nullptr;
  const char* Directory = nullptr;
  platform::UINT Show = 0;
  // No check of the file's download zone (SEE_MASK_NOZONECHECKS, which
  // SHELLEXECUTEINFO's page says bypasses the check IAttachmentExecute puts
  // in place): for a program that is running already, whose player has
  // answered that check once; its prompt would be a second one. What the
  // check would do beside SEE_MASK_FLAG_NO_UI, which only keeps error boxes
  // away, no page says.
  bool SkipZoneCheck = false;
};

// Starts a program through ShellExecuteExA. SHELL32 (and OLE32, for the
// COM apartment the shell asks its callers for) are loaded here only, by
// their plain names: both are KnownDLLs, so no file beside the program can
// stand in for them, and a run that never comes here imports neither.
// Answers 0 where it started, else Windows' error: GetLastError after
// ShellExecuteExA (ERROR_CANCELLED, 1223, where the player said No at the
// prompt: ShellExecuteEx's page), or where SHELL32 or its function cannot
// be had, after LoadLibraryA or GetProcAddress.
platform::DWORD StartThroughShell(const ShellRequest& request);

}  // namespace tidemark
