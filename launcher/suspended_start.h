// Asking Windows what starting a program needs, before Tidemark writes
// anything, and starting it once uo.cfg is saved. The question is a start
// with CREATE_SUSPENDED, ended at once, before any code of it has run:
// Windows decides at that call what the start needs. Nothing is held over
// the turn's and the save's waits, so a run killed there (Task Manager's
// "End task", a scanner, a crash) leaves no never-run program holding its
// file open; after the save the program is started again, to run.
#pragma once

#include <string>

#include "platform/platform.h"
#include "support/text_value.h"

namespace tidemark {

class SuspendedStart {
 public:
  // Starts `path` (quoted, without arguments, show state 5) suspended, in
  // `workingFolder`, or in this process's current folder where it is
  // empty, and ends it at once.
  SuspendedStart(const TextValue& path, const TextValue& workingFolder);

  // Whether Windows started it.
  bool Started() const { return started_; }
  // Whether the start failed because the program needs administrator
  // rights that this process lacks.
  bool NeedsRights() const;
  // Starts it again, the same way but not suspended; false where Windows
  // does not start it now.
  bool Run();

 private:
  bool Create(platform::DWORD flags, platform::PROCESS_INFORMATION& started);

  std::string commandLine_;
  std::string workingFolder_;
  bool started_ = false;
  platform::DWORD error_ = 0;
};

}  // namespace tidemark
