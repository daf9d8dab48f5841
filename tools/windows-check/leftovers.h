// The record of what a run made, written before each thing is made, so
// that whatever stops a run (Task Manager's "End task", a crash, a power
// cut) the next run finds it and removes it: folders, the VirtualStore
// copies in them, and the compatibility values named after programs in
// them.
#pragma once

#include <string>
#include <vector>

namespace tidemark::check {

std::vector<std::string> RecordedFolders();
// Adds a folder to the record before it is made; false where the record
// cannot be written (then nothing is made).
bool RecordFolder(const std::string& folder);
// Takes a folder off the record: one found to be another's, never made.
bool ForgetFolder(const std::string& folder);
// Records each missing folder above `folder`, below `top`, as one to remove
// at the end where it is empty then: Windows may have put another
// program's VirtualStore files in it meanwhile, which stay.
bool RecordMissingAbove(const std::string& folder, const std::string& top);

// Records the user's registry keys that setting a layer would make.
bool RecordMissingLayerKeys();

struct Tidied {
  std::vector<std::string> removed;
  std::vector<std::string> left;  // folders that need rights to remove
};
// Removes every recorded folder it may and every compatibility value named
// after a program in one; keeps in the record only what is left.
Tidied TidyUp();

}  // namespace tidemark::check
