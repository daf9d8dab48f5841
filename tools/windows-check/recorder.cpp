// The stand-in for the client and the assistant. Tidemark starts it as it
// would start them; it writes beside itself, as "<its path>.record", its
// rights, the JournalSaveFile line of the uo.cfg beside it as it reads it
// (an unelevated one under Program Files reads the VirtualStore's copy
// where there is one, as the client does), its current folder and its
// command line. Unelevated under Program Files, that record itself goes to
// the VirtualStore; the check looks in both places.
#include <windows.h>

#include "windows-check/files.h"
#include "windows-check/modes.h"
#include "windows-check/token.h"

namespace tidemark::check {

namespace {

std::string JournalLineIn(const std::string& path) {
  const std::string text = ReadAll(path).value_or("");
  const std::size_t start = text.find("JournalSaveFile=");
  if (start == std::string::npos) return {};
  return text.substr(start, text.find_first_of("\r\n", start) - start);
}

}  // namespace

int RunRecorder(const std::string& self) {
  const std::string record = Rights() + "\n" + JournalLineIn(FolderOf(self) + "uo.cfg") + "\n" +
                             CurrentFolder() + "\n" + ::GetCommandLineA() + "\n";
  return WriteAll(self + ".record", record) ? 0 : 1;
}

}  // namespace tidemark::check
