// The last step of the launch: start the registered assistant, else the
// monitor uomon.exe, else the client uo.exe, or warn that none is found.
// Exactly one program is started, or one box shown; no error leaves the step.
#pragma once

#include "support/text_value.h"

namespace tidemark {

// A warning box with the program's name as its caption; the run goes on
// to its normal end (exit code 0).
void Warn(const TextValue& text);

// The assistant's registered path: the default value of its App Paths key
// under HKEY_LOCAL_MACHINE, opened for reading only. The empty text when it
// is not registered or the value cannot be read as text.
TextValue ReadAssistantRegistration();

// Starts the first candidate whose file is present; shows a warning box when
// none is, or when the chosen program cannot be started.
void SelectLaunchTarget(const TextValue& programFolder, const TextValue& assistantPath);

}  // namespace tidemark
