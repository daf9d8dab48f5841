#include "support/turn.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "unit/scoped_calls.h"
#include "unit/scratch_folder.h"

namespace tidemark {
namespace {

using testing::ScratchFolder;

// Copies take turns at a file through a mutex named after its folder's
// identity, which the system is asked for (scripted here): one name for
// every spelling of one folder, another for any other folder or file; where
// the system cannot say, one name for one spelling in any letter case. The
// folder is opened only to be asked about, sharing everything, and closed
// again; a name never holds a "\", which the system keeps for its namespaces.
namespace scripted_identity {
struct Identity {
  bool found;  // false: the folder cannot be opened
  platform::DWORD volume;
  platform::DWORD indexHigh;
  platform::DWORD indexLow;
};
Identity answer{};
std::string opened;
platform::DWORD access = 0;
platform::DWORD share = 0;
platform::DWORD flags = 0;
int open = 0;
platform::HANDLE CreateFileA(const char* name, platform::DWORD desiredAccess,
                             platform::DWORD shareMode, void*, platform::DWORD,
                             platform::DWORD flagsAndAttributes, platform::HANDLE) {
  opened = name;
  access = desiredAccess;
  share = shareMode;
  flags = flagsAndAttributes;
  if (!answer.found) {
    platform::SetLastError(platform::kErrorAccessDenied);
    return platform::InvalidHandleValue();
  }
  ++open;
  return &answer;
}
platform::BOOL GetFileInformationByHandle(platform::HANDLE handle,
                                          platform::BY_HANDLE_FILE_INFORMATION* information) {
  if (handle != &answer) return 0;
  *information = {};
  information->dwFileAttributes = platform::kFileAttributeDirectory;
  information->dwVolumeSerialNumber = answer.volume;
  information->nFileIndexHigh = answer.indexHigh;
  information->nFileIndexLow = answer.indexLow;
  return 1;
}
platform::BOOL CloseHandle(platform::HANDLE handle) {
  if (handle == &answer) --open;
  return 1;
}
std::string NameFor(const char* path, const Identity& identity) {
  const testing::ScopedCalls calls;
  calls->CreateFileA = &CreateFileA;
  calls->GetFileInformationByHandle = &GetFileInformationByHandle;
  calls->CloseHandle = &CloseHandle;
  answer = identity;
  opened = "(none)";
  return TurnNameFor(path);
}
}  // namespace scripted_identity

TEST(Turn, TurnNames) {
  namespace script = scripted_identity;
  const script::Identity client{true, 0x5A3C9E01u, 0x00010000u, 0x0000002Au};
  const script::Identity otherFolder{true, 0x5A3C9E01u, 0x00010000u, 0x0000002Bu};
  const script::Identity otherVolume{true, 0x5A3C9E02u, 0x00010000u, 0x0000002Au};
  const script::Identity noIndex{true, 0x5A3C9E01u, 0, 0};  // a file system that keeps none
  const script::Identity unknown{false, 0, 0, 0};
  const std::string byIdentity = script::NameFor("C:\\Games\\Client\\uo.cfg", client);
  const std::string bySpelling = script::NameFor("C:\\Games\\Client\\uo.cfg", unknown);
  enum Expected : std::uint8_t { ByIdentity, BySpelling, Other };
  struct Case {
    const char* path;
    script::Identity identity;
    const char* opened;  // the folder asked about
    Expected expected;
  };
  const Case cases[] = {
      // One folder, however the path reaches it.
      {"C:\\Games\\Client\\uo.cfg", client, "C:\\Games\\Client\\", ByIdentity},
      {"C:\\GAMES~1\\Client\\UO.CFG", client, "C:\\GAMES~1\\Client\\", ByIdentity},
      {"\\\\server\\games\\Client\\uo.cfg", client, "\\\\server\\games\\Client\\", ByIdentity},
      {"uo.cfg", client, ".", ByIdentity},  // the current folder
      {"C:uo.cfg", client, "C:.", ByIdentity},
      {"C:\\Games\\Client\\other.cfg", client, "C:\\Games\\Client\\", Other},
      {"C:\\Games\\Client\\uo.cfg", otherFolder, "C:\\Games\\Client\\", Other},
      {"C:\\Games\\Client\\uo.cfg", otherVolume, "C:\\Games\\Client\\", Other},
      // Who the folder is cannot be had: its spelling, in any letter case.
      {"C:\\Games\\Client\\uo.cfg", noIndex, "C:\\Games\\Client\\", BySpelling},
      {"c:\\GAMES\\client\\UO.CFG", unknown, "c:\\GAMES\\client\\", BySpelling},
      {"C:\\Games\\Client2\\uo.cfg", unknown, "C:\\Games\\Client2\\", Other},
      {"C:\\Games\\Clien\\uo.cfg", unknown, "C:\\Games\\Clien\\", Other},
      {"D:\\Games\\Client\\uo.cfg", unknown, "D:\\Games\\Client\\", Other},
      {"", unknown, ".", Other},
  };
  EXPECT_NE(byIdentity, bySpelling);
  for (const std::string& name : {byIdentity, bySpelling}) {
    EXPECT_EQ(name.find('\\'), std::string::npos) << name;
    EXPECT_EQ(name.rfind("Tidemark.", 0), 0u) << name;
  }
  for (const Case& c : cases) {
    const std::string name = script::NameFor(c.path, c.identity);
    EXPECT_EQ(name == byIdentity, c.expected == ByIdentity) << c.path;
    EXPECT_EQ(name == bySpelling, c.expected == BySpelling) << c.path;
    EXPECT_EQ(script::opened, c.opened) << c.path;
    EXPECT_EQ(script::access, platform::kFileReadAttributes) << c.path;
    EXPECT_EQ(script::share,
              platform::kFileShareRead | platform::kFileShareWrite | platform::kFileShareDelete)
        << c.path;
    EXPECT_EQ(script::flags, platform::kFileFlagBackupSemantics) << c.path;
    EXPECT_EQ(script::open, 0) << c.path << ": the folder was left open";
  }
  // The system's own answers: one folder by two spellings, and another.
  ScratchFolder scratch;
  ScratchFolder::WriteFile("client/uo.cfg");
  ScratchFolder::WriteFile("other/uo.cfg");
  const std::string real = TurnNameFor("client\\uo.cfg");
  EXPECT_EQ(TurnNameFor("other\\..\\client\\uo.cfg"), real);
  EXPECT_NE(TurnNameFor("other\\uo.cfg"), real);
  EXPECT_NE(real, script::NameFor("client\\uo.cfg", unknown)) << "the system was not asked";
}

// Copies with different rights take one turn: an elevated one and one
// without, also where the elevated one runs as another account ("Prompt
// for credentials"). The contender, in a thread of its own, waits while
// the holder has the turn and gets it once the holder lets go: not before
// (a turn of its own), not never (on without the turn). Natively
// the stand-in's model of User Account Control gives each its rights;
// under Wine every copy has the same. The turn leaves nothing behind: no
// file named after it, in the temporary folder or in the client's.
TEST(Turn, CopiesWithDifferentRightsTakeOneTurn) {
  struct Case {
    const char* label;
    // The holder's, then the contender's: TIDEMARK_UAC_ELEVATED, TIDEMARK_UAC_ACCOUNT.
    char* rights[2][2];
  };
  static char elevated[] = "TIDEMARK_UAC_ELEVATED=1", unelevated[] = "TIDEMARK_UAC_ELEVATED=0";
  static char player[] = "TIDEMARK_UAC_ACCOUNT=player", admin[] = "TIDEMARK_UAC_ACCOUNT=admin";
  const Case cases[] = {
      {"elevated, then without rights", {{elevated, player}, {unelevated, player}}},
      {"without rights, then elevated", {{unelevated, player}, {elevated, player}}},
      {"another account elevated, then without rights", {{elevated, admin}, {unelevated, player}}},
  };
  ScratchFolder scratch;
  ScratchFolder::WriteFile("uo.cfg");
  // The temporary folder, as the stand-in's C library finds it, is the
  // scratch folder's own while the turns are taken.
  static std::string restored = "TMPDIR=" + std::filesystem::temp_directory_path().string();
  static std::string temporary = "TMPDIR=" + (std::filesystem::current_path() / "tmp").string();
  std::filesystem::create_directory("tmp");
  putenv(temporary.data());
  for (const Case& c : cases) {
    for (char* setting : c.rights[0]) putenv(setting);
    std::optional<TTurn> holder(std::in_place, "uo.cfg", 0);
    ASSERT_TRUE(holder->Held()) << c.label;
    for (char* setting : c.rights[1]) putenv(setting);
    std::atomic<bool> released = false;
    bool heldAfterTheHolder = false;
    std::thread contender([&] { heldAfterTheHolder = TTurn("uo.cfg", 5000).Held() && released; });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    released = true;
    holder.reset();
    contender.join();
    EXPECT_TRUE(heldAfterTheHolder) << c.label;
  }
  putenv(restored.data());
  putenv(unelevated);
  std::set<std::string> left;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(".")) {
    left.insert(entry.path().generic_string());
  }
  EXPECT_EQ(left, (std::set<std::string>{"./tmp", "./uo.cfg"})) << "the turn left something behind";
}

}  // namespace
}  // namespace tidemark
