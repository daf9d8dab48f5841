#include "support/paths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "support/turn.h"
#include "unit/scratch_folder.h"

namespace tidemark {
namespace {

using testing::ScratchFolder;

// Lead bytes of the Japanese ANSI code page: 0x81-0x9F and 0xE0-0xFC.
const std::uint8_t kJapaneseRanges[12] = {0x81, 0x9F, 0xE0, 0xFC};

class CodePageFactsGuard {
 public:
  explicit CodePageFactsGuard(const CodePageFacts& facts) : saved_(CurrentCodePageFacts()) {
    AdoptCodePageFacts(facts);
  }
  ~CodePageFactsGuard() { AdoptCodePageFacts(saved_); }

 private:
  CodePageFacts saved_;
};

TEST(Paths, FolderPartEndsWithTheLastSeparator) {
  struct Case {
    const char* path;
    const char* folder;
  };
  const Case cases[] = {
      {"C:\\Games\\Client\\launcher.exe", "C:\\Games\\Client\\"},
      {"C:\\Games\\Client\\", "C:\\Games\\Client\\"},
      {"C:launcher.exe", "C:"},
      {"launcher.exe", ""},
      {"C:/Games/launcher.exe", "C:"},
      {"", ""},
      {"\\\\server\\share\\x", "\\\\server\\share\\"},
      {"C:\\dir\\\x95\x5c.exe", "C:\\dir\\\x95\\"},  // single-byte system: 0x5C separates
  };
  CodePageFactsGuard singleByte(CodePageFacts{});
  for (const Case& c : cases) {
    EXPECT_EQ(FolderPartOf(c.path).View(), c.folder) << c.path;
  }
}

TEST(Paths, TrailBytesAreNeverSeparatorsOnADoubleByteSystem) {
  struct Case {
    std::string path;
    std::string folder;
  };
  const Case cases[] = {
      {"C:\\dir\\\x95\x5c.exe", "C:\\dir\\"},
      {"C:\\\x83\x81\x83\x5cx", "C:\\"},                 // three lead-range bytes: 0x5C is a trail
      {"C:\\a\x83\x81\x5cx", "C:\\a\x83\x81\x5c"},       // two: 0x5C separates
      {"C:\\\x95\x5c\\\x83\x5c.exe", "C:\\\x95\x5c\\"},  // folder and file both end in 0x5C trails
      {"\x95:x", ""},                                    // a trail 0x3A is no drive either
      {"C:\\x\\\x95", "C:\\x\\"},
  };
  CodePageFactsGuard japanese(CodePageFactsFrom(true, kJapaneseRanges));
  for (const Case& c : cases) {
    EXPECT_EQ(FolderPartOf(TextValue(c.path)).View(), c.folder) << c.path;
  }
}

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
  const platform::CallTable saved = platform::Calls();
  platform::Calls().CreateFileA = &CreateFileA;
  platform::Calls().GetFileInformationByHandle = &GetFileInformationByHandle;
  platform::Calls().CloseHandle = &CloseHandle;
  answer = identity;
  opened = "(none)";
  std::string name = TurnNameFor(path);
  platform::Calls() = saved;
  return name;
}
}  // namespace scripted_identity

