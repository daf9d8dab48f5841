// The check program's ways of running. Started by a person, it runs the
// check. Its elevated copy (started with "/helper") makes and removes its
// folder under Program Files; a second one (started with "/folder", given
// no working folder) only says which one it got. Copied as uo.exe or
// uomon.exe, it stands in for the client and the assistant: it only
// records how it was started.
#pragma once

#include <string>

namespace tidemark::check {

int RunCheck(bool expectWrongAnswer);
int RunHelper(unsigned long parentProcessId);
int RunWithoutFolder();
int RunRecorder(const std::string& self);

// What a recorder writes beside itself: "<path>.record", four lines (see
// recorder.cpp).
struct Started {
  std::string rights;       // "elevated" or "not elevated"
  std::string journalLine;  // the JournalSaveFile line of the uo.cfg beside it, as it reads it
  std::string folder;       // its current folder
};

// The folders under Program Files that the situations use, each holding
// tidemark.exe, the recorder as uo.exe, uo.cfg, and where `assistant` the
// recorder as uomon.exe too; and the one the virtualized rename is asked in.
struct ProgramFilesFolder {
  const char* name;
  bool assistant;
};
inline constexpr ProgramFilesFolder kProgramFilesFolders[] = {
    {"no-copy", false},  {"copy", false},     {"admin-yes", false},
    {"admin-no", false}, {"assistant", true}, {"rename", false}};
// The uo.cfg every client folder starts with.
inline constexpr const char* kClientConfiguration =
    "Name=check\r\nJournalSaveFile=C:\\Old\\Journal.txt\r\n";
// The elevated copy's exit code where a folder of its name is there that
// it did not make.
inline constexpr int kFolderNotOurs = 3;
// Made first in the folder under Program Files: only a folder holding it
// is this program's to remove.
inline constexpr const char* kMarker = "made-by-tidemark-check";

}  // namespace tidemark::check
