// The check's side of its folder under Program Files: the one elevated
// start of itself that makes it (the person's one "Yes" for the check),
// and the end that has that copy remove it.
#pragma once

#include <string>

namespace tidemark::check {

struct ProgramFilesSetUp {
  void* process = nullptr;  // the elevated copy, while it waits
  std::string failure;      // why there is no folder; empty where it is made
  std::string rights;       // what the elevated copy said of itself
  std::string folder;       // the working folder it got
};

ProgramFilesSetUp SetUpProgramFiles();
// Has the elevated copy remove the folder, and waits for it; true when it
// is gone.
bool TakeDownProgramFiles(ProgramFilesSetUp& setUp);

}  // namespace tidemark::check
