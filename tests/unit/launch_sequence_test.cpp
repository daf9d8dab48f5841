#include "launcher/launch_sequence.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "launcher/boxes.h"
#include "launcher/launch_target.h"
#include "launcher/program_start.h"
#include "platform/platform.h"
#include "support/command_line.h"
#include "support/errors.h"
#include "unit/scoped_calls.h"

namespace tidemark {
namespace {

// Every text a player can see, written out as it reads (never built from
// the resource, so that a wrong word fails), with what makes it; and where
// the user guide quotes it, the words quoted: the whole text, or its start,
// which the guide follows with " ...".
struct Seen {
  TextValue (*made)();
  const char* text;
  const char* quoted;
};
const Seen kSeen[] = {
    {+[] { return NoneFoundText("C:\\Games\\Client\\"); },
     "C:\\Games\\Client\\UO.EXE is not found.", "C:\\Games\\Client\\UO.EXE is not found."},
    {+[] { return NotStartedText("C:\\Games\\Client\\uo.exe"); },
     "C:\\Games\\Client\\uo.exe could not be started.",
     "C:\\Games\\Client\\uo.exe could not be started."},
    {+[] { return UnreachableFolderText(); },
     "Tidemark cannot work in this folder. The name of this folder, or of a folder it lies in, "
     "holds letters that programs made for this Windows' language setting cannot use, and its "
     "drive keeps no short names that would get round them. Nothing was changed and the game was "
     "not started. Rename each such folder using only letters that this setting can show, or "
     "change 'Language for non-Unicode programs' in Windows' Region settings (Administrative tab) "
     "to a language that uses these letters.",
     "Tidemark cannot work in this folder."},
    {+[] { return RightsNotGivenText("C:\\Games\\Client\\uo.exe"); },
     "Windows did not let Tidemark get the administrator rights that C:\\Games\\Client\\uo.exe "
     "needs, so Tidemark changed nothing and started nothing. Start Tidemark again and answer Yes "
     "when Windows asks for permission, or right-click Tidemark and choose 'Run as "
     "administrator'. If Windows asks for an administrator's password that you do not have, ask "
     "the person who looks after this computer.",
     "Windows did not let Tidemark get the administrator rights that C:\\Games\\Client\\uo.exe "
     "needs,"},
    {+[] { return ElevatedCopyCannotReachText({TextValue("M:")}); },
     "Tidemark needs administrator rights for this game, but programs with those rights cannot "
     "reach the drive M:. Drive letters and network connections made without those rights are not "
     "there for them. Tidemark changed nothing and started nothing. Start Tidemark through the "
     "folder's network path instead of a drive letter, or connect the drive again, or move the "
     "game to a drive of this computer, then try once more.",
     "Tidemark needs administrator rights for this game, but programs with those rights cannot "
     "reach the drive M:"},
    {+[] {
       return ElevatedCopyCannotReachText({TextValue("M:"), TextValue("N:")});
     },
     "Tidemark needs administrator rights for this game, but programs with those rights cannot "
     "reach the drives M: and N:. Drive letters and network connections made without those rights "
     "are not there for them. Tidemark changed nothing and started nothing. Start Tidemark through "
     "the folder's network path instead of a drive letter, or connect the drive again, or move the "
     "game to a drive of this computer, then try once more.",
     nullptr},
    {+[] {
       return ElevatedCopyCannotReachText({TextValue("\\\\server\\games"), TextValue("M:")});
     },
     "Tidemark needs administrator rights for this game, but programs with those rights cannot "
     "reach the drive M: and \\\\server\\games. Drive letters and network connections made "
     "without those rights are not there for them. Tidemark changed nothing and started nothing. "
     "Start Tidemark through the folder's network path instead of a drive letter, or connect the "
     "drive again, or move the game to a drive of this computer, then try once more.",
     nullptr},
    {+[] { return RestartFailedText("C:\\Games\\Client\\uo.exe", 1155); },
     "Tidemark could not start itself again with the administrator rights that "
     "C:\\Games\\Client\\uo.exe needs: Windows answered with error 1155. Tidemark changed "
     "nothing and started nothing. Try once more; if this box comes back, start the game "
     "directly, and give this error number when you report the problem.",
     "Tidemark could not start itself again with the administrator rights that "
     "C:\\Games\\Client\\uo.exe needs: Windows answered with error 1155."},
    {+[] { return RefusedByPolicyText("C:\\Games\\Client\\uo.exe"); },
     "A setting of this computer does not let Tidemark get the administrator rights that "
     "C:\\Games\\Client\\uo.exe needs, so Tidemark changed nothing and started nothing. Windows "
     "refuses those rights here without asking. Ask the person who looks after this computer to "
     "set the game up so that it needs no administrator rights (installed outside Program Files, "
     "and not set to run as administrator), or to let Tidemark have them. Until then, start the "
     "game directly.",
     "A setting of this computer does not let Tidemark get the administrator rights that "
     "C:\\Games\\Client\\uo.exe needs,"},
    {+[] { return TextValue(kAbnormalEndText); }, "Abnormal program termination",
     "Abnormal program termination"},
};

TEST(Boxes, EveryTextReadsAsWrittenHere) {
  for (const Seen& seen : kSeen) EXPECT_EQ(seen.made().View(), seen.text);
}

// Runs of blanks and line ends as one blank: the guide wraps its quotes.
std::string Normalized(std::string_view text) {
  std::string normal;
  for (const char c : text) {
    const bool blank = c == ' ' || c == '\r' || c == '\n';
    if (!blank || (!normal.empty() && normal.back() != ' ')) normal += blank ? ' ' : c;
  }
  return normal;
}

TEST(Boxes, TheGuideQuotesThemWordForWord) {
  std::ifstream file(TIDEMARK_USER_GUIDE, std::ios::binary);
  std::stringstream read;
  read << file.rdbuf();
  const std::string guide = Normalized(read.str());
  ASSERT_FALSE(guide.empty());
  for (const Seen& seen : kSeen) {
    if (seen.quoted == nullptr) continue;
    const std::string quoted = Normalized(seen.quoted);
    const bool whole = quoted == seen.text;
    EXPECT_TRUE(std::string_view(seen.text).starts_with(quoted)) << quoted;
    EXPECT_NE(guide.find('"' + quoted + (whole ? "\"" : " ...\"")), std::string::npos) << quoted;
  }
}

TEST(LaunchSequence, OnlyAnExactSwitchSuppressesTheLaunch) {
  struct Case {
    TextValue parameter;
    bool suppressed;
  };
  const Case cases[] = {
      {"/N", true},
      {"/n", true},
      {"", false},
      {"/N ", false},
      {"/Nx", false},
      {"-N", false},
      {"/", false},
      {"N", false},
      {"//N", false},
      {"\\N", false},
      {TextValue("/N\0", 3), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LaunchSuppressedBy(c.parameter), c.suppressed) << c.parameter.View();
  }
}

TEST(LaunchSequence, JournalFolderLiesBesideTheProgram) {
  struct Case {
    const char* modulePath;
    const char* programFolder;
    const char* journalFolder;
  };
  const Case cases[] = {
      {"C:\\Games\\Client\\tidemark.exe", "C:\\Games\\Client\\", "C:\\Games\\Client\\Journals\\"},
      {"C:\\My Games\\tidemark.exe", "C:\\My Games\\", "C:\\My Games\\Journals\\"},
      {"C:tidemark.exe", "C:", "C:Journals\\"},
      {"tidemark.exe", "", "Journals\\"},
  };
  for (const Case& c : cases) {
    LaunchSequence sequence;
    sequence.FindFolders(c.modulePath);
    EXPECT_EQ(sequence.ProgramFolder.View(), c.programFolder);
    EXPECT_EQ(sequence.JournalFolder.View(), c.journalFolder);
    EXPECT_TRUE(sequence.AppendNeeded);
  }
}

TEST(LaunchSequence, JournalLineNamesTheDayAndRollsOverFrom23) {
  struct Case {
    const char* modulePath;
    std::uint16_t year, month, day, hour, minute, second, millisecond;
    const char* line;
  };
  const Case cases[] = {
      {"C:\\Games\\Client\\tidemark.exe", 2018, 4, 29, 23, 15, 0, 0,
       "JournalSaveFile=C:\\Games\\Client\\Journals\\Journal(2018-04-30).txt"},
      {"C:\\x\\t.exe", 2026, 12, 6, 22, 59, 59, 999,
       "JournalSaveFile=C:\\x\\Journals\\Journal(2026-12-06).txt"},
      {"C:\\x\\t.exe", 2026, 12, 6, 23, 0, 0, 0,
       "JournalSaveFile=C:\\x\\Journals\\Journal(2026-12-07).txt"},
      {"C:\\x\\t.exe", 2026, 12, 6, 0, 0, 0, 0,
       "JournalSaveFile=C:\\x\\Journals\\Journal(2026-12-06).txt"},
      {"C:\\x\\t.exe", 2024, 2, 28, 23, 30, 0, 0,
       "JournalSaveFile=C:\\x\\Journals\\Journal(2024-02-29).txt"},
      {"C:\\x\\t.exe", 2026, 2, 28, 23, 30, 0, 0,
       "JournalSaveFile=C:\\x\\Journals\\Journal(2026-03-01).txt"},
      {"C:\\x\\t.exe", 2026, 12, 31, 23, 0, 0, 0,
       "JournalSaveFile=C:\\x\\Journals\\Journal(2027-01-01).txt"},
      {"C:\\x\\t.exe", 2026, 4, 30, 23, 59, 59, 999,
       "JournalSaveFile=C:\\x\\Journals\\Journal(2026-05-01).txt"},
      {"D:\\My Games\\UO Client\\t.exe", 2026, 1, 1, 12, 0, 0, 0,
       "JournalSaveFile=D:\\My Games\\UO Client\\Journals\\Journal(2026-01-01).txt"},
  };
  for (const Case& c : cases) {
    LaunchSequence sequence;
    sequence.FindFolders(c.modulePath);
    sequence.ComputeJournalLine(ComposeDate(c.year, c.month, c.day) +
                                ComposeTime(c.hour, c.minute, c.second, c.millisecond));
    EXPECT_EQ(sequence.JournalLine.View(), c.line);
  }
}

TEST(ProgramStart, AbnormalEndCaptionIsTheFileNameOfTheFirst79Bytes) {
  const std::string longFolder = "C:\\" + std::string(70, 'f') + "\\";  // 74 bytes
  struct Case {
    std::string modulePath;
    std::string caption;
  };
  const Case cases[] = {
      {"C:\\Games\\Client\\tidemark.exe", "tidemark.exe"},
      {"C:tidemark.exe", "tidemark.exe"},
      {"tidemark.exe", "tidemark.exe"},
      {"C:\\a:b\\c:d", "c:d"},                          // a backslash wins over a later colon
      {longFolder + "tidemark.exe", "tidem"},           // cut to 79 bytes first
      {"C:\\" + std::string(75, 'g') + "\\x.exe", ""},  // the cut ends right after a backslash
      {std::string(100, 'n'), std::string(79, 'n')},
  };
  for (const Case& c : cases) {
    char workArea[80];
    EXPECT_EQ(std::string(AbnormalEndCaption(workArea, c.modulePath.c_str())), c.caption)
        << c.modulePath;
  }
}

TEST(ProgramStartDeathTest, AnErrorEndsTheProcessWithExitCode3) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(RunGuarded([]() -> int { throw Exception("ﾌｧｲﾙ uo.cfg は開けません"); }),
              ::testing::ExitedWithCode(3), "");
  EXPECT_EXIT(RunGuarded([]() -> int { throw std::bad_alloc(); }), ::testing::ExitedWithCode(3),
              "");
}

// The launch through the call table: CreateProcessA, suspended and ended,
// again after the save; the shell behind it for a program that it could not
// start; for one that needs administrator rights where Tidemark has none,
// or a client that does where Tidemark's save would go to the VirtualStore,
// Tidemark itself, elevated. Every file is present; what the system answers
// is scripted, and what the launch asked of it is recorded.
namespace scripted_start {
// What the system answers, and what the launch asked of it: one row's, the
// whole of it reset for each.
struct Script {
  platform::DWORD createError = 0;  // what the start answers; 0: started
  platform::DWORD clientError = 0;  // the same for a start of the client
  int elevated = 0;                 // the token's answer; -1: it cannot be read
  platform::DWORD virtualized = 0;  // the token's TokenVirtualizationEnabled
  const char* programFiles = "";    // %ProgramFiles%
  const char* folder = nullptr;     // the current folder; null: it cannot be read
  bool shellLoads = true;
  platform::BOOL shellAnswer = 0;
  platform::DWORD shellError = 0;
  std::string calls;  // in order
  int created = 0;    // handles: process 100 + n, thread 200 + n
  platform::SHELLEXECUTEINFOA given{};
  std::string givenVerb, givenFile, givenParameters, givenDirectory;
  std::string boxes;
  std::string self;                  // the program's own path
  const char* selfDrive = nullptr;   // what its letter stands for; null: a volume
  std::string mprLoaded;             // the path mpr.dll was loaded by
  const char* longFolder = nullptr;  // the long form of C:\Games\; null: it has none
  const char* ownLine = nullptr;     // the command line
  const char* ownLayers = nullptr;   // Tidemark's own layers, the player's
  const char* manifest = nullptr;    // uo.exe's manifest; null: it has none
  int consentUser = -1;              // ConsentPromptBehaviorUser; -1: not set
  platform::BOOL ended = 1;          // what TerminateProcess answers
  const char* machine32 = nullptr;   // Tidemark's layers for all users, 32-bit view
};
Script script;

std::string Text(const char* text) { return text == nullptr ? "(null)" : text; }
int Number(platform::HANDLE handle) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)) % 100;
}

