#include "support/string_list.h"

#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

#include "support/errors.h"
#include "support/file_replace.h"
#include "support/messages.h"

namespace tidemark {

namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';

// Ends the batch on every way out, errors included.
class BatchBracket {
 public:
  explicit BatchBracket(TStrings& list) : list_(list) { list_.BeginBatch(); }
  ~BatchBracket() { list_.EndBatch(); }
  BatchBracket(const BatchBracket&) = delete;
  BatchBracket& operator=(const BatchBracket&) = delete;

 private:
  TStrings& list_;
};

}  // namespace

// --- TStrings -------------------------------------------------------------

TextValue TStrings::JoinLinesAsText() const {
  const std::int32_t count = LineCount();
  std::int64_t length = 0;
  for (std::int32_t i = 0; i < count; ++i) length += LineAt(i).Length() + 2;
  if (length > std::numeric_limits<std::int32_t>::max()) throw std::bad_alloc();
  TextValue text = TextValue::OfLength(static_cast<std::int32_t>(length));
  char* out = text.MutableBytes();
  for (std::int32_t i = 0; i < count; ++i) {
    const TextValue line = LineAt(i);
    std::memcpy(out, line.Bytes(), static_cast<std::size_t>(line.Length()));
    out += line.Length();
    *out++ = kCarriageReturn;
    *out++ = kLineFeed;
  }
  return text;
}

void TStrings::SplitTextIntoLines(const TextValue& text) {
  BatchBracket bracket(*this);
  RemoveAllLines();
  const std::string_view bytes = text.View();
  // One pass to count the lines, so the list is sized once, not grown step by step.
  std::int32_t lines = 0;
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    const bool crBeforeLf =
        bytes[at] == kCarriageReturn && at + 1 < bytes.size() && bytes[at + 1] == kLineFeed;
    if ((bytes[at] == kCarriageReturn && !crBeforeLf) || bytes[at] == kLineFeed) ++lines;
  }
  if (!bytes.empty() && bytes.back() != kCarriageReturn && bytes.back() != kLineFeed) ++lines;
  if (lines > 0) ReserveLines(lines);
  std::size_t position = 0;
  while (position < bytes.size()) {
    const std::size_t start = position;
    while (position < bytes.size() && bytes[position] != kCarriageReturn &&
           bytes[position] != kLineFeed) {
      ++position;
    }
    AppendLine(TextValue(bytes.substr(start, position - start)));
    if (position < bytes.size() && bytes[position] == kCarriageReturn) ++position;
    if (position < bytes.size() && bytes[position] == kLineFeed) ++position;
  }
}

void TStrings::LoadLinesFromFile(const TextValue& path) {
  TFileStream stream(path, ModeOpenRead);
  LoadLinesFromStream(stream);
}

void TStrings::LoadLinesFromStream(TStream& stream) {
  BatchBracket bracket(*this);
  const std::int64_t size = stream.TotalSize() - stream.CurrentPosition();
  if (size > std::numeric_limits<std::int32_t>::max()) {
    throw EReadError(LoadMessage(MessageId::StreamReadError));  // too large to hold
  }
  TextValue text = TextValue::OfLength(static_cast<std::int32_t>(size > 0 ? size : 0));
  // Every byte or nothing: a short read would rewrite the file from garbage.
  stream.ReadExactly(text.MutableBytes(), text.Length());
  SplitTextIntoLines(text);
}

void TStrings::SaveLinesToFile(const TextValue& path) {
  ReplaceFileContents(path, JoinLinesAsText().View());
}

void TStrings::SaveLinesToStream(TStream& stream) {
  const TextValue text = JoinLinesAsText();
  stream.WriteExactly(text.Bytes(), text.Length());
}

void TStrings::BeginBatch() {
  if (BatchDepth == 0) BatchStateChanged(true);
  ++BatchDepth;
}

void TStrings::EndBatch() {
  --BatchDepth;
  if (BatchDepth == 0) BatchStateChanged(false);
}

void TStrings::BatchStateChanged(bool) {}

void TStrings::ReserveLines(std::int32_t) {}

// --- TStringList ----------------------------------------------------------

TStringList::~TStringList() {
  ChangedHandler = nullptr;
  ChangingHandler = nullptr;
  EntryCount = 0;
  SetEntryCapacity(0);
}

void TStringList::CheckIndex(std::int32_t index) const {
  if (index < 0 || index >= EntryCount) throw EListError(LoadMessage(MessageId::ListIndexError));
}

TextValue TStringList::LineAt(std::int32_t index) const {
  CheckIndex(index);
  return Entries[index].LineText;
}

void TStringList::ReplaceLine(std::int32_t index, const TextValue& text) {
  if (KeepSorted) throw EListError(LoadMessage(MessageId::SortedListError));
  CheckIndex(index);
  SignalChanging();
  Entries[index].LineText = text;
  SignalChanged();
}

std::int32_t TStringList::AppendLine(const TextValue& text) {
  const std::int32_t index = EntryCount;
  InsertEntry(index, text);
  return index;
}

void TStringList::RemoveAllLines() {
  if (EntryCount == 0) return;
  SignalChanging();
  for (std::int32_t i = 0; i < EntryCount; ++i) Entries[i].LineText = TextValue();
  EntryCount = 0;
  SetEntryCapacity(0);
  SignalChanged();
}

void TStringList::InsertEntry(std::int32_t index, const TextValue& text) {
  SignalChanging();
  if (EntryCount == EntryCapacity) GrowEntries();
  for (std::int32_t i = EntryCount; i > index; --i) Entries[i] = std::move(Entries[i - 1]);
  Entries[index] = TStringItem{text, nullptr};
  ++EntryCount;
  SignalChanged();
}

void TStringList::GrowEntries() {
  const std::int32_t step = EntryCapacity > 8 ? 16 : EntryCapacity > 4 ? 8 : 4;
  SetEntryCapacity(EntryCapacity + step);
}

void TStringList::ReserveLines(std::int32_t count) {
  if (EntryCount + count > EntryCapacity) SetEntryCapacity(EntryCount + count);
}

void TStringList::SetEntryCapacity(std::int32_t count) {
  if (count == 0) {
    Entries.reset();
  } else {
    auto resized = std::make_unique<TStringItem[]>(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < EntryCount; ++i) resized[i] = std::move(Entries[i]);
    Entries = std::move(resized);
  }
  EntryCapacity = count;
}

void TStringList::BatchStateChanged(bool entering) {
  if (entering) {
    SignalChanging();
  } else {
    SignalChanged();
  }
}

void TStringList::SignalChanging() {
  if (BatchDepth == 0 && ChangingHandler) ChangingHandler(*this);
}

void TStringList::SignalChanged() {
  if (BatchDepth == 0 && ChangedHandler) ChangedHandler(*this);
}

}  // namespace tidemark
