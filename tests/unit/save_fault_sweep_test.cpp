// The whole launch sequence with each of its file-system calls failing in
// turn, the way SQLite tests its I/O: for every file and every way the folder
// can be, call 1 fails, then call 2, ... until a run makes fewer calls than
// the number that was to fail. After every run uo.cfg holds exactly its old
// bytes or exactly its new ones, no other file is left, the exit code says
// which, and nothing is started after a failed save.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "helpers/scripted_path.h"
#include "launcher/launch_sequence.h"
#include "support/messages.h"
#include "unit/fault_injection.h"
#include "unit/scratch_folder.h"

namespace tidemark {
namespace {

namespace fs = std::filesystem;
using platform::DWORD;
using testing::FaultInjector;
using testing::ScratchFolder;
using testing::WriteFailure;

constexpr std::int64_t kMostCalls = 2000;  // a run that makes more is a fault of its own

std::string Contents(const char* path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The folder's names other than the journal folder's.
std::string Names(const std::string& folder = ".") {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename() != "Journals") names.insert(entry.path().filename().string());
  }
  std::string joined;
  for (const std::string& name : names) joined += name + " ";
  return joined;
}

// A client folder holding uo.cfg and a client to start, nothing else.
void LayOut(const std::string& config, const std::string& folder = "") {
  for (const auto& entry : fs::directory_iterator(".")) fs::remove_all(entry.path());
  ScratchFolder::WriteFile((fs::path(folder) / "uo.cfg").string(), config);
  ScratchFolder::WriteFile((fs::path(folder) / "uo.exe").string());
}

struct Outcome {
  int ExitCode;
  std::string Config;
};

// The scratch folder, as the program's calls name it.
std::string Here() {
  char here[260];
  return {here, platform::GetCurrentDirectoryA(sizeof here, here)};
}

// One run of the sequence as the program makes it: an error that leaves it
// ends the run with exit code 3.
Outcome RunOnce(const std::string& folder = "") {
  int exitCode = 0;
  try {
    LaunchSequence sequence;
    exitCode = sequence.RunFrom(
        ((folder.empty() ? "" : Here() + "\\" + folder + "\\") + "tidemark.exe").c_str());
  } catch (const std::exception&) {
    exitCode = 3;
  }
  return {exitCode, Contents((fs::path(folder) / "uo.cfg").string().c_str())};
}

struct Sweep {
  const char* name;
  std::string config;
};

std::string LargeConfig() {
  std::string text;
  for (int line = 0; text.size() < (1u << 20); ++line) {
    text += "Setting" + std::to_string(line) + "=value\r\n";
    if (line == 9000) text += "JournalSaveFile=C:\\Old\\Journal.txt\r\n";
  }
  return text;
}

// The small sweep's new bytes; the turn's new file for them, named by their
// size and CRC-32 (as gzip gives it), and its void mark.
const std::string kNewBytes =
    "WindowMode=on\r\nJournalSaveFile=Journals\\Journal(2026-12-07).txt\r\nSound=off\r\n";
const std::string kNewFile = "uo.cfg.tidemark-save.76-f5848db6.tmp";
const std::string kVoidMark = "uo.cfg.tidemark-save.76-f5848db6.void";

const Sweep kSweeps[] = {
    {"small", "WindowMode=on\r\nJournalSaveFile=C:\\Old\\Journal.txt\r\nSound=off\r\n"},
    {"1 MB", LargeConfig()},
    {"CR only", "WindowMode=on\rJournalSaveFile=C:\\Old\\Journal.txt\rSound=off\r"},
    {"no final line end", "WindowMode=on\r\nJournalSaveFile=old"},
    {"empty", ""},
};

// Checks what a run left.
void CheckRun(const Outcome& outcome, const FaultInjector& injector, const std::string& old,
              const std::string& expected, const std::string& label) {
  SCOPED_TRACE(label + ", failed call: " + injector.FailedCall + " " + injector.FailedPath);
  const bool isOld = outcome.Config == old;
  const bool isNew = outcome.Config == expected;
  EXPECT_TRUE(isOld || isNew) << "uo.cfg is neither old nor new (" << outcome.Config.size()
                              << " bytes)";
  EXPECT_EQ(Names(), "uo.cfg uo.exe ") << "files left in the folder";
  if (outcome.ExitCode == 3) {
    EXPECT_TRUE(isOld) << "a failed save changed uo.cfg";
    EXPECT_TRUE(injector.Started.empty()) << "a program was started after a failed save";
    EXPECT_EQ(injector.Ended, injector.Held) << "a held program was not ended";
    return;
  }
  ASSERT_EQ(outcome.ExitCode, 0);
  // A run that found no uo.cfg (its presence query failed) leaves it alone,
  // as a run without one does; one that found no client shows the warning.
  const bool configUnseen =
      injector.FailedCall == "GetFileAttributesA" && injector.FailedPath == "uo.cfg";
  const bool clientUnseen =
      injector.FailedCall == "GetFileAttributesA" && injector.FailedPath == "uo.exe";
  EXPECT_TRUE(isNew || configUnseen) << "exit code 0, but uo.cfg was not saved";
  if (clientUnseen) {
    EXPECT_EQ(injector.Boxes, std::vector<std::string>{"Tidemark: UO.EXE is not found."});
  } else {
    EXPECT_EQ(injector.Started, std::vector<std::string>{"\"uo.exe\""});
    EXPECT_TRUE(injector.Boxes.empty());
  }
}

TEST(SaveFaultSweep, EveryFailingCallLeavesTheOldOrTheNewFile) {
  ScratchFolder scratch;
  std::int64_t runs = 0;
  std::int64_t injected = 0;
  for (const Sweep& sweep : kSweeps) {
    // The new bytes: what a run without a fault writes.
    LayOut(sweep.config);
    std::string expected;
    {
      FaultInjector injector;
      const Outcome clean = RunOnce();
      ASSERT_EQ(clean.ExitCode, 0) << sweep.name;
      expected = clean.Config;
    }
    ASSERT_NE(expected, sweep.config) << sweep.name;
    for (const bool refuseNewFiles : {false, true}) {
      for (const WriteFailure failure : {WriteFailure::DiskFull, WriteFailure::DeviceError}) {
        for (std::int64_t call = 1; call < kMostCalls; ++call) {
          LayOut(sweep.config);
          FaultInjector injector;
          injector.FailCall = call;
          injector.Failure = failure;
          injector.RefuseNewFiles = refuseNewFiles;
          const Outcome outcome = RunOnce();
          ++runs;
          const std::string label =
              std::string(sweep.name) + (refuseNewFiles ? ", folder refuses new files" : "") +
              (failure == WriteFailure::DiskFull ? ", disk full" : ", device error") + ", call " +
              std::to_string(call);
          if (injector.CallCount < call) {
            EXPECT_EQ(outcome.ExitCode, 0) << label;
            EXPECT_EQ(outcome.Config, expected) << label;
            break;
          }
          ++injected;
          CheckRun(outcome, injector, sweep.config, expected, label);
          ASSERT_FALSE(::testing::Test::HasFailure()) << label;
        }
      }
    }
  }
  std::printf("fault sweep: %lld runs, %lld calls failed\n", static_cast<long long>(runs),
              static_cast<long long>(injected));
}

// Calls that fail every time, as a scanner that never lets go of a file
// makes them: the save finds another way or refuses, and nothing is lost.
TEST(SaveFaultSweep, CallsThatAlwaysFail) {
  struct Case {
    std::vector<std::string> alwaysFail;
    bool leftover;        // a new file left by an earlier, killed run
    bool refuseNewFiles;  // the folder refuses new files: rewritten in place
    int exitCode;
    bool newFileStays;        // nothing could remove it
    bool longFolder = false;  // the client's: a new file's full name there has 259 characters
  };
  const Case cases[] = {
      {{"MoveFileExA"}, false, false, 0, false},  // rewritten in place
      {{"DeleteFileA"}, false, false, 0, false},  // nothing to remove
      {{"DeleteFileA"}, true, false, 0, true},    // the leftover stays, marked; in place
      {{"MoveFileExA", "DeleteFileA"}, false, false, 0, true},
      {{"GetFileInformationByHandle"}, false, false, 0, false},  // links unknown: in place
      {{"SetEndOfFile"}, false, false, 0, false},                // the replace needs none
      {{"SetEndOfFile"}, false, true, 3, false},                 // no room can be taken
      {{"FlushFileBuffers"}, false, false, 3, false},            // neither way can flush
      {{"FlushFileBuffers"}, false, true, 3, false},
      {{"WriteFile"}, false, true, 3, false},  // not even the old bytes go back
      {{"SetFilePointerEx"}, false, true, 3, false},
      {{"MoveFileExA", "DeleteFileA"}, false, false, 0, false, true},  // no new file made
  };
  ScratchFolder scratch;
  const std::string old = kSweeps[0].config;
  for (const Case& c : cases) {
    std::string label;
    for (const std::string& call : c.alwaysFail) label += call + " ";
    if (c.leftover) label += "with a leftover ";
    if (c.refuseNewFiles) label += "in a folder that refuses new files";
    const std::string folder(c.longFolder ? 220 - Here().size() : 0, 'd');
    if (c.longFolder) label += "in a long folder";
    LayOut(old, folder);
    if (c.leftover) ScratchFolder::WriteFile(kNewFile, "half");
    FaultInjector injector;
    injector.AlwaysFail.insert(c.alwaysFail.begin(), c.alwaysFail.end());
    injector.RefuseNewFiles = c.refuseNewFiles;
    const Outcome outcome = RunOnce(folder);
    EXPECT_EQ(outcome.ExitCode, c.exitCode) << label;
    if (c.exitCode == 3) {
      EXPECT_EQ(outcome.Config, old) << label;
      EXPECT_TRUE(injector.Started.empty()) << label;
    } else {
      EXPECT_NE(outcome.Config.find("Journals\\Journal(2026-12-07).txt"), std::string::npos)
          << label;
      EXPECT_EQ(outcome.Config.find("C:\\Old"), std::string::npos) << label;
    }
    EXPECT_EQ(
        Names(folder.empty() ? "." : folder),
        c.newFileStays ? "uo.cfg " + kNewFile + " " + kVoidMark + " uo.exe " : "uo.cfg uo.exe ")
        << label;
  }
}

// Another program holds uo.cfg or the new file for a while (a scanner, a
// backup or sync client), and copies without the turn: a hold that passes
// is waited out with growing pauses, one that lasts ends the run after about
// 2 s of them with nothing lost, or where uo.cfg itself is free, with uo.cfg
// rewritten in place; a rule (an open for deleting refused as "access
// denied", a removal refused while the name answers) is not waited for at
// all. The pauses are counted, not made.
TEST(SaveFaultSweep, HoldsThatPassAreWaitedOut) {
  constexpr DWORD kSharing = platform::kErrorSharingViolation;
  constexpr DWORD kLock = platform::kErrorLockViolation;
  constexpr DWORD kDenied = platform::kErrorAccessDenied;
  constexpr int kLasts = -1;
  const std::string& tmp = kNewFile;
  constexpr int kOwnOpens = 2;  // of uo.cfg before its replace: the load's, the save's look
  struct Case {
    const char* label;
    FaultInjector::Refusal refusal;
    bool leftover;  // a new file left by an earlier, killed run
    DWORD turnWait;
    int exitCode;
    std::int64_t paused;  // milliseconds of pauses, in all
    bool leftoverStays;
    FaultInjector::Refusal holder{};  // a second refusal, where there is one
  };
  const Case cases[] = {
      {"load refused 3 times", {"CreateFileA", "uo.cfg", kSharing, 3}, false, 0, 0, 7, false},
      {"load refused 12 times", {"CreateFileA", "uo.cfg", kLock, 12}, false, 0, 0, 2011, false},
      {"load refused for good",
       {"CreateFileA", "uo.cfg", kSharing, kLasts},
       false,
       0,
       3,
       2011,
       false},
      {"replace denied 4 times", {"MoveFileExA", "uo.cfg", kDenied, 4}, false, 0, 0, 15, false},
      // The new file held for good (a scanner that keeps it): uo.cfg is
      // free, so it is rewritten in place, and the new file removed.
      {"replace in use for good",
       {"MoveFileExA", "uo.cfg", kSharing, kLasts},
       false,
       0,
       0,
       2011,
       false},
      // Denied for good while this process may replace uo.cfg: another
      // program's handle (one for its attributes only joins no sharing
      // check) that outlasts the wait; uo.cfg is then rewritten in place.
      {"replace denied for good",
       {"MoveFileExA", "uo.cfg", kDenied, kLasts},
       false,
       0,
       0,
       2011,
       false},
      // Denied, and an open of uo.cfg for deleting is denied too: a rule
      // (a folder that lets files be made but not renamed over others);
      // rewritten in place at once.
      {"replace denied by a rule",
       {"MoveFileExA", "uo.cfg", kDenied, kLasts},
       false,
       0,
       0,
       0,
       false,
       {"CreateFileA", "uo.cfg", kDenied, 1, kOwnOpens}},
      // Denied while another program has uo.cfg open (what Windows answers
      // a rename over an open file): waited out in full, as "in use" is,
      // until it lets go. The load's and the save's own opens go through.
      {"replace denied while uo.cfg is open elsewhere",
       {"MoveFileExA", "uo.cfg", kDenied, 7},
       false,
       0,
       0,
       127,
       false,
       {"CreateFileA", "uo.cfg", kSharing, kLasts, kOwnOpens}},
      {"leftover denied for good", {"DeleteFileA", tmp, kDenied, kLasts}, true, 0, 0, 0, true},
      {"leftover in use twice", {"DeleteFileA", tmp, kSharing, 2}, true, 0, 0, 3, false},
      // A file being removed is refused with "access denied", to opens and
      // to attribute queries alike, while its name is still listed.
      {"leftover being removed",
       {"CreateFileA", tmp, kDenied, 2},
       true,
       0,
       0,
       3,
       false,
       {"GetFileAttributesA", tmp, kDenied, 2}},
      // No such name: the folder refuses new files, which does not pass.
      {"folder refuses new files", {"CreateFileA", tmp, kDenied, kLasts}, false, 0, 0, 0, false},
      // Another copy hangs with the turn: the leftover may be its own new
      // file and is left alone, unmarked; this copy writes under a name of its own.
      {"turn not had", {}, true, platform::kWaitTimeout, 0, 0, true},
      {"turn of a killed copy", {}, true, platform::kWaitAbandoned, 0, 0, false},
  };
  ScratchFolder scratch;
  const std::string old = kSweeps[0].config;
  for (const Case& c : cases) {
    LayOut(old);
    if (c.leftover) ScratchFolder::WriteFile(tmp, "half");
    FaultInjector injector;
    if (!c.refusal.Call.empty()) injector.Refusals.push_back(c.refusal);
    if (!c.holder.Call.empty()) injector.Refusals.push_back(c.holder);
    if (c.turnWait != 0) injector.TurnWait = c.turnWait;
    const Outcome outcome = RunOnce();
    EXPECT_EQ(outcome.ExitCode, c.exitCode) << c.label;
    EXPECT_EQ(injector.Paused, c.paused) << c.label;
    if (c.exitCode == 3) {
      EXPECT_EQ(outcome.Config, old) << c.label;
      EXPECT_TRUE(injector.Started.empty()) << c.label;
    } else {
      EXPECT_NE(outcome.Config.find("JournalSaveFile=Journals\\Journal(2026-12-07).txt"),
                std::string::npos)
          << c.label;
      EXPECT_EQ(injector.Started, std::vector<std::string>{"\"uo.exe\""}) << c.label;
    }
    // One that stays is marked void by the copy with the turn.
    const std::string marked = c.turnWait == 0 ? kVoidMark + " " : "";
    EXPECT_EQ(Names(),
              c.leftoverStays ? "uo.cfg " + tmp + " " + marked + "uo.exe " : "uo.cfg uo.exe ")
        << c.label;
  }
}

// A replace cut by a power cut on FAT32, which left no uo.cfg and the
// whole new file: the next run puts the cut save's new file back and
// updates it; a copy without the turn does not, nor one that finds no
// uo.cfg and then one there, nor one whose listing of the folder stops
// early (a mark voiding the file may be unlisted).
TEST(SaveFaultSweep, ACutReplaceIsPutBack) {
  struct Case {
    const char* label;
    DWORD turnWait;           // the next run's
    bool appears;             // uo.cfg appears after the next run found none
    bool listingCut = false;  // FindNextFileA fails otherwise than at the end
  };
  const Case cases[] = {
      {"put back", platform::kWaitObject0, false},
      {"a copy without the turn", platform::kWaitTimeout, false},
      {"uo.cfg appears before the rename", platform::kWaitObject0, true},
      {"the listing cut short", platform::kWaitObject0, false, true},
  };
  ScratchFolder scratch;
  for (const Case& c : cases) {
    LayOut(kSweeps[0].config);
    {
      FaultInjector cut;
      cut.CutReplace = true;
      RunOnce();
    }
    ASSERT_EQ(Names(), kNewFile + " uo.exe ") << c.label;
    FaultInjector injector;
    injector.TurnWait = c.turnWait;
    if (c.listingCut) injector.AlwaysFail.insert("FindNextFileA");
    const std::string made = c.appears ? "Made=meanwhile\r\n" : "";
    if (c.appears) {  // after the run looked for uo.cfg and found none
      ScratchFolder::WriteFile("uo.cfg", made);
      injector.Refusals.push_back(
          {"GetFileAttributesA", "uo.cfg", platform::kErrorFileNotFound, 1});
    }
    const Outcome outcome = RunOnce();
    EXPECT_EQ(outcome.ExitCode, 0) << c.label;
    const bool putBack = c.turnWait == platform::kWaitObject0 && !c.appears && !c.listingCut;
    EXPECT_EQ(outcome.Config, putBack ? kNewBytes : made) << c.label;
    EXPECT_EQ(fs::exists(kNewFile), !putBack) << c.label;
  }
}

// The program's own path as the system gives it in UTF-16 and its short
// form, scripted: a folder whose name the ANSI code page cannot show is
// reached through its short form; where there is none, or it has lost
// letters too, the player is told why in one box, and not one file-system
// call is made: nothing written, nothing made, nothing started.
namespace scripted_module {
std::u16string shortForm;
using testing::AnswerWithPath;
// A folder in Cyrillic letters, which neither code page 1252 nor the stand-in shows.
platform::DWORD ModuleFileName(platform::HMODULE, platform::WCHAR* buffer, platform::DWORD size) {
  return AnswerWithPath(u"C:\\\u0418\u0433\u0440\u0430\\tidemark.exe", buffer, size);
}
platform::DWORD ShortPathName(const platform::WCHAR*, platform::WCHAR* buffer,
                              platform::DWORD size) {
  return AnswerWithPath(shortForm, buffer, size);
}
}  // namespace scripted_module

TEST(SaveFaultSweep, AFolderNoAnsiPathReachesIsLeftAlone) {
  const std::string unreachable =
      "Tidemark: " + std::string(LoadMessage(MessageId::UnreachableFolder).View());
  struct Case {
    const char* label;
    std::u16string shortForm;  // empty: there is none
    bool reached;
  };
  const Case cases[] = {
      {"reached through its short form", u"tidemark.exe", true},  // the scratch folder
      {"the drive keeps no short names", u"C:\\\u0418\u0433\u0440\u0430\\tidemark.exe", false},
      {"no short form", u"", false},
  };
  ScratchFolder scratch;
  const std::string old = kSweeps[0].config;
  for (const Case& c : cases) {
    LayOut(old);
    FaultInjector injector;
    platform::Calls().GetModuleFileNameW = &scripted_module::ModuleFileName;
    platform::Calls().GetShortPathNameW = &scripted_module::ShortPathName;
    scripted_module::shortForm = c.shortForm;
    LaunchSequence sequence;
    EXPECT_EQ(sequence.Run(), 0) << c.label;
    if (c.reached) {
      EXPECT_NE(Contents("uo.cfg").find("JournalSaveFile=Journals\\Journal(2026-12-07).txt"),
                std::string::npos)
          << c.label;
      EXPECT_TRUE(fs::is_directory("Journals")) << c.label;
      EXPECT_EQ(injector.Started, std::vector<std::string>{"\"uo.exe\""}) << c.label;
      EXPECT_TRUE(injector.Boxes.empty()) << c.label;
      continue;
    }
    EXPECT_EQ(Contents("uo.cfg"), old) << c.label;
    EXPECT_FALSE(fs::exists("Journals")) << c.label;
    EXPECT_EQ(injector.CallCount, 0) << c.label << ": the file system was asked";
    EXPECT_TRUE(injector.Started.empty()) << c.label;
    EXPECT_EQ(injector.Boxes, std::vector<std::string>{unreachable}) << c.label;
    EXPECT_NE(unreachable.find("Language for non-Unicode programs"), std::string::npos);
  }
}

}  // namespace
}  // namespace tidemark