platform::DWORD Attributes(const char*) { return platform::kFileAttributeNormal; }
platform::BOOL CreateProcessA(const char* application, char* commandLine, void*, void*,
                              platform::BOOL inherit, platform::DWORD flags, void*,
                              const char* directory, platform::STARTUPINFOA* startup,
                              platform::PROCESS_INFORMATION* information) {
  const std::string line = commandLine;
  script.calls += "CreateProcessA(" + Text(application) + "," + line + "," +
                  std::to_string(inherit) + "," + std::to_string(flags) + "," +
                  std::to_string(startup->dwFlags) + "," + std::to_string(startup->wShowWindow) +
                  "," + Text(directory) + ") ";
  const platform::DWORD error =
      line.find("uo.exe") != std::string::npos ? script.clientError : script.createError;
  if (error != 0 || startup->cb != sizeof *startup) {
    platform::SetLastError(error);
    return 0;
  }
  ++script.created;
  information->hProcess = reinterpret_cast<platform::HANDLE>(std::intptr_t{100 + script.created});
  information->hThread = reinterpret_cast<platform::HANDLE>(std::intptr_t{200 + script.created});
  return 1;
}
platform::BOOL TerminateProcess(platform::HANDLE process, platform::UINT) {
  script.calls += "TerminateProcess(" + std::to_string(Number(process)) + ") ";
  return script.ended;
}
platform::DWORD WaitForSingleObject(platform::HANDLE process, platform::DWORD milliseconds) {
  script.calls += "WaitForSingleObject(" + std::to_string(Number(process)) + "," +
                  std::to_string(milliseconds) + ") ";
  return platform::kWaitObject0;
}
platform::DWORD GetEnvironmentVariableA(const char* name, char* buffer, platform::DWORD size) {
  const std::string value = std::string(name) == "ProgramFiles" ? script.programFiles : "";
  if (value.empty()) return 0;
  if (value.size() >= size) return static_cast<platform::DWORD>(value.size() + 1);
  value.copy(buffer, value.size());
  buffer[value.size()] = '\0';
  return static_cast<platform::DWORD>(value.size());
}
platform::BOOL OpenProcessToken(platform::HANDLE, platform::DWORD access, platform::HANDLE* token) {
  *token = platform::InvalidHandleValue();
  return access == platform::kTokenQuery && script.elevated >= 0 ? 1 : 0;
}
platform::BOOL GetTokenInformation(platform::HANDLE, platform::DWORD kind, void* information,
                                   platform::DWORD length, platform::DWORD*) {
  if (length != sizeof(platform::DWORD)) return 0;
  if (kind == platform::kTokenVirtualizationEnabled) {
    *static_cast<platform::DWORD*>(information) = script.virtualized;
    return 1;
  }
  if (kind == platform::kTokenElevationType) {  // a standard user's, or an elevated one
    *static_cast<platform::DWORD*>(information) = script.elevated == 1 ? 2 : 1;
    return 1;
  }
  if (kind != platform::kTokenElevation) return 0;
  static_cast<platform::TOKEN_ELEVATION*>(information)->TokenIsElevated =
      static_cast<platform::DWORD>(script.elevated);
  return 1;
}
platform::BOOL CloseHandle(platform::HANDLE handle) {
  if (handle != platform::InvalidHandleValue()) {
    script.calls += "CloseHandle(" + std::to_string(Number(handle)) + ") ";
  }
  return 1;
}
platform::DWORD GetCurrentDirectoryA(platform::DWORD size, char* buffer) {
  if (script.folder == nullptr) return 0;
  const std::string text = script.folder;
  if (text.size() >= size) return static_cast<platform::DWORD>(text.size() + 1);
  text.copy(buffer, text.size());
  buffer[text.size()] = '\0';
  return static_cast<platform::DWORD>(text.size());
}
platform::BOOL TIDEMARK_WINAPI ShellExecuteExA(platform::SHELLEXECUTEINFOA* info) {
  script.calls += "ShellExecuteExA ";
  script.given = *info;
  script.givenVerb = Text(info->lpVerb);
  script.givenFile = Text(info->lpFile);
  script.givenParameters = Text(info->lpParameters);
  script.givenDirectory = Text(info->lpDirectory);
  platform::SetLastError(script.shellError);
  return script.shellAnswer;
}
platform::LONG TIDEMARK_WINAPI CoInitializeEx(void*, platform::DWORD concurrency) {
  script.calls += "CoInitializeEx(" + std::to_string(concurrency) + ") ";
  return 0;
}
void TIDEMARK_WINAPI CoUninitialize() { script.calls += "CoUninitialize "; }
// Letters: S: is a subst letter, M: a mapped drive whose share the system
// says, N: one whose share it cannot say; any other a volume.
platform::DWORD QueryDosDeviceA(const char* device, char* target, platform::DWORD size) {
  std::string answer = "\\Device\\HarddiskVolume1";
  if (device[0] == 'S') answer = "\\??\\C:\\Games\\Client\\";
  if (device[0] == 'M' || device[0] == 'N') answer = "\\Device\\LanmanRedirector\\;N:0\\server";
  if (script.selfDrive != nullptr && std::string(device) == script.self.substr(0, 2))
    answer = script.selfDrive;
  answer.copy(target, size - 2);
  target[answer.size()] = target[answer.size() + 1] = '\0';
  return static_cast<platform::DWORD>(answer.size() + 2);
}
platform::DWORD GetLongPathNameA(const char* path, char* reached, platform::DWORD size) {
  const std::string answer =
      script.longFolder != nullptr && std::string(path) == "C:\\Games\\" ? script.longFolder : path;
  if (answer.size() >= size) return static_cast<platform::DWORD>(answer.size() + 1);
  reached[answer.copy(reached, answer.size())] = '\0';
  return static_cast<platform::DWORD>(answer.size());
}
platform::UINT GetDriveTypeA(const char* root) {
  return root[0] == 'M' || root[0] == 'N' ? platform::kDriveRemote : platform::kDriveFixed;
}
platform::DWORD TIDEMARK_WINAPI WNetGetConnectionA(const char* letter, char* remote,
                                                   platform::DWORD*) {
  script.calls += "WNetGetConnectionA(" + std::string(letter) + ") ";
  if (letter[0] == 'N') return 1201;  // ERROR_CONNECTION_UNAVAIL
  if (letter[0] != 'M') return platform::kErrorNotConnected;
  const std::string_view share = "\\\\server\\games";
  remote[share.copy(remote, share.size())] = '\0';
  return 0;
}
platform::HMODULE LoadLibraryA(const char* name) {
  const std::string path = name;
  if (path.ends_with("\\mpr.dll")) script.mprLoaded = path;
  script.calls += "LoadLibraryA(" + path.substr(path.rfind('\\') + 1) + ") ";
  return script.shellLoads || std::string(name) != "shell32.dll" ? const_cast<char*>("module")
                                                                 : nullptr;
}
void* GetProcAddress(platform::HMODULE, const char* name) {
  const std::string wanted = name;
  if (wanted == "ShellExecuteExA") return reinterpret_cast<void*>(&ShellExecuteExA);
  if (wanted == "CoInitializeEx") return reinterpret_cast<void*>(&CoInitializeEx);
  if (wanted == "CoUninitialize") return reinterpret_cast<void*>(&CoUninitialize);
  if (wanted == "WNetGetConnectionA") return reinterpret_cast<void*>(&WNetGetConnectionA);
  return nullptr;
}
const char* GetCommandLineA() { return script.ownLine; }
// Keys: 1 the player's Layers, 2 the UAC settings, 3 Layers in the 32-bit view; no other.
platform::LONG RegOpenKeyExA(platform::HKEY root, const char* key, platform::DWORD,
                             platform::DWORD access, platform::HKEY* opened) {
  const std::string path = key;
  std::intptr_t which = root == platform::HKeyCurrentUser() && path.ends_with("\\Layers") ? 1
                        : path.ends_with("\\Policies\\System")                            ? 2
                                                                                          : 0;
  if (path.ends_with("\\Layers") && (access & platform::kKeyWow64_32Key) != 0) which = 3;
  *opened = reinterpret_cast<platform::HKEY>(which);
  return which == 0 ? platform::kErrorFileNotFound : 0;
}
platform::LONG RegQueryValueExA(platform::HKEY key, const char* name, platform::DWORD*,
                                platform::DWORD* type, platform::BYTE* data,
                                platform::DWORD* size) {
  std::string value;
  const auto which = reinterpret_cast<std::intptr_t>(key);
  const char* const layers = which == 1   ? script.ownLayers
                             : which == 3 ? script.machine32
                                          : nullptr;
  if (layers != nullptr && name == script.self) {
    value.assign(layers, std::strlen(layers) + 1);
    *type = platform::kRegSz;
  } else if (which == 2 && std::string(name) == "ConsentPromptBehaviorUser" &&
             script.consentUser >= 0) {
    value.assign(reinterpret_cast<const char*>(&script.consentUser), 4);
    *type = platform::kRegDword;
  } else {
    return platform::kErrorFileNotFound;
  }
  if (data != nullptr && *size < value.size()) return platform::kErrorMoreData;
  if (data != nullptr) value.copy(reinterpret_cast<char*>(data), value.size());
  *size = static_cast<platform::DWORD>(value.size());
  return 0;
}
platform::LONG RegCloseKey(platform::HKEY) { return 0; }
// uo.exe's manifest, as its resource number 1 of type RT_MANIFEST.
platform::HMODULE LoadLibraryExA(const char* file, platform::HANDLE, platform::DWORD flags) {
  const std::string path = file;
  script.calls += "LoadLibraryExA(" + path.substr(path.rfind('\\') + 1) + ") ";
  const bool image = script.manifest != nullptr && path == "C:\\Games\\uo.exe";
  return image && flags == platform::kLoadLibraryAsDatafile ? const_cast<char*>("image") : nullptr;
}
platform::HANDLE FindResourceA(platform::HMODULE, const char* number, const char* type) {
  return reinterpret_cast<std::uintptr_t>(number) == 1 &&
                 reinterpret_cast<std::uintptr_t>(type) == 24
             ? const_cast<char*>("found")
             : nullptr;
}
platform::DWORD SizeofResource(platform::HMODULE, platform::HANDLE) {
  return static_cast<platform::DWORD>(std::strlen(script.manifest));
}
platform::HANDLE LoadResource(platform::HMODULE, platform::HANDLE) {
  return const_cast<char*>(script.manifest);
}
platform::BOOL FreeLibrary(platform::HMODULE) {
  script.calls += "FreeLibrary ";
  return 1;
}
int MessageBoxA(platform::HWND, const char* text, const char* caption, platform::UINT) {
  script.boxes += std::string(caption) + ": " + text;
  return 1;
}
}  // namespace scripted_start

