// Where the check program works. All of it lies in three places, each
// removed at the end: a scratch folder beside the program (which a person
// runs from a folder they may write), a folder under Program Files, made by
// the program's one elevated copy, and that folder's VirtualStore, where
// Windows puts what unelevated programs write there.
#pragma once

#include <string>

namespace tidemark::check {

std::string Variable(const char* name);
// The program's own path, and its folder with the last "\".
std::string Self();
std::string CheckFolder();
std::string Scratch();
// The record of what a run made, beside the program, so that the next run
// finds and removes what a run stopped part-way left.
std::string LeftoversRecord();
std::string ReportFile();
// What the elevated copy started without a working folder writes: its
// rights and the folder it got.
std::string FolderWithoutFile();
// %ProgramFiles%\TidemarkCheck: as a 32-bit program sees it, the folder
// where a 32-bit client is installed (on 64-bit Windows, Program Files (x86)).
std::string ProgramFilesRoot();
// Where an unelevated program's writes to `path` go: %LOCALAPPDATA%\VirtualStore
// and the path without its drive ("How User Account Control works",
// virtualization).
std::string VirtualStoreOf(const std::string& path);

}  // namespace tidemark::check
