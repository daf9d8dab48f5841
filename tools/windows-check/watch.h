// One run of Tidemark, watched from start to end: the copy the check
// starts, the elevated copy it may start of itself, the programs either
// starts, and the prompts Windows shows meanwhile.
#pragma once

#include <cstdint>
#include <string>

namespace tidemark::check {

struct Run {
  bool started = false;
  bool ended = false;              // every copy and every program it started ended in time
  std::uint32_t exitCode = 0;      // of the copy the check started
  std::uint64_t milliseconds = 0;  // until the last copy of Tidemark ended
  int prompts = 0;
};

// Starts `folder`tidemark.exe in that folder, as a shortcut whose "Start in"
// is the client's folder does, and waits at most `limitMs`. The prompts are
// counted as Windows' consent program, consent.exe, started meanwhile (the
// Application Information service starts one for each prompt: Mark
// Russinovich, "Inside Windows Vista User Account Control", TechNet
// Magazine, June 2007); under a policy that elevates without asking, one
// may start and show nothing, so the count is compared only where the
// policy in force asks (Facts::withoutPrompt).
Run RunTidemark(const std::string& folder, std::uint32_t limitMs);

}  // namespace tidemark::check
