// The check's side of its folder under Program Files: the elevated start
// of itself that makes it (the person's first "Yes" for the check), a
// second one that only says which working folder it got without one
// given (the second "Yes"), and the end that has the first remove it.
#pragma once

#include <string>

namespace tidemark::check {

struct ProgramFilesSetUp {
  void* process = nullptr;  // the elevated copy, while it waits
  std::string failure;      // why there is no folder; empty where it is made
  std::string rights;       // what the elevated copy said of itself
  std::string folder;       // the working folder it got
  // A second elevated start, given no working folder: the folder it got,
  // or why there is none.
  std::string folderWithout;
  std::string failureWithout;
};

ProgramFilesSetUp SetUpProgramFiles();
// Has the elevated copy remove the folder, and waits for it; true when it
// is gone.
bool TakeDownProgramFiles(ProgramFilesSetUp& setUp);

}  // namespace tidemark::check
