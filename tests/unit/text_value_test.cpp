#include "support/text_value.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tidemark {
namespace {

TEST(TextValue, EmptyTextHasNoBlockAndReadsAsEmptyString) {
  for (const TextValue& empty : {TextValue(), TextValue(""), TextValue(nullptr),
                                 TextValue("abc", 0), TextValue::OfLength(0)}) {
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(empty.ShareCount(), 0);
    EXPECT_EQ(empty.Length(), 0);
    EXPECT_STREQ(empty.Bytes(), "");
  }
}

TEST(TextValue, BoundedByLengthNotByZeroByte) {
  const TextValue withZero("a\0b", 3);
  EXPECT_EQ(withZero.Length(), 3);
  EXPECT_EQ(withZero.View(), std::string_view("a\0b", 3));
  EXPECT_EQ(withZero.Bytes()[3], '\0');      // a zero byte always follows
  EXPECT_EQ(TextValue("a\0b").Length(), 1);  // from a zero-terminated string: up to the zero
  EXPECT_FALSE(withZero == TextValue("a"));
}

TEST(TextValue, CopiesShareOneBlockAndAChangeWorksOnTheCallersOwnCopy) {
  TextValue original("journal");
  TextValue copy = original;
  EXPECT_EQ(original.ShareCount(), 2);
  EXPECT_EQ(original.Bytes(), copy.Bytes());

  copy.MutableBytes()[0] = 'J';
  EXPECT_EQ(original.View(), "journal");
  EXPECT_EQ(copy.View(), "Journal");
  EXPECT_EQ(original.ShareCount(), 1);
  EXPECT_EQ(copy.ShareCount(), 1);

  const char* before = copy.Bytes();
  copy.MutableBytes()[1] = 'O';  // sole owner: changed in place
  EXPECT_EQ(copy.Bytes(), before);

  TextValue moved = std::move(copy);
  EXPECT_EQ(moved.ShareCount(), 1);
  moved = moved;  // self-assignment keeps the block alive
  EXPECT_EQ(moved.View(), "JOurnal");
}

TEST(TextValue, EqualityIsLengthAndBytesCaseSensitive) {
  struct Case {
    TextValue left, right;
    bool equal;
  };
  const Case cases[] = {
      {"", "", true},
      {"/N", "/N", true},
      {"/N", "/n", false},
      {"/N", "/N ", false},
      {"abc", "abd", false},
      {TextValue("a\0", 2), "a", false},
      {"\x95\x5c", "\x95\x5c", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.left == c.right, c.equal) << c.left.View() << " vs " << c.right.View();
  }
}

TEST(TextValue, PositionOfIsOneBasedAndZeroWhenAbsentOrEmpty) {
  struct Case {
    const char* pattern;
    const char* text;
    std::int32_t position;
  };
  const Case cases[] = {
      {"JournalSaveFile", "JournalSaveFile=C:\\x", 1},
      {"JournalSaveFile", ";JournalSaveFile=x", 2},
      {"JournalSaveFile", "journalsavefile=x", 0},
      {"ab", "xabab", 2},
      {"", "abc", 0},
      {"abc", "", 0},
      {"abcd", "abc", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PositionOf(c.pattern, c.text), c.position) << c.pattern << " in " << c.text;
  }
}

TEST(TextValue, ConcatenationMakesANewTextOfBothLengths) {
  const TextValue folder("C:\\Games\\");
  const TextValue sum = folder + "Journals\\";
  EXPECT_EQ(sum.View(), "C:\\Games\\Journals\\");
  EXPECT_EQ(sum.Length(), folder.Length() + 9);
  EXPECT_EQ(folder.View(), "C:\\Games\\");
  EXPECT_TRUE((TextValue() + TextValue()).IsEmpty());
  EXPECT_EQ((TextValue() + folder).ShareCount(), 2);  // nothing to add: the block is shared
}

TEST(TextValue, LeftTakesTheLeadingBytes) {
  const TextValue path("C:\\a\\b");
  EXPECT_EQ(path.Left(3).View(), "C:\\");
  EXPECT_TRUE(path.Left(0).IsEmpty());
  EXPECT_EQ(path.Left(99).View(), path.View());
}

// Texts carved from an arena come out in order, empty ones without a block,
// and each stands alone: those let go of at once (even every one of a
// chunk) take nothing from those kept, wherever their chunks end.
TEST(TextValue, ArenaTextsComeOutInOrderAndStandAlone) {
  struct Case {
    const char* what;
    std::vector<std::string> texts;
    int keepEvery;  // keep texts whose index is a multiple of this
  };
  std::vector<std::string> many;
  for (int i = 0; i < 200000; ++i) many.push_back(i % 7 == 0 ? "" : "text " + std::to_string(i));
  const Case cases[] = {
      {"none", {}, 1},
      {"only empty texts", {"", "", ""}, 1},
      {"only empty texts, none kept", {"", ""}, 5},
      {"many chunks, every third kept", many, 3},
      {"many chunks, none kept", many, 1 << 30},
      {"a text longer than a chunk amid short ones",
       {"a", std::string(5 << 20, 'x'), "b", "", "c"},
       2},
  };
  for (const Case& c : cases) {
    std::vector<TextValue> kept;
    {
      TextArena arena;
      for (const std::string& text : c.texts) arena.Append(text);
      EXPECT_EQ(arena.Count(), static_cast<std::int32_t>(c.texts.size())) << c.what;
      int index = 0;
      arena.TakeAll([&](TextValue&& text) {
        EXPECT_EQ(text.IsEmpty(), c.texts[index].empty()) << c.what << " " << index;
        if (index++ % c.keepEvery == 0) kept.push_back(std::move(text));
      });
      EXPECT_EQ(arena.Count(), 0) << c.what;
    }
    for (std::size_t i = 0; i < kept.size(); ++i) {
      const std::string& expected = c.texts[i * static_cast<std::size_t>(c.keepEvery)];
      ASSERT_EQ(kept[i].Length(), static_cast<std::int32_t>(expected.size())) << c.what << " " << i;
      EXPECT_TRUE(kept[i].View() == expected) << c.what << " " << i;
    }
  }
}

}  // namespace
}  // namespace tidemark
