#include "windows-check/situations.h"

#include <cstdio>
#include <optional>

#include "windows-check/compat_values.h"
#include "windows-check/files.h"
#include "windows-check/places.h"
#include "windows-check/start_probe.h"
#include "windows-check/token.h"
#include "windows-check/watch.h"

namespace tidemark::check {

namespace {

const char* const kPlainSource =
    "Tidemark's README, What Tidemark reads and writes (the line in the uo.cfg beside it, the "
    "file replaced in one step by a rename, the client started)";
const char* const kStoreSource =
    "Microsoft, How User Account Control works (virtualization: what an unelevated 32-bit "
    "program without a manifest writes under Program Files goes to "
    "%LOCALAPPDATA%\\VirtualStore, and it reads the copy there); Tidemark's README, Under "
    "Program Files (the table's first row)";
const char* const kRightsSource =
    "Tidemark's README, Under Program Files and Administrator rights (one prompt, naming "
    "Tidemark, before anything is written; its elevated copy saves the real uo.cfg and starts "
    "the program elevated; after a No nothing is written or started); Microsoft, How User "
    "Account Control works (a program started by an elevated one is elevated)";
const char* const kReplaced = "replaced (a new file id)";
const char* const kInPlace = "rewritten in place (the same file id)";

// clang-format off
const Situation kSituations[] = {
    {"a plain folder", "plain", Place::Plain, false, false, Answer::None,
     "the client's folder", kReplaced, nullptr, "uo.exe", false, 0, kPlainSource},
    {"Program Files without rights, no VirtualStore copy", "no-copy", Place::ProgramFiles, false,
     false, Answer::None, "the VirtualStore", "made anew in the VirtualStore", nullptr, "uo.exe",
     false, 0, kStoreSource},
    // No Microsoft page says whether a rename over a file in the
    // VirtualStore is let happen; the save handles either answer.
    {"Program Files without rights, a VirtualStore copy", "copy", Place::ProgramFiles, true, false,
     Answer::None, "the VirtualStore", kReplaced, kInPlace, "uo.exe", false, 0, kStoreSource},
    {"Program Files, the client set to run as administrator, answered Yes", "admin-yes",
     Place::ProgramFiles, false, true, Answer::Yes, "the client's folder", kReplaced, nullptr,
     "uo.exe", true, 1, kRightsSource},
    {"Program Files, the client set to run as administrator, answered No", "admin-no",
     Place::ProgramFiles, false, true, Answer::No, "nowhere", "untouched", nullptr, "nothing",
     false, 1, kRightsSource},
    {"Program Files, uomon.exe (as the assistant) started, the client set to run as administrator",
     "assistant", Place::ProgramFiles, false, true, Answer::Yes, "the client's folder", kReplaced,
     nullptr, "uomon.exe", true, 1, kRightsSource},
};
// clang-format on

constexpr std::uint32_t kPlainLimitMs = 1500;
constexpr std::uint32_t kVirtualizedMarginMs = 500;

struct FileState {
  std::optional<std::string> id;
  std::string text;
};

FileState Look(const std::string& path) { return {FileId(path), ReadAll(path).value_or("")}; }

// Tidemark's line names its own folder: "<folder>Journals\Journal(<date>).txt".
bool HoldsNewLine(const std::string& text, const std::string& folder) {
  return Lower(text).find(Lower("JournalSaveFile=" + folder + "Journals\\Journal(")) !=
         std::string::npos;
}

struct Measures {
  std::string line, save, started, rights, read;
};

Measures Measure(const std::string& real, const std::string& store, const FileState& realBefore,
                 const FileState& storeBefore) {
  Measures got;
  const FileState realAfter = Look(real + "uo.cfg");
  const FileState storeAfter = store.empty() ? FileState{} : Look(store + "uo.cfg");
  const bool inReal = HoldsNewLine(realAfter.text, real);
  const bool inStore = HoldsNewLine(storeAfter.text, real);
  got.line = inReal && inStore ? "both"
             : inReal          ? "the client's folder"
             : inStore         ? "the VirtualStore"
                               : "nowhere";
  const FileState& before = inStore ? storeBefore : realBefore;
  const FileState& after = inStore ? storeAfter : realAfter;
  if (!inReal && !inStore) {
    const bool same = realAfter.id == realBefore.id && realAfter.text == realBefore.text &&
                      storeAfter.id == storeBefore.id;
    got.save = same ? "untouched" : "changed, without the new line";
  } else if (!before.id) {
    got.save = inStore ? "made anew in the VirtualStore" : "made anew";
  } else {
    got.save = before.id == after.id ? kInPlace : kReplaced;
  }
  for (const char* program : {"uomon.exe", "uo.exe"}) {
    std::optional<std::string> record = ReadAll(real + program + ".record");
    if (!record && !store.empty()) record = ReadAll(store + program + ".record");
    if (!record) continue;
    got.started += std::string(got.started.empty() ? "" : ", ") + program;
    if (!got.rights.empty()) continue;
    got.rights = record->substr(0, record->find('\n'));
    const std::string line = record->substr(
        got.rights.size() + 1, record->find('\n', got.rights.size() + 1) - got.rights.size() - 1);
    got.read = HoldsNewLine(line, real) ? "the new line" : "another: \"" + line + "\"";
  }
  if (got.started.empty()) got.started = got.rights = got.read = "nothing";
  return got;
}

const char* const kNeedsRights = "the client, set to run as administrator, started without rights";
const char* const kLanded = "where the new line landed";
const char* const kSaved = "how the file it landed in was saved";
const char* const kStarted = "what started";
const char* const kRights = "with which rights";
const char* const kRead = "the line the started program read";
const char* const kPrompts = "prompts you were asked to answer (consent.exe started)";
const char* const kTook = "how long the run took";
const char* const kExit = "Tidemark's exit code";

// One line on the console where the person must answer a prompt.
void AskFor(Answer answer) {
  std::printf(
      "\n>>> Tidemark asks for administrator rights next (the prompt names "
      "tidemark.exe): answer %s. Press Enter to start it. ",
      answer == Answer::Yes ? "Yes" : "No");
  std::fflush(stdout);
  char line[64];
  if (std::fgets(line, sizeof line, stdin) == nullptr) std::puts("");
}

}  // namespace

void SituationRuns::RunAll(Place place, const std::string& notRun) {
  for (const Situation& situation : kSituations) {
    if (situation.place == place) RunOne(situation, notRun);
  }
}

void SituationRuns::RunOne(const Situation& s, const std::string& notRunHere) {
  report_.Section(std::string("Tidemark in ") + s.title);
  const bool protectedPlace = s.place == Place::ProgramFiles;
  // Without User Account Control the runs show what happens all the same,
  // but no row can pass; an answer at a prompt cannot even be given.
  const std::string without = protectedPlace ? facts_.withoutAccountControl : std::string();
  // Where the policy in force asks nothing, the count of prompts says
  // nothing, and there is no prompt to answer No at.
  const std::string unasked = s.prompts > 0 ? facts_.withoutPrompt : std::string();
  std::string notRun = notRunHere;
  if (notRun.empty() && s.answer == Answer::No) notRun = without.empty() ? unasked : without;
  const bool nothing = s.started == std::string("nothing");
  std::vector<Row> rows;
  if (s.clientNeedsRights) {
    rows.push_back({kNeedsRights, "error 740 (ERROR_ELEVATION_REQUIRED)"});
  }
  rows.push_back({kLanded, s.line});
  rows.push_back(
      {kSaved, std::string(s.save) + (s.saveToo ? std::string(", or ") + s.saveToo : "")});
  rows.push_back({kStarted, s.started});
  rows.push_back({kRights, nothing ? "nothing" : s.elevated ? "elevated" : Rights()});
  rows.push_back({kRead, nothing ? "nothing" : "the new line"});
  rows.push_back({kPrompts, std::to_string(s.prompts)});
  rows.push_back({kTook, s.answer != Answer::None ? ""
                         : protectedPlace ? "at most " + std::to_string(kVirtualizedMarginMs) +
                                                " ms more than in the plain folder (" +
                                                std::to_string(plainMilliseconds_) + " ms)"
                                          : "at most " + std::to_string(kPlainLimitMs) + " ms"});
  rows.push_back({kExit, "0"});
  if (notRun.empty()) Run(s, protectedPlace, rows);
  for (const Row& row : rows) {
    if (!notRun.empty()) {
      report_.NotAvailable(row.what, row.expected.empty() ? "(not compared)" : row.expected,
                           "not run: " + notRun, s.source);
    } else if (!without.empty()) {
      report_.NotAvailable(row.what, row.expected.empty() ? "(not compared)" : row.expected,
                           without + "; here: " + row.got, s.source);
    } else if (row.what == kPrompts && !unasked.empty()) {
      report_.NotAvailable(row.what, row.expected, unasked + "; here: " + row.got, s.source);
    } else if (row.expected.empty()) {
      report_.Note(row.what, row.got + " (with the time you took to answer)", s.source);
    } else {
      report_.Compare(row.what, row.expected, row.got, s.source, row.agrees);
    }
  }
}

void SituationRuns::Run(const Situation& s, bool protectedPlace, std::vector<Row>& rows) {
  const auto set = [&rows](const char* what, const std::string& got, bool agrees) {
    for (Row& row : rows) {
      if (row.what == what) row.got = got, row.agrees = agrees;
    }
  };
  const auto expected = [&rows](const char* what) {
    for (const Row& row : rows) {
      if (row.what == what) return row.expected;
    }
    return std::string();
  };
  const std::string real =
      (protectedPlace ? ProgramFilesRoot() : Scratch()) + "\\" + s.folder + "\\";
  const std::string store = protectedPlace ? VirtualStoreOf(real) : std::string();
  if (s.storeCopy) {
    MakeFolders(store);
    WriteAll(store + "uo.cfg", "Name=virtual\r\nJournalSaveFile=C:\\Old\\Virtual.txt\r\n");
  }
  if (s.clientNeedsRights) {
    SetRunAsAdministrator(real + "uo.exe", facts_.major * 100 + facts_.minor >= 602);
    const std::uint32_t answer = StartAnswer(real + "uo.exe");
    set(kNeedsRights, answer == 0 ? "started" : "error " + std::to_string(answer), answer == 740);
  }
  const FileState realBefore = Look(real + "uo.cfg");
  const FileState storeBefore = store.empty() ? FileState{} : Look(store + "uo.cfg");
  if (facts_.withoutAccountControl.empty() && facts_.withoutPrompt.empty() &&
      s.answer != Answer::None) {
    AskFor(s.answer);
  }
  const check::Run run = RunTidemark(real, s.answer == Answer::None ? 30000 : 300000);
  const Measures got = Measure(real, store, realBefore, storeBefore);
  set(kLanded, got.line, got.line == s.line);
  set(kSaved, got.save, got.save == s.save || (s.saveToo != nullptr && got.save == s.saveToo));
  set(kStarted, got.started, got.started == s.started);
  set(kRights, got.rights, got.rights == expected(kRights));
  set(kRead, got.read, got.read == expected(kRead));
  set(kPrompts, std::to_string(run.prompts), run.prompts == s.prompts);
  const std::string took = !run.started ? "Tidemark did not start"
                           : !run.ended ? "not ended within the wait"
                                        : std::to_string(run.milliseconds) + " ms";
  const std::uint64_t limit =
      protectedPlace ? plainMilliseconds_ + kVirtualizedMarginMs : kPlainLimitMs;
  set(kTook, took, run.ended && run.milliseconds <= limit);
  if (!protectedPlace) plainMilliseconds_ = run.milliseconds;
  set(kExit, run.ended ? std::to_string(run.exitCode) : took, run.ended && run.exitCode == 0);
}

}  // namespace tidemark::check
