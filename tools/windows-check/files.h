// The file and folder work of the check program, in Windows paths: reading
// and writing whole files, a file's identity, copies, and folders made and
// removed with everything in them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tidemark::check {

std::optional<std::string> ReadAll(const std::string& path);
bool WriteAll(const std::string& path, std::string_view text);
bool Exists(const std::string& path);
// Who a file is: its volume's serial number and its file index. A file
// replaced by a rename has another; one rewritten in place keeps it.
std::optional<std::string> FileId(const std::string& path);
// A copy without the download mark (the Zone.Identifier stream), so that
// no "Open File - Security Warning" stands between a start and the program.
bool CopyAs(const std::string& from, const std::string& to);
// Makes the folder and any missing folder above it.
bool MakeFolders(const std::string& path);
// Removes the folder and all in it; true when it is gone (or never was).
bool RemoveTree(const std::string& path);
bool EnterFolder(const std::string& path);
std::string CurrentFolder();

// A function of a system DLL, found at run time: the program imports
// nothing beyond KERNEL32, USER32, ADVAPI32 and msvcrt, as Tidemark does.
void* FunctionOf(const char* dll, const char* name);

// The folder part of a path, with its last "\".
std::string FolderOf(const std::string& path);
// Whether `path` is `folder` or lies in it, ASCII letters in either case.
bool Within(std::string_view path, std::string_view folder);
std::string Lower(std::string_view text);

}  // namespace tidemark::check
