// Fault injection: a fake of the system calls for tests, failing the call chosen.
// Stands between the core and the system in a test, through the platform's
// call table: counts the file-system and turn-taking calls and makes a
// chosen one fail with the error that call would really give, or refuses
// calls for a while as another program's hold on a file would; answers the
// registry as empty, reads a fixed clock, and records pauses, program starts
// and message boxes instead of making them.
// One at a time; it puts the system's own calls back when it goes.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "unit/scoped_calls.h"

namespace tidemark::testing {

// What a failed write, flush or close reports; a failed open or move is
// then refused (access denied) or a device error too.
enum class WriteFailure : std::uint8_t {
  DiskFull,     // ERROR_DISK_FULL: no room
  DeviceError,  // ERROR_IO_DEVICE: anything else
};

class FaultInjector {
 public:
  FaultInjector();
  ~FaultInjector();
  FaultInjector(const FaultInjector&) = delete;
  FaultInjector& operator=(const FaultInjector&) = delete;

  // The file-system call with this number (from 1) fails; 0 fails none.
  std::int64_t FailCall = 0;
  WriteFailure Failure = WriteFailure::DiskFull;
  // Every call of these (by Win32 name) fails, as a scanner that never lets go would make it.
  std::set<std::string> AlwaysFail;
  // The folder refuses new files and folders (access denied), as a
  // read-only folder does for a standard user.
  bool RefuseNewFiles = false;
  // Another program's hold: calls named `Call` on the path `Path` (the
  // target, for a move) are refused with `Error` the next `Times` times, or
  // every time when `Times` is negative, after the first `Spared` such
  // calls have gone through.
  struct Refusal {
    std::string Call;
    std::string Path;
    platform::DWORD Error;
    int Times;
    int Spared = 0;
  };
  std::vector<Refusal> Refusals;
  // A replace over a file is cut as a power cut can leave one on FAT32:
  // the old name is gone, the new file keeps its own, and no later call of
  // the run reaches the disk (each fails).
  bool CutReplace = false;
  bool PoweredOff = false;
  // What waiting for the turn answers: the system's own answer when it is
  // kWaitObject0, else this (the wait ran out, the owner was killed).
  platform::DWORD TurnWait = platform::kWaitObject0;
  // What the clock reads.
  platform::SYSTEMTIME Now{2026, 12, 1, 7, 9, 30, 0, 0};

  // What happened: the number of file-system calls, the one that failed
  // (its name and the path it named, if any) and the command lines started.
  std::int64_t CallCount = 0;
  std::string FailedCall;
  std::string FailedPath;
  std::vector<std::string> Held;     // made, suspended or not, in order
  std::vector<std::string> Started;  // made to run
  std::vector<std::string> Ended;    // ended before they ran
  std::vector<std::string> Boxes;    // "caption: text"
  std::int64_t Paused = 0;           // milliseconds of pauses asked for, none made

  // Whether the call about to be made is refused by a hold; its error if so.
  bool Refuses(const char* call, const char* path, platform::DWORD& error);

  // Whether the call about to be made fails; counts it. For the call table.
  bool Fails(const char* call, const char* path = nullptr);
  platform::DWORD WriteError() const;

 private:
  ScopedCalls calls_;  // the system's own calls back when it goes
};

}  // namespace tidemark::testing
