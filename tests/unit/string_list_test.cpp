#include "support/string_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "helpers/scripted_stream.h"
#include "support/errors.h"
#include "support/messages.h"
#include "unit/scoped_calls.h"
#include "unit/scratch_folder.h"

namespace tidemark {
namespace {

using testing::ScratchFolder;
using Lines = std::vector<std::string>;

Lines LinesOf(const TStrings& list) {
  Lines lines;
  for (std::int32_t i = 0; i < list.LineCount(); ++i) lines.emplace_back(list.LineAt(i).View());
  return lines;
}

std::string Repeat(const std::string& text, int times) {
  std::string repeated;
  for (int i = 0; i < times; ++i) repeated += text;
  return repeated;
}

void Fill(TStringList& list, const Lines& lines) {
  for (const std::string& line : lines) list.AppendLine(TextValue(line));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

using namespace std::string_literals;
using testing::ScriptedStream;

struct SplitCase {
  std::string text;
  Lines lines;
};

const SplitCase kSplitCases[] = {
    {"", {}},
    {"a", {"a"}},
    {"a\r\n", {"a"}},
    {"a\r\n\r\n", {"a", ""}},
    {"\r\n", {""}},
    {"a\rb\rc", {"a", "b", "c"}},
    {"a\nb\nc\n", {"a", "b", "c"}},
    {"a\n\rb", {"a", "", "b"}},
    {"a\r\rb", {"a", "", "b"}},
    {"a\0b\r\nc"s, {"a\0b"s, "c"}},  // a zero byte is kept inside its line
    {"\0"s, {"\0"s}},
    {"\r\n\r\n", {"", ""}},
    {"\x95\x5c\r\n\x83\x0d", {"\x95\x5c", "\x83"}},  // bytes, not characters
    {"ab\r\ncd\n\ref\r\rgh\r", {"ab", "cd", "", "ef", "", "gh"}},
    {"\r", {""}},
    {"\n\n\r", {"", "", ""}},
    {"x\r\r\n\n", {"x", "", ""}},
    {std::string(5000, 'w') + "\r\n" + std::string(3000, 'v'),
     {std::string(5000, 'w'), std::string(3000, 'v')}},
    // A line that begins just before the end of a 1 MiB piece and runs far into the next.
    {std::string((1 << 20) - 3, 'a') + "\r\n" + std::string(9000, 'b') + "\n",
     {std::string((1 << 20) - 3, 'a'), std::string(9000, 'b')}},
    // Lines long enough to be read into a text of their own: one whose CR
    // ends a 1 MiB piece, one ended by a lone CR.
    {std::string((2 << 20) - 1, 'a') + "\r\nb", {std::string((2 << 20) - 1, 'a'), "b"}},
    {std::string((1 << 20) + 9, 'a') + "\rb\r", {std::string((1 << 20) + 9, 'a'), "b"}},
    // Line ends astride the load's 32- and 64-byte scan steps: a CR LF, and an LF alone.
    {std::string(63, 'a') + "\r\n\r" + std::string(62, 'c') + "\n\n",
     {std::string(63, 'a'), "", std::string(62, 'c'), ""}},
};

TEST(StringList, TextSplitsIntoLinesAtCrLfCrAndLf) {
  for (const SplitCase& c : kSplitCases) {
    TStringList list;
    list.AppendLine("stale");
    list.SplitTextIntoLines(TextValue(c.text));
    EXPECT_EQ(LinesOf(list), c.lines) << ::testing::PrintToString(c.text);
  }
}

TEST(StringList, LinesJoinWithCrLfAfterEveryLine) {
  struct Case {
    Lines lines;
    std::string text;
  };
  const Case cases[] = {
      {{}, ""},
      {{"a", ""}, "a\r\n\r\n"},
      {{""}, "\r\n"},
      {{"a\0b"s}, "a\0b\r\n"s},
      {{"x\ny", "z"}, "x\ny\r\nz\r\n"},  // stored as given, split when read back
  };
  for (const Case& c : cases) {
    TStringList list;
    Fill(list, c.lines);
    EXPECT_EQ(list.JoinLinesAsText().View(), c.text);
  }
}

TEST(StringList, CapacityGrowsBy4Then8Then16) {
  struct Step {
    int appends;
    std::int32_t capacity;
  };
  const Step steps[] = {{0, 0},  {1, 4},   {4, 4},   {5, 8},   {8, 8},
                        {9, 16}, {16, 16}, {17, 32}, {33, 48}, {49, 64}};
  for (const Step& step : steps) {
    TStringList list;
    for (int i = 0; i < step.appends; ++i) EXPECT_EQ(list.AppendLine("x"), i);
    EXPECT_EQ(list.Capacity(), step.capacity) << step.appends << " appends";
  }
  TStringList list;
  list.AppendLine("x");
  list.RemoveAllLines();
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(StringList, IndexOutsideTheListRaisesListError) {
  TStringList empty;
  TStringList two;
  Fill(two, {"a", "b"});
  struct Case {
    TStringList* list;
    std::int32_t index;
  };
  const Case cases[] = {{&empty, 0}, {&empty, -1}, {&two, -1}, {&two, 2}, {&two, 1000}};
  for (const Case& c : cases) {
    for (int replace = 0; replace < 2; ++replace) {
      try {
        if (replace == 1) {
          c.list->ReplaceLine(c.index, "new");
        } else {
          c.list->LineAt(c.index);
        }
        ADD_FAILURE() << "index " << c.index << " was accepted";
      } catch (const EListError& error) {
        EXPECT_EQ(error.Message(), LoadMessage(MessageId::ListIndexError));
        EXPECT_FALSE(error.Message().IsEmpty());
      }
    }
  }
  EXPECT_EQ(LinesOf(two), (Lines{"a", "b"}));
}

TEST(StringList, LinesAreSharedNotCopied) {
  TStringList list;
  TextValue line("JournalSaveFile=x");
  list.AppendLine(line);
  EXPECT_EQ(line.ShareCount(), 2);
  TextValue read = list.LineAt(0);
  list.ReplaceLine(0, "other");
  EXPECT_EQ(read.View(), "JournalSaveFile=x");  // a later change does not alter a text read
}

TEST(StringList, ALoadSignalsOnceAndEditsSignalEachTime) {
  TStringList list;
  int changing = 0;
  int changed = 0;
  list.ChangingHandler = [&](TObject&) { ++changing; };
  list.ChangedHandler = [&](TObject&) { ++changed; };
  list.SplitTextIntoLines("a\r\nb\r\nc");
  EXPECT_EQ(changing, 1);
  EXPECT_EQ(changed, 1);
  list.ReplaceLine(0, "x");
  list.AppendLine("y");
  EXPECT_EQ(changing, 3);
  EXPECT_EQ(changed, 3);
}

TEST(StringList, LoadTakesEveryByteOrNothing) {
  const std::string content = "JournalSaveFile=old\r\nWindowMode=on\r\n";
  const auto size = static_cast<std::int64_t>(content.size());
  struct Case {
    std::int64_t available;
    std::int32_t chunk;
    bool loads;
  };
  const Case cases[] = {
      {size, 1 << 20, true},  // one read
      {size, 7, true},        // many short reads that add up
      {size - 1, 1 << 20, false},
      {0, 1 << 20, false},  // a read that fails at once
  };
  for (const Case& c : cases) {
    TStringList list;
    list.AppendLine("kept");
    ScriptedStream stream(content, c.available, c.chunk);
    if (c.loads) {
      list.LoadLinesFromStream(stream);
      EXPECT_EQ(LinesOf(list), (Lines{"JournalSaveFile=old", "WindowMode=on"}));
    } else {
      EXPECT_THROW(list.LoadLinesFromStream(stream), EReadError) << c.available;
      EXPECT_EQ(LinesOf(list), Lines{"kept"});
    }
  }
}

// A file comes in pieces: wherever one ends (in a CR LF, between an LF and
// a CR, after a lone CR, inside a line many pieces long), the lines are those
// of the whole text.
TEST(StringList, LoadsSplitAsTheWholeTextWhereverThePiecesEnd) {
  for (const SplitCase& c : kSplitCases) {
    for (const std::int32_t piece : {1, 2, 3, 7, 1000, 1 << 20}) {
      TStringList list;
      list.AppendLine("stale");
      ScriptedStream stream(c.text, static_cast<std::int64_t>(c.text.size()), piece);
      list.LoadLinesFromStream(stream);
      EXPECT_EQ(LinesOf(list), c.lines)
          << ::testing::PrintToString(c.text) << " in pieces of " << piece;
    }
  }
}

// Loaded lines share the load's blocks, yet each text stands alone: it
// outlives the list, and a change to one touches no other.
TEST(StringList, LoadedLinesOutliveTheirList) {
  std::string text;
  for (int i = 0; i < 50000; ++i) text += "Line" + std::to_string(i) + "\r\n";
  text += std::string(3 << 20, 'L') + "\r\n";  // a line of its own size, past any piece
  text += "after\r\nthe long line";
  std::vector<TextValue> kept;
  {
    TStringList list;
    ScriptedStream stream(text, static_cast<std::int64_t>(text.size()), 1 << 20);
    list.LoadLinesFromStream(stream);
    ASSERT_EQ(list.LineCount(), 50003);
    for (const std::int32_t index : {0, 1, 777, 49999, 50000}) kept.push_back(list.LineAt(index));
    kept.push_back(list.LineAt(777));
    list.ReplaceLine(1, "replaced");
    EXPECT_EQ(list.LineAt(50001).View(), "after");
    EXPECT_EQ(list.LineAt(50002).View(), "the long line");
  }
  // The lines after the long one are gone with the list, and took nothing of it.
  EXPECT_EQ(kept[4].View().find_first_not_of('L'), std::string_view::npos);
  EXPECT_EQ(kept[0].View(), "Line0");
  EXPECT_EQ(kept[1].View(), "Line1");
  EXPECT_EQ(kept[3].View(), "Line49999");
  EXPECT_EQ(kept[4].Length(), 3 << 20);
  EXPECT_EQ(kept[2].ShareCount(), 2);
  kept[2].MutableBytes()[0] = 'l';
  EXPECT_EQ(kept[2].View(), "line777");
  EXPECT_EQ(kept[5].View(), "Line777");
  EXPECT_EQ(kept[5].ShareCount(), 1);
  kept[0].MutableBytes()[0] = 'X';  // the only holder changes its block in place
  EXPECT_EQ(kept[0].View(), "Xine0");
  EXPECT_EQ(kept[1].View(), "Line1");
  kept.erase(kept.begin(), kept.begin() + 3);  // blocks go in any order
  EXPECT_EQ(kept[0].View(), "Line49999");
}

// A loaded list saves as its lines joined: those unchanged straight from the
// load (a line longer than a read piece from a text of its own), a replaced
// one as given, each followed by CR LF.
TEST(StringList, LoadedLinesSaveAsJoined) {
  const std::string longLine((1 << 20) + 5, 'L');
  struct Case {
    std::string text;
    std::int32_t replaced;  // the line replaced by "new", or -1
    std::string saved;
  };
  const Case cases[] = {
      {"a\r\nb\r\nc\r\n", 1, "a\r\nnew\r\nc\r\n"},
      {longLine + "\r\nx\n", -1, longLine + "\r\nx\r\n"},
      {"x\r\n" + longLine, 0, "new\r\n" + longLine + "\r\n"},
      // Lines not ended by CR LF sought sixteen entries a step, in blocks
      // of 1024: one in the second step, the next block's first, and the
      // replaced one after it.
      {Repeat("a\r\n", 20) + "b\n" + Repeat("a\r\n", 1003) + "c\n" + Repeat("a\r\n", 76), 1040,
       Repeat("a\r\n", 20) + "b\r\n" + Repeat("a\r\n", 1003) + "c\r\n" + Repeat("a\r\n", 15) +
           "new\r\n" + Repeat("a\r\n", 60)},
  };
  for (const Case& c : cases) {
    TStringList list;
    ScriptedStream stream(c.text, static_cast<std::int64_t>(c.text.size()), 1 << 20);
    list.LoadLinesFromStream(stream);
    if (c.replaced >= 0) list.ReplaceLine(c.replaced, "new");
    list.SaveLinesToStream(stream);
    EXPECT_TRUE(stream.written == c.saved) << c.text.size() << " bytes, line " << c.replaced;
  }
}

// A search of the loaded lines by their bytes as read finds what a search
// of their texts finds, from every line on: lines replaced since, appended,
// cut short by the file's end, past a block of 1024 lines, and prefixes no
// line can begin with (a line holds no CR or LF).
TEST(StringList, SearchByPrefixFindsWhatTheTextsHold) {
  struct Case {
    std::string text;
    std::int32_t replaced;  // the line replaced by "Key=new", or -1
    std::string_view prefix;
  };
  const Case cases[] = {
      {"Key=1\r\nx\nKey=2\rKe", -1, "Key"},
      {"x\r\nKe", -1, std::string_view("Ke\0", 3)},
      {"Key=1\r\nx\r\nKey=2\r\n", 0, "Key=1"},
      {"x\r\ny\r\n", 1, "Key=new"},
      {Repeat("a\r\n", 1030) + "c\r\n" + Repeat("a\r\n", 3), 1, "c"},
      {"Key\r\nKey\r\n", -1, "Key\r"},
      {"Key\r\n", -1, ""},
  };
  for (const Case& c : cases) {
    TStringList list;
    ScriptedStream stream(c.text, static_cast<std::int64_t>(c.text.size()), 1 << 20);
    list.LoadLinesFromStream(stream);
    if (c.replaced >= 0) list.ReplaceLine(c.replaced, "Key=new");
    list.AppendLine("Key=appended");
    for (std::int32_t from = 0; from <= list.LineCount(); ++from) {
      EXPECT_EQ(list.NextLineStartingWith(c.prefix, from),
                list.TStrings::NextLineStartingWith(c.prefix, from))
          << c.text.size() << " bytes, " << c.prefix << " from " << from;
    }
  }
}

class StringListFiles : public ::testing::Test {
 protected:
  ScratchFolder scratch_;
};

TEST_F(StringListFiles, SavingAndLoadingGoesByteForByte) {
  ScratchFolder::WriteFile("uo.cfg", "a\nb\rc\r\n\r\nlast"s + '\0' + "x");
  TStringList list;
  list.LoadLinesFromFile("uo.cfg");
  EXPECT_EQ(LinesOf(list), (Lines{"a", "b", "c", "", "last\0x"s}));
  list.SaveLinesToFile("uo.cfg");
  EXPECT_EQ(ReadBytes("uo.cfg"), "a\r\nb\r\nc\r\n\r\nlast\0x\r\n"s);

  TStringList empty;
  empty.SaveLinesToFile("uo.cfg");
  EXPECT_EQ(std::filesystem::file_size("uo.cfg"), 0u);
  TStringList lineAndEmpty;
  Fill(lineAndEmpty, {"a", ""});
  lineAndEmpty.SaveLinesToFile("uo.cfg");
  EXPECT_EQ(ReadBytes("uo.cfg"), "a\r\n\r\n");
}

// Counts the pauses asked for instead of making them.
class PauseCounter {
 public:
  PauseCounter() {
    paused = 0;
    calls_->Sleep = [](platform::DWORD milliseconds) { paused += milliseconds; };
  }
  static inline std::int64_t paused = 0;

 private:
  testing::ScopedCalls calls_;
};

TEST_F(StringListFiles, FilesThatCannotBeUsedRaiseErrorsNamingThePath) {
  // A hold that lasts is waited out for about 2 s of pauses, then reported.
  const PauseCounter pauses;
  ScratchFolder::WriteFile("readonly.cfg", "old\r\n");
  std::filesystem::permissions("readonly.cfg", std::filesystem::perms::owner_read);
  ScratchFolder::WriteFile("held.cfg", "held\r\n");
  std::filesystem::create_directory("folder.cfg");

  TStringList list;
  list.AppendLine("kept");
  for (const char* path : {"missing.cfg", "folder.cfg", "held.cfg", ""}) {
    TFileStream* holder = nullptr;
    if (std::string(path) == "held.cfg") holder = new TFileStream("held.cfg", ModeOpenRead);
    try {
      list.LoadLinesFromFile(path);
      ADD_FAILURE() << path << " was loaded";
    } catch (const EFOpenError& error) {
      EXPECT_EQ(error.Message(), LoadMessage(MessageId::FileOpenError, path));
      EXPECT_NE(error.Message().View().find(path), std::string_view::npos);
    }
    delete holder;
    EXPECT_EQ(LinesOf(list), Lines{"kept"}) << path;
    EXPECT_EQ(PauseCounter::paused, std::string(path) == "held.cfg" ? 2011 : 0) << path;
    PauseCounter::paused = 0;
  }
  for (const char* path : {"readonly.cfg", "folder.cfg"}) {
    EXPECT_THROW(list.SaveLinesToFile(path), EFCreateError) << path;
  }
  {
    TFileStream holder("held.cfg", ModeOpenRead);
    EXPECT_THROW(list.SaveLinesToFile("held.cfg"), EFCreateError);
    EXPECT_THROW(TFileStream("held.cfg", ModeCreate), EFCreateError);
  }
  // The create mode: refused for a folder and a held file; elsewhere the file
  // is made, or an existing one emptied. (Not tried on the read-only file:
  // Wine, run as root, lets CREATE_ALWAYS empty it where Windows refuses; the
  // save refuses it by its attributes before it opens anything.)
  EXPECT_THROW(TFileStream("folder.cfg", ModeCreate), EFCreateError);
  for (const char* content : {"", "old\r\n"}) {
    if (*content != '\0') ScratchFolder::WriteFile("made.cfg", content);
    EXPECT_EQ(TFileStream("made.cfg", ModeCreate).TotalSize(), 0) << content;
    std::filesystem::remove("made.cfg");
  }
  EXPECT_EQ(ReadBytes("readonly.cfg"), "old\r\n");
  EXPECT_EQ(ReadBytes("held.cfg"), "held\r\n");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"folder.cfg", "held.cfg", "readonly.cfg"}));
}

TEST_F(StringListFiles, LargeFilesRoundTrip) {
  std::string text;
  Lines lines;
  for (int i = 0; i < 300000; ++i) {
    lines.push_back("Line" + std::to_string(i) + "=value");
    text += lines.back() + "\r\n";
  }
  lines.push_back(std::string(400000, 'w'));
  text += lines.back() + "\r\n";
  ScratchFolder::WriteFile("big.cfg", text);
  TStringList list;
  list.LoadLinesFromFile("big.cfg");
  ASSERT_EQ(list.LineCount(), static_cast<std::int32_t>(lines.size()));
  EXPECT_EQ(list.LineAt(123456).View(), lines[123456]);
  list.SaveLinesToFile("big.cfg");
  EXPECT_EQ(ReadBytes("big.cfg"), text);
}

}  // namespace
}  // namespace tidemark
