#include "launcher/program_start.h"

#include <cstdlib>
#include <cstring>

#include "launcher/boxes.h"
#include "launcher/launch_sequence.h"
#include "platform/platform.h"
#include "support/date_text.h"
#include "support/paths.h"

namespace tidemark {

namespace {

constexpr platform::UINT kAbnormalEndStyle =
    0x10 | 0x10000 | 0x2000;               // stop icon, foreground, task-modal
constexpr std::int32_t kShowDefault = 10;  // SW_SHOWDEFAULT
constexpr platform::UINT kAbnormalExitCode = 3;

bool IsBlankOrTab(char byte) { return byte == ' ' || byte == '\t'; }

}  // namespace

const char* CommandTail(const char* commandLine) {
  const char* position = commandLine;
  while (IsBlankOrTab(*position)) ++position;
  char delimiter = ' ';
  if (*position == '"') {
    delimiter = '"';
    ++position;
  }
  while (*position != '\0' && *position != delimiter && *position != '\t') ++position;
  if (*position == '"') ++position;
  while (IsBlankOrTab(*position)) ++position;
  return position;
}

const char* AbnormalEndCaption(char (&workArea)[80], const char* modulePath) {
  std::strncpy(workArea, modulePath, sizeof workArea - 1);
  workArea[sizeof workArea - 1] = '\0';
  const char* name = std::strrchr(workArea, '\\');
  if (name == nullptr) name = std::strrchr(workArea, ':');
  return name == nullptr ? workArea : name + 1;
}

void EndAbnormally() {
  // Fixed work areas: this path must not need the heap, which may be what failed.
  char modulePath[80] = {};
  platform::GetModuleFileNameA(nullptr, modulePath, sizeof modulePath);
  modulePath[sizeof modulePath - 1] = '\0';
  char workArea[80] = {};
  platform::MessageBoxA(nullptr, kAbnormalEndText, AbnormalEndCaption(workArea, modulePath),
                        kAbnormalEndStyle);
  platform::TerminateProcess(platform::GetCurrentProcess(), kAbnormalExitCode);
  // TerminateProcess does not return for the process itself; this is only
  // for the compiler, which cannot know that.
  std::_Exit(static_cast<int>(kAbnormalExitCode));  // GCOVR_EXCL_LINE
}

int RunGuarded(const std::function<int()>& body) {
  try {
    return body();
  } catch (...) {
    EndAbnormally();
  }
}

int RunProgram() {
  PrepareCodePageFacts();
  PrepareLocaleTexts();
  return RunGuarded([] {
    return EntryProcedure(platform::GetModuleHandleA(nullptr), nullptr,
                          CommandTail(platform::GetCommandLineA()), kShowDefault);
  });
}

}  // namespace tidemark
