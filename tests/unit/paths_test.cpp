#include "support/paths.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "platform/platform.h"
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
