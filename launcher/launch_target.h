// The launch: choose the registered assistant, else the monitor uomon.exe,
// else the client uo.exe, or warn that none is found; learn what starting
// it needs before uo.cfg is saved; start it once the save is done. Exactly
// one program is started, or one box shown; no error leaves these steps.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "launcher/suspended_start.h"
#include "support/text_value.h"

namespace tidemark {

// The assistant's registered path: the default value of its App Paths key
// under HKEY_LOCAL_MACHINE, opened for reading only. The empty text when it
// is not registered or the value cannot be read as text.
TextValue ReadAssistantRegistration();

// The program chosen: the first candidate whose file is present.
struct LaunchChoice {
  TextValue ProgramFolder;  // the client's folder, ending with "\"
  TextValue Path;           // empty: none is present
  // uomon.exe and uo.exe live in the client's folder and are started
  // there; the assistant keeps the folder it inherits (empty), or, in an
  // elevated copy, gets the one its unelevated copy had.
  TextValue WorkingFolder;
  bool IsClient = false;  // the program is uo.exe itself
};
LaunchChoice ChooseLaunchTarget(const TextValue& programFolder, const TextValue& assistantPath);

// Whether the client uo.exe in `programFolder` needs rights that Tidemark
// lacks where it matters: Tidemark's save of its uo.cfg would go to the
// VirtualStore, and the client, started with rights, would read the real
// one. Asked only where the save would be redirected.
bool ClientNeedsRights(const TextValue& programFolder);

// The chosen program: what its start needs is asked before uo.cfg is
// saved, and it is started once the save is done.
class PreparedLaunch {
 public:
  explicit PreparedLaunch(LaunchChoice choice) : choice_(std::move(choice)) {}

  // Starts the program suspended and ends it: Windows then says whether
  // it needs rights that Tidemark lacks. Where Tidemark's save would go to
  // the VirtualStore, asks the same of the client, which reads uo.cfg.
  void LearnNeeds();
  // Whether the program or the client needs rights that Tidemark lacks:
  // then Tidemark saves nothing, and a copy with rights does the whole job.
  bool NeedsRights() const { return !needsRightsFor_.IsEmpty(); }
  // Starts Tidemark again, elevated. A "No" at the prompt ends the run
  // quietly; a failure says why in a box. Returns the exit code, 0.
  std::int32_t RestartElevated();
  // After the save: starts the program; one that CreateProcessA does not
  // start is tried the way Explorer starts it; or the warning.
  void Start();

 private:
  LaunchChoice choice_;
  std::optional<SuspendedStart> start_;
  TextValue needsRightsFor_;  // the program that needs rights
};

}  // namespace tidemark
