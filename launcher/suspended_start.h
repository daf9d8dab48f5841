// Starting a program so that none of its code runs yet: CreateProcessA with
// CREATE_SUSPENDED. Windows decides at that call what the start needs, so
// Tidemark learns it before it writes anything, and the program runs only
// once uo.cfg is saved. A program never let go is ended, never having run.
#pragma once

#include "platform/platform.h"
#include "support/text_value.h"

namespace tidemark {

class SuspendedStart {
 public:
  // Starts `path` (quoted, without arguments, show state 5) suspended, in
  // `workingFolder`, or in this process's current folder where it is empty.
  SuspendedStart(const TextValue& path, const TextValue& workingFolder);
  // Ends a program that was never let go, and closes its handles.
  ~SuspendedStart();
  SuspendedStart(const SuspendedStart&) = delete;
  SuspendedStart& operator=(const SuspendedStart&) = delete;

  // Whether it holds a program started and not yet let go.
  bool Started() const { return process_ != nullptr; }
  // Whether the start failed because the program needs administrator
  // rights that this process lacks.
  bool NeedsRights() const;
  // Lets the program run; false (and the program ended) where it cannot.
  bool Resume();

 private:
  void Close();

  platform::HANDLE process_ = nullptr;
  platform::HANDLE thread_ = nullptr;
  platform::DWORD error_ = 0;
};

}  // namespace tidemark
