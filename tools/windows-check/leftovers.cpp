#include "windows-check/leftovers.h"

#include <windows.h>

#include <algorithm>

#include "windows-check/compat_values.h"
#include "windows-check/files.h"
#include "windows-check/places.h"

namespace tidemark::check {

std::vector<std::string> RecordedFolders() {
  std::vector<std::string> folders;
  const std::string text = ReadAll(LeftoversRecord()).value_or("");
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    if (end > at) folders.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return folders;
}

namespace {

// A recorded folder, and a key of HKCU, removed only where it is empty.
const char* const kIfEmpty = "if empty: ";
const char* const kKeyIfEmpty = "key if empty: HKCU\\";

bool Starts(const std::string& entry, const char* prefix) { return entry.rfind(prefix, 0) == 0; }

// The record in one step: a run killed while writing it leaves the old one.
bool Save(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& each : entries) text += each + "\n";
  const std::string record = LeftoversRecord();
  if (text.empty()) return ::DeleteFileA(record.c_str()) != 0 || !Exists(record);
  return WriteAll(record + ".new", text) &&
         ::MoveFileExA((record + ".new").c_str(), record.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool Record(const std::string& entry) {
  std::vector<std::string> entries = RecordedFolders();
  if (std::find(entries.begin(), entries.end(), entry) != entries.end()) return true;
  entries.push_back(entry);
  return Save(entries);
}

}  // namespace

bool RecordFolder(const std::string& folder) { return Record(folder); }

bool ForgetFolder(const std::string& folder) {
  std::vector<std::string> entries = RecordedFolders();
  entries.erase(std::remove(entries.begin(), entries.end(), folder), entries.end());
  return Save(entries);
}

bool RecordMissingAbove(const std::string& folder, const std::string& top) {
  for (std::string above = folder.substr(0, folder.rfind('\\'));
       above.size() > top.size() && Within(above, top) && !Exists(above);
       above = above.substr(0, above.rfind('\\'))) {
    if (!Record(kIfEmpty + above)) return false;
  }
  return true;
}

bool RecordMissingLayerKeys() {
  for (const std::string& key : MissingLayerKeys()) {
    if (!Record(kKeyIfEmpty + key)) return false;
  }
  return true;
}

Tidied TidyUp() {
  Tidied tidied;
  const std::vector<std::string> entries = RecordedFolders();
  for (const std::string& folder : entries) {
    if (Starts(folder, kIfEmpty) || Starts(folder, kKeyIfEmpty)) continue;
    for (const std::string& value : RemoveValuesWithin(folder)) tidied.removed.push_back(value);
    if (!Exists(folder)) continue;
    if (RemoveTree(folder)) {
      tidied.removed.push_back(folder);
    } else {
      tidied.left.push_back(folder);
    }
  }
  // In the record's order, which is the deepest first.
  for (const std::string& entry : entries) {
    if (Starts(entry, kKeyIfEmpty)) {
      const std::string key = entry.substr(std::string(kKeyIfEmpty).size());
      if (RemoveKeyIfEmpty(key)) tidied.removed.push_back("HKCU\\" + key);
    } else if (Starts(entry, kIfEmpty)) {
      const std::string folder = entry.substr(std::string(kIfEmpty).size());
      if (::RemoveDirectoryA(folder.c_str()) != 0) tidied.removed.push_back(folder);
    }
  }
  Save(tidied.left);
  return tidied;
}

}  // namespace tidemark::check
