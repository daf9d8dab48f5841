// Tidemark's check on a real Windows: one console program (a console, so
// that a person started from Explorer reads the report and answers its one-
// line instructions in a window of its own, and one started from a command
// prompt has it printed there). Its name decides what it does: copied as
// uo.exe or uomon.exe, it is the recorder standing in for the client and the
// assistant; started with /helper, its elevated copy; with /folder, the
// elevated copy given no working folder; with /start, the copy that asks
// what a start without rights answers; with /notices, it prints the
// notices of the libraries built into it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "windows-check/files.h"
#include "windows-check/modes.h"
#include "windows-check/places.h"
#include "windows-check/start_probe.h"

namespace {

int PrintNotices() {
  const HRSRC found = ::FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(10));
  const HGLOBAL loaded = found ? ::LoadResource(nullptr, found) : nullptr;
  const void* text = loaded ? ::LockResource(loaded) : nullptr;
  if (text == nullptr) return 1;
  std::fwrite(text, 1, ::SizeofResource(nullptr, found), stdout);
  return 0;
}

// Started from Explorer, the console is the program's own and closes with
// it: it waits until the person has read the report.
void KeepWindowOpen() {
  DWORD processes[2];
  if (::GetConsoleProcessList(processes, 2) != 1) return;
  std::printf("Press Enter to close this window. ");
  std::fflush(stdout);
  char line[64];
  std::fgets(line, sizeof line, stdin);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tidemark::check;
  const std::string self = Self();
  const std::string name = Lower(self.substr(self.rfind('\\') + 1));
  if (name == "uo.exe" || name == "uomon.exe") return RunRecorder(self);
  const std::string option = argc > 1 ? argv[1] : "";
  if (argc == 3 && option == "/helper") return RunHelper(std::stoul(argv[2]));
  if (argc == 3 && option == "/start") return RunStartProbe(argv[2]);
  if (argc == 2 && option == "/notices") return PrintNotices();
  if (argc == 2 && option == "/folder") return RunWithoutFolder();
  if (argc > 2 || (argc == 2 && option != "/wrong")) {
    std::printf("Usage: tidemark-check [/notices]\n");
    return 2;
  }
  const int status = RunCheck(option == "/wrong");
  KeepWindowOpen();
  return status;
}