TEST(Paths, TurnNames) {
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
TEST(Paths, CopiesWithDifferentRightsTakeOneTurn) {
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

TEST(Paths, ByteKinds) {
  struct Case {
    std::string text;
    std::int32_t position;
    ByteKind kind;
  };
  const Case cases[] = {
      {"\x95\x5c", 1, ByteKind::Lead},           {"\x95\x5c", 2, ByteKind::Trail},
      {"\x5c\x95", 1, ByteKind::Single},         {"\x5c\x95", 2, ByteKind::Lead},
      {"\x81\x81\x81", 1, ByteKind::Lead},       {"\x81\x81\x81", 2, ByteKind::Trail},
      {"\x81\x81\x81", 3, ByteKind::Lead},       {"a\x81\x81\x5c", 4, ByteKind::Single},
      {"a\x81\x81\x81\x5c", 5, ByteKind::Trail}, {std::string("\x81\0", 2), 2, ByteKind::Single},
  };
  CodePageFactsGuard japanese(CodePageFactsFrom(true, kJapaneseRanges));
  for (const Case& c : cases) {
    EXPECT_EQ(ByteKindAt(TextValue(c.text), c.position), c.kind) << c.text << " @" << c.position;
  }
  AdoptCodePageFacts(CodePageFacts{});
  EXPECT_EQ(ByteKindAt(TextValue("\x95\x5c"), 2), ByteKind::Single);
}

TEST(Paths, LeadByteRangesAreWalkedUntilAPairOfZeros) {
  const std::uint8_t ranges[12] = {0x81, 0x82, 0x90, 0x80, 0xA0, 0xA0, 0, 0, 0xF0, 0xF1};
  const CodePageFacts facts = CodePageFactsFrom(true, ranges);
  EXPECT_TRUE(facts.LeadByteSet.test(0x81));
  EXPECT_TRUE(facts.LeadByteSet.test(0x82));
  EXPECT_FALSE(facts.LeadByteSet.test(0x85));  // high below low adds nothing
  EXPECT_TRUE(facts.LeadByteSet.test(0xA0));
  EXPECT_FALSE(facts.LeadByteSet.test(0xF0));  // after the pair of zeros
  EXPECT_EQ(facts.LeadByteSet.count(), 3u);

  const std::uint8_t everything[12] = {0x00, 0xFF};
  EXPECT_EQ(CodePageFactsFrom(true, everything).LeadByteSet.count(), 256u);
  EXPECT_EQ(CodePageFactsFrom(false, kJapaneseRanges).LeadByteSet.count(), 0u);
}

TEST(Paths, FindLastSeparatorUsesTheGivenSet) {
  EXPECT_EQ(FindLastSeparator("\\:", TextValue("C:\\a\\b")), 5);
  EXPECT_EQ(FindLastSeparator(":", TextValue("C:\\a\\b")), 2);
  EXPECT_EQ(FindLastSeparator("/", TextValue("C:\\a\\b")), 0);
  EXPECT_EQ(FindLastSeparator("\\", TextValue("a\\b\0c", 5)), 2);  // a zero byte is no separator
}

class FileSystem : public ::testing::Test {
 protected:
  ScratchFolder scratch_;
};

TEST_F(FileSystem, PresenceAnswers) {
  ScratchFolder::WriteFile("client/uo.cfg");
  ScratchFolder::WriteFile("client/readonly.cfg");
  std::filesystem::permissions("client/readonly.cfg", std::filesystem::perms::owner_read |
                                                          std::filesystem::perms::group_read);
  std::filesystem::create_directories("client/Journals");
  ScratchFolder::WriteFile("client/old.cfg");
  ScratchFolder::SetLocalWriteTime("client/old.cfg", 1979, 7, 1, 12, 0, 0);

  struct Case {
    const char* path;
    bool file;
    bool folder;
  };
  const Case cases[] = {
      {"client\\uo.cfg", true, false},
      {"client\\readonly.cfg", true, false},
      {"client\\old.cfg", true, false},  // a 1979 time stamp is still a file
      {"client\\uo.cfg\\", false, false},
      {"\"client\\uo.cfg\"", false, false},  // quotes are part of the name
      {"client\\uo.*", false, false},        // no patterns
      {"client\\uo.cf?", false, false},
      {"client\\missing.cfg", false, false},
      {"client\\Journals", false, true},
      {"client\\Journals\\", false, true},
      {"client", false, true},
      {"missing\\uo.cfg", false, false},
      {"", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileIsPresent(c.path), c.file) << c.path;
    EXPECT_EQ(FolderIsPresent(c.path), c.folder) << c.path;
  }
}

TEST_F(FileSystem, WriteStampIsTheLocalDosDateAndTime) {
  ScratchFolder::WriteFile("stamped.txt");
  ScratchFolder::SetLocalWriteTime("stamped.txt", 2020, 5, 17, 13, 45, 31);
  const std::int32_t stamp = FileWriteStamp("stamped.txt");
  EXPECT_EQ(static_cast<std::uint32_t>(stamp) >> 16, (40u << 9) | (5u << 5) | 17u);
  EXPECT_EQ(static_cast<std::uint32_t>(stamp) & 0xFFFFu, (13u << 11) | (45u << 5) | 15u);

  // The first entry a pattern finds is examined; the presence test never takes a pattern.
  EXPECT_EQ(FileWriteStamp("stamp*.txt"), stamp);
  std::filesystem::create_directories("folder");
  ScratchFolder::WriteFile("old.txt");
  ScratchFolder::SetLocalWriteTime("old.txt", 1979, 7, 1, 12, 0, 0);
  EXPECT_EQ(FileWriteStamp("folder"), -1);
  EXPECT_EQ(FileWriteStamp("old.txt"), -1);
  EXPECT_EQ(FileWriteStamp("missing.txt"), -1);
  EXPECT_EQ(FileWriteStamp(""), -1);
}

TEST_F(FileSystem, MakeFolderCreatesOneLevel) {
  EXPECT_EQ(MakeFolder("Journals\\"), 0);
  EXPECT_TRUE(std::filesystem::is_directory("Journals"));

  ScratchFolder::WriteFile("Journals/keep.txt", "kept");
  EXPECT_EQ(MakeFolder("Journals\\"), -1);
  EXPECT_EQ(platform::GetLastError(),
            platform::kErrorAccessDenied);  // in place of "already exists"
  EXPECT_TRUE(std::filesystem::exists("Journals/keep.txt"));

  EXPECT_EQ(MakeFolder("missing\\Journals\\"), -1);
  EXPECT_NE(platform::GetLastError(), platform::kErrorAccessDenied);
  EXPECT_FALSE(std::filesystem::exists("missing"));
  EXPECT_EQ(MakeFolder(""), -1);
}

}  // namespace
}  // namespace tidemark