TEST(LaunchTarget, WhatTheStartNeedsIsLearntBeforeItRuns) {
  namespace start = scripted_start;
  start::Script& script = start::script;
  constexpr platform::DWORD kRights = platform::kErrorElevationRequired;
  // Suspended (4), show state 5 (STARTF_USESHOWWINDOW, 1), no inherited
  // handles; the assistant in the folder it inherits, the client in its own.
  const std::string assistant = R"(CreateProcessA((null),"C:\Tools\assist.exe",0,4,1,5,(null)) )";
  const std::string client = R"(CreateProcessA((null),"C:\Games\uo.exe",0,4,1,5,C:\Games\) )";
  // Each suspended start is ended at once; after the save the program is
  // started again, not suspended (0).
  const auto closed = [](char n) {
    return std::string("CloseHandle(") + n + ") CloseHandle(" + n + ") ";
  };
  const auto ended = [&](char n) {
    return std::string("TerminateProcess(") + n + ") WaitForSingleObject(" + n + ",1000) " +
           closed(n);
  };
  const auto run = [&](char n) {
    return R"(CreateProcessA((null),"C:\Tools\assist.exe",0,0,1,5,(null)) )" + closed(n);
  };
  const std::string shell =
      "LoadLibraryA(shell32.dll) LoadLibraryA(ole32.dll) "
      "LoadLibraryA(ole32.dll) CoInitializeEx(6) ShellExecuteExA "
      "CoUninitialize ";
  const std::string notStarted = "Tidemark: C:\\Tools\\assist.exe could not be started.";
  const auto box = [](const TextValue& text) { return "Tidemark: " + std::string(text.View()); };
  const std::string noRights = box(RightsNotGivenText("C:\\Tools\\assist.exe"));
  // Tidemark started once more, elevated: its own path as the ANSI calls
  // reach it, the parameters it was given, its current folder; each by
  // what its letter stands for where that is a subst or network letter.
  const std::string self(ReachableModulePath().value().View());
  const auto asked = [](const std::string& letter) {
    return "LoadLibraryA(mpr.dll) WNetGetConnectionA(" + letter + ") ";
  };
  const std::string parameters = "/N";
  const std::string program = "C:\\Tools\\assist.exe";
  // Tidemark's own compatibility layers, uo.exe's manifest, the UAC
  // setting for standard users (-1: not set), the command line.
  struct More {
    const char* ownLayers = nullptr;
    const char* manifest = nullptr;
    int consentUser = -1;
    const char* commandLine = "tidemark.exe /N";
    platform::BOOL ended = 1;
    const char* machineLayers = nullptr;
  };
  const auto more = [](const char* layers, const char* manifest, int consent, const char* line) {
    return More{layers, manifest, consent, line};
  };
  struct Case {
    const char* label;
    platform::DWORD createError, clientError;
    int elevated;
    platform::DWORD virtualized;
    const char* programFiles;
    const char* folder;
    bool shellLoads;
    platform::BOOL shellAnswer;
    platform::DWORD shellError;
    std::string calls;
    std::string boxes;
    // What the shell was given: verb, file, parameters, working folder.
    std::string verb, file, parameters, directory;
    const char* selfDrive = nullptr;
    const char* longFolder = nullptr;
    More more = {};
  };
  const Case cases[] = {
      {"needs rights, Tidemark has none: Tidemark again, elevated", kRights, 0, 0, 1, "",
       "C:\\Program Files (x86)\\Game", true, 1, 0, assistant + shell, "", "runas", self,
       parameters, "C:\\Program Files (x86)\\Game"},
      {"the player declines the prompt", kRights, 0, 0, 1, "", "C:\\Games", true, 0,
       platform::kErrorCancelled, assistant + shell, "", "runas", self, parameters, "C:\\Games"},
      // Each failure of the restart gets the box of its cause.
      {"elevation refused: Windows gave no rights", kRights, 0, 0, 1, "", "C:\\Games", true, 0,
       platform::kErrorAccessDenied, assistant + shell, noRights, "runas", self, parameters,
       "C:\\Games"},
      // The drive box names only what hangs on this session: never this
      // PC's own drives, whose failure is not the session's.
      {"not found on this PC's own drives: the box naming the error", kRights, 0, 0, 1, "",
       "C:\\Games", true, 0, platform::kErrorPathNotFound, assistant + shell,
       box(RestartFailedText("C:\\Tools\\assist.exe", 3)), "runas", self, parameters, "C:\\Games"},
      {"not found through a subst letter: the drive box, naming it", kRights, 0, 0, 1, "",
       "S:\\Game", true, 0, platform::kErrorFileNotFound, assistant + shell,
       box(ElevatedCopyCannotReachText({TextValue("S:")})), "runas", self, parameters,
       "C:\\Games\\Client\\Game"},
      {"a network path the elevated copy lacks: the drive box, naming it", kRights, 0, 0, 1, "",
       "M:\\Game", true, 0, 53, assistant + asked("M:") + shell,
       box(ElevatedCopyCannotReachText({TextValue("\\\\server\\games\\Game")})), "runas", self,
       parameters, "\\\\server\\games\\Game"},
      {"access denied on a network path: the drive box (the share's logon)", kRights, 0, 0, 1, "",
       "M:\\Game", true, 0, platform::kErrorAccessDenied, assistant + asked("M:") + shell,
       box(ElevatedCopyCannotReachText({TextValue("\\\\server\\games\\Game")})), "runas", self,
       parameters, "\\\\server\\games\\Game"},
      {"a rule of the PC refuses on a network path: its box, not the drive box", kRights, 0, 0, 1,
       "", "M:\\Game", true, 0, platform::kErrorAccessDenied, assistant + asked("M:") + shell,
       box(RefusedByPolicyText("C:\\Tools\\assist.exe")), "runas", self, parameters,
       "\\\\server\\games\\Game", nullptr, nullptr, more(nullptr, nullptr, 0, "tidemark.exe /N")},
      {"a referral (8235), the signature rule's answer: its box, the settings unread", kRights, 0,
       0, 1, "", "C:\\Games", true, 0, 8235, assistant + shell,
       box(RefusedByPolicyText("C:\\Tools\\assist.exe")), "runas", self, parameters, "C:\\Games"},
      {"any other error: a box naming its number", kRights, 0, 0, 1, "", "C:\\Games", true, 0, 1155,
       assistant + shell, box(RestartFailedText("C:\\Tools\\assist.exe", 1155)), "runas", self,
       parameters, "C:\\Games"},
      {"a rule of the PC refuses without asking: its box, not a No's silence", kRights, 0, 0, 1, "",
       "C:\\Games", true, 0, platform::kErrorCancelled, assistant + shell,
       box(RefusedByPolicyText("C:\\Tools\\assist.exe")), "runas", self, parameters, "C:\\Games",
       nullptr, nullptr, more(nullptr, nullptr, 0, "tidemark.exe /N")},
      {"no current folder: none given", kRights, 0, 0, 1, "", nullptr, true, 1, 0,
       assistant + shell, "", "runas", self, parameters, "(null)"},
      // The elevated session lacks this one's subst and mapped letters.
      {"a subst folder: by the folder it stands for", kRights, 0, 0, 1, "", "S:\\Game", true, 1, 0,
       assistant + shell, "", "runas", "C:\\Tidemark" + self.substr(2), parameters,
       "C:\\Games\\Client\\Game", "\\??\\C:\\Tidemark"},
      {"a mapped drive: by its network path", kRights, 0, 0, 1, "", "M:\\Game", true, 1, 0,
       assistant + asked("M:") + shell, "", "runas", self, parameters, "\\\\server\\games\\Game"},
      {"a mapped drive whose path is unknown: one box, naming it", kRights, 0, 0, 1, "", "N:\\Game",
       true, 1, 0, assistant + asked("N:"), box(ElevatedCopyCannotReachText({TextValue("N:")})), "",
       "", "", ""},
      // Never a loop: an elevated copy starts the program, never itself.
      {"needs rights, Tidemark elevated: the program, by the shell", kRights, 0, 1, 0, "",
       "C:\\Games", true, 1, 0, assistant + shell, "", "(null)", program, "(null)", "(null)"},
      {"elevation unknown: the program, by the shell", kRights, 0, -1, 0, "", "C:\\Games", true, 1,
       0, assistant + shell, "", "(null)", program, "(null)", "(null)"},
      {"the shell fails too", 193, 0, 0, 1, "", "C:\\Games", true, 0, 193, assistant + shell,
       notStarted, "(null)", program, "(null)", "(null)"},
      {"shell32 cannot be loaded", kRights, 0, 1, 0, "", "C:\\Games", false, 1, 0,
       assistant + "LoadLibraryA(shell32.dll) ", notStarted, "", "", "", ""},
      {"started, ended, started again after the save, every handle closed", 0, 0, 0, 1, "",
       "C:\\Games", true, 1, 0, assistant + ended('1') + run('2'), "", "", "", "", ""},
      {"the end refused: nothing waited for, started again all the same", 0, 0, 0, 1, "",
       "C:\\Games", true, 1, 0, assistant + "TerminateProcess(1) " + closed('1') + run('2'), "", "",
       "", "", "", nullptr, nullptr, More{.ended = 0}},
      // The save would go to the VirtualStore: the client is asked too,
      // and ended at once; where it needs rights, so is the assistant.
      {"the client needs rights: the assistant ended, Tidemark again", 0, kRights, 0, 1,
       "C:\\GAMES", "C:\\Games", true, 1, 0, assistant + ended('1') + client + shell, "", "runas",
       self, parameters, "C:\\Games"},
      {"the client needs none: ended, the assistant let go", 0, 0, 0, 1, "C:\\Games\\", "C:\\Games",
       true, 1, 0, assistant + ended('1') + client + ended('2') + run('3'), "", "", "", "", ""},
      // Nobody else pays for the question.
      {"writes not virtualized: the client is not asked", 0, kRights, 0, 0, "C:\\Games",
       "C:\\Games", true, 1, 0, assistant + ended('1') + run('2'), "", "", "", "", ""},
      {"not in a virtualized folder: the client is not asked", 0, kRights, 0, 1, "C:\\Game",
       "C:\\Games", true, 1, 0, assistant + ended('1') + run('2'), "", "", "", "", ""},
      // Windows virtualizes the folder reached, whatever names it.
      {"a short name of a virtualized folder: the client asked", 0, kRights, 0, 1,
       "C:\\Program Files", "C:\\Games", true, 1, 0, assistant + ended('1') + client + shell, "",
       "runas", self, parameters, "C:\\Games", nullptr, "C:\\Program Files\\Games\\"},
      // Where Windows elevates Tidemark's children itself, no start is a
      // question: the client's manifest is, and no prompt names it.
      {"children elevated by a layer: the client's manifest read, never started", 0, 0, 0, 1,
       "C:\\GAMES", "C:\\Games", true, 1, 0,
       "LoadLibraryExA(assist.exe) " + assistant + ended('1') +
           "LoadLibraryExA(uo.exe) FreeLibrary " + shell,
       "", "runas", self, parameters, "C:\\Games", nullptr, nullptr,
       more("~ ELEVATECREATEPROCESS", "<requestedExecutionLevel level='requireAdministrator'/>", -1,
            "tidemark.exe /N")},
      {"the layer for all users, in the 32-bit view: the same", 0, 0, 0, 1, "C:\\GAMES",
       "C:\\Games", true, 1, 0,
       "LoadLibraryExA(assist.exe) " + assistant + ended('1') +
           "LoadLibraryExA(uo.exe) FreeLibrary " + shell,
       "", "runas", self, parameters, "C:\\Games", nullptr, nullptr,
       More{.manifest = "<requestedExecutionLevel level='requireAdministrator'/>",
            .machineLayers = "~ ELEVATECREATEPROCESS"}},
      // The elevated copy gives the assistant the folder it would have had.
      {"the elevated copy: the assistant in the unelevated copy's folder", 0, 0, 1, 0, "",
       "C:\\Windows\\system32", true, 1, 0,
       R"(CreateProcessA((null),"C:\Tools\assist.exe",0,4,1,5,C:\Start Here) )" + ended('1') +
           R"(CreateProcessA((null),"C:\Tools\assist.exe",0,0,1,5,C:\Start Here) )" + closed('2'),
       "", "", "", "", "", nullptr, nullptr,
       more(nullptr, nullptr, -1, R"(tidemark.exe /N "/StartIn=C:\Start Here")")},
  };
  for (const Case& c : cases) {
    script = start::Script{};
    script.self = self;
    script.ownLine = c.more.commandLine;
    script.ownLayers = c.more.ownLayers;
    script.manifest = c.more.manifest;
    script.consentUser = c.more.consentUser;
    script.selfDrive = c.selfDrive;
    script.longFolder = c.longFolder;
    script.createError = c.createError;
    script.clientError = c.clientError;
    script.elevated = c.elevated;
    script.virtualized = c.virtualized;
    script.programFiles = c.programFiles;
    script.folder = c.folder;
    script.shellLoads = c.shellLoads;
    script.shellAnswer = c.shellAnswer;
    script.shellError = c.shellError;
    script.ended = c.more.ended;
    script.machine32 = c.more.machineLayers;
    {
      const testing::ScopedCalls table;
      table->GetFileAttributesA = &start::Attributes;
      table->CreateProcessA = &start::CreateProcessA;
      table->TerminateProcess = &start::TerminateProcess;
      table->WaitForSingleObject = &start::WaitForSingleObject;
      table->GetEnvironmentVariableA = &start::GetEnvironmentVariableA;
      table->OpenProcessToken = &start::OpenProcessToken;
      table->GetTokenInformation = &start::GetTokenInformation;
      table->CloseHandle = &start::CloseHandle;
      table->GetCurrentDirectoryA = &start::GetCurrentDirectoryA;
      table->LoadLibraryA = &start::LoadLibraryA;
      table->GetProcAddress = &start::GetProcAddress;
      table->MessageBoxA = &start::MessageBoxA;
      table->QueryDosDeviceA = &start::QueryDosDeviceA;
      table->GetDriveTypeA = &start::GetDriveTypeA;
      table->GetLongPathNameA = &start::GetLongPathNameA;
      table->GetCommandLineA = &start::GetCommandLineA;
      table->RegOpenKeyExA = &start::RegOpenKeyExA;
      table->RegQueryValueExA = &start::RegQueryValueExA;
      table->RegCloseKey = &start::RegCloseKey;
      table->LoadLibraryExA = &start::LoadLibraryExA;
      table->FindResourceA = &start::FindResourceA;
      table->SizeofResource = &start::SizeofResource;
      table->LoadResource = &start::LoadResource;
      table->FreeLibrary = &start::FreeLibrary;
      // The launch sequence's order, without the save between.
      PreparedLaunch launch(ChooseLaunchTarget("C:\\Games\\", program.c_str()));
      launch.LearnNeeds();
      if (launch.NeedsRights()) {
        launch.RestartElevated();
      } else {
        launch.Start();
      }
    }
    EXPECT_EQ(script.calls, c.calls) << c.label;
    EXPECT_EQ(script.boxes, c.boxes) << c.label;
    if (c.calls.find("mpr.dll") != std::string::npos) {
      char system[260];
      const platform::UINT length = platform::GetSystemDirectoryA(system, sizeof system);
      EXPECT_EQ(script.mprLoaded, std::string(system, length) + "\\mpr.dll") << c.label;
    }
    if (c.calls.find("ShellExecuteExA") == std::string::npos) continue;
    EXPECT_EQ(script.given.cbSize, sizeof(platform::SHELLEXECUTEINFOA)) << c.label;
    EXPECT_EQ(script.givenVerb, c.verb) << c.label;
    EXPECT_EQ(script.givenFile, c.file) << c.label;
    // The restart names its working folder last too: the elevated copy may
    // not start in it.
    const std::string startIn =
        c.verb == "runas" && c.directory != "(null)" ? " \"/StartIn=" + c.directory + "\"" : "";
    EXPECT_EQ(script.givenParameters, c.parameters + startIn) << c.label;
    EXPECT_EQ(script.givenDirectory, c.directory) << c.label;
    EXPECT_EQ(script.given.nShow, 5) << c.label;
    // Tidemark itself is past the download-zone check: it is running.
    const platform::DWORD zone = c.verb == "runas" ? platform::kSeeMaskNoZoneChecks : 0;
    EXPECT_EQ(script.given.fMask, platform::kSeeMaskFlagNoUi | platform::kSeeMaskNoAsync | zone)
        << c.label;
  }
}

}  // namespace
}  // namespace tidemark
