// Every box Tidemark shows a player, and every text in one. A warning has
// the program's name as its caption, and the run goes on to its normal end
// (exit code 0). The launch, the restart and the start-up take their texts
// from here only, so that one table of tests pins each as players read it.
#pragma once

#include <vector>

#include "platform/platform.h"
#include "support/text_value.h"

namespace tidemark {

// The abnormal end's text; its box is shown where the heap may have failed
// (program_start.cpp), so it is a plain constant.
inline constexpr const char* kAbnormalEndText = "Abnormal program termination";

void Warn(const TextValue& text);

// None of the programs Tidemark starts is in `programFolder`.
TextValue NoneFoundText(const TextValue& programFolder);
// `program` is there, but Windows would not start it.
TextValue NotStartedText(const TextValue& program);
// No path an ANSI program can use reaches Tidemark's folder.
TextValue UnreachableFolderText();
// Windows refused the rights that `program` needs to Tidemark's restart.
TextValue RightsNotGivenText(const TextValue& program);
// A rule of this PC refuses, without asking, the rights `program` needs.
TextValue RefusedByPolicyText(const TextValue& program);
// The elevated copy cannot reach `places`: drive letters ("M:") or paths.
TextValue ElevatedCopyCannotReachText(const std::vector<TextValue>& places);
// The restart for `program` failed with Windows' error `error`.
TextValue RestartFailedText(const TextValue& program, platform::DWORD error);

}  // namespace tidemark
