#include "support/string_list.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/errors.h"
#include "support/file_replace.h"
#include "support/large_memory.h"
#include "support/messages.h"

namespace tidemark {

namespace {

constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';
constexpr std::string_view kLineEnd = "\r\n";

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

// Calls `take` with each line of `bytes` that ends there: CR LF, a lone CR
// and a lone LF each end one line. Returns where the unended rest begins
// (bytes.size() when nothing is left). Line ends are found with memchr, each
// search remembered until passed: every byte is looked at once. (A load
// splits as FileLines does; the fuzzer holds the two to one answer.)
template <typename Take>
std::size_t ForEachEndedLine(std::string_view bytes, Take take) {
  const auto find = [bytes](char byte, std::size_t from) {
    const void* found = std::memchr(bytes.data() + from, byte, bytes.size() - from);
    return found == nullptr
               ? bytes.size()
               : static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
  };
  std::size_t nextCarriageReturn = find(kCarriageReturn, 0);
  std::size_t nextLineFeed = find(kLineFeed, 0);
  std::size_t position = 0;
  while (position < bytes.size()) {
    if (nextCarriageReturn < position) nextCarriageReturn = find(kCarriageReturn, position);
    if (nextLineFeed < position) nextLineFeed = find(kLineFeed, position);
    const std::size_t end = std::min(nextCarriageReturn, nextLineFeed);
    if (end == bytes.size()) return position;
    take(bytes.substr(position, end - position));
    position = end;
    if (bytes[position] == kCarriageReturn) ++position;
    if (position < bytes.size() && bytes[position] == kLineFeed) ++position;
  }
  return position;
}

// The same over a whole text: a last line without a line end is a line too,
// and a line end at the very end makes no empty last line.
template <typename Take>
void ForEachLine(std::string_view bytes, Take take) {
  const std::size_t rest = ForEachEndedLine(bytes, take);
  if (rest < bytes.size()) take(bytes.substr(rest));
}

// A save's bytes go out through a buffer, so that short lines make few
// writes; a run of bytes longer than the buffer goes straight from where it
// lies, in writes the size of a load's reads. The whole text is never held
// twice.
class SaveWriter {
 public:
  explicit SaveWriter(TStream& stream) : stream_(stream) { buffer_.reserve(kBufferSize); }
  void Put(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > kBufferSize) Flush();
    if (bytes.size() <= kBufferSize) {
      buffer_.append(bytes);
      return;
    }
    for (; !bytes.empty(); bytes.remove_prefix(std::min(bytes.size(), kWriteSize))) {
      stream_.WriteExactly(bytes.data(),
                           static_cast<std::int64_t>(std::min(bytes.size(), kWriteSize)));
    }
  }
  void PutLine(std::string_view line) {
    Put(line);
    Put(kLineEnd);
  }
  void Flush() {
    stream_.WriteExactly(buffer_.data(), static_cast<std::int64_t>(buffer_.size()));
    buffer_.clear();
  }

 private:
  static constexpr std::size_t kBufferSize = std::size_t{64} * 1024;
  static constexpr std::size_t kWriteSize = std::size_t{1} << 20;
  TStream& stream_;
  std::string buffer_;
};

// The room a loaded line's text is first made with: most lines fit, and
// each next read fills the same block.
constexpr std::size_t kRecentRoom = 256;

}  // namespace

// --- TStrings -------------------------------------------------------------

TextValue TStrings::JoinLinesAsText() const {
  const std::int32_t count = LineCount();
  std::int64_t length = 0;
  for (std::int32_t i = 0; i < count; ++i) length += LineAt(i).Length() + 2;
  if (length > std::numeric_limits<std::int32_t>::max()) throw std::bad_alloc();
  TextValue text = TextValue::OfLength(static_cast<std::int32_t>(length), false);
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

std::int32_t TStrings::NextLineStartingWith(std::string_view prefix, std::int32_t from) const {
  for (std::int32_t i = std::max(from, 0); i < LineCount(); ++i) {
    if (LineAt(i).View().starts_with(prefix)) return i;
  }
  return -1;
}

void TStrings::SplitTextIntoLines(const TextValue& text) {
  BatchBracket bracket(*this);
  RemoveAllLines();
  const std::string_view bytes = text.View();
  // Counted first, so the list is sized once rather than grown step by step.
  std::int32_t count = 0;
  ForEachLine(bytes, [&count](std::string_view) { ++count; });
  if (count > 0) ReserveLines(count);
  ForEachLine(bytes, [this](std::string_view line) { AppendLine(TextValue(line)); });
}

void TStrings::LoadLinesFromFile(const TextValue& path) {
  TFileStream stream(path, ModeOpenRead);
  LoadLinesFromStream(stream);
}

void TStrings::LoadLinesFromStream(TStream& stream) {
  BatchBracket bracket(*this);
  // Every byte or nothing: the lines replace the list's only once all of
  // them are in.
  auto lines = std::make_unique<FileLines>();
  lines->Read(stream);
  RemoveAllLines();
  AppendLoadedLines(std::move(lines));
}

void TStrings::SaveLinesToFile(const TextValue& path) {
  ReplaceFileContents(path, [this](TStream& stream) { SaveLinesToStream(stream); });
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
  if (index < 0 || index >= LineCount()) throw EListError(LoadMessage(MessageId::ListIndexError));
}

TextValue TStringList::LineAt(std::int32_t index) const {
  if (index >= 0 && index < LoadedLines) {
    // The usual read, of each line once and in order: the text of the line
    // read last, which no one holds any more, is filled again.
    if (index != RecentIndex && Recent.ShareCount() == 1 &&
        (Held.empty() || !Held.contains(index))) {
      const std::string_view line = Loaded->Line(index);
      if (!line.empty() && line.size() <= RecentRoom) {
        Recent.Refill(line);
        RecentIndex = index;
        return Recent;
      }
    }
    return LoadedLineAt(index);
  }
  CheckIndex(index);
  return Entries[index - LoadedLines].LineText;
}

TextValue TStringList::LoadedLineAt(std::int32_t index) const {
  if (const auto found = Held.find(index); found != Held.end()) return found->second;
  if (index == RecentIndex) return Recent;
  // A caller still holds the line read last: it keeps that text, and later
  // reads of the line share it.
  if (RecentIndex >= 0 && Recent.ShareCount() > 1) Held.emplace(RecentIndex, std::move(Recent));
  RecentIndex = -1;
  const std::string_view line = Loaded->Line(index);
  if (line.empty()) return {};
  if (Recent.ShareCount() != 1 || line.size() > RecentRoom) {
    RecentRoom = std::max(line.size(), kRecentRoom);
    Recent = TextValue::OfLength(static_cast<std::int32_t>(RecentRoom), false);
  }
  Recent.Refill(line);
  RecentIndex = index;
  return Recent;
}

void TStringList::ReplaceLine(std::int32_t index, const TextValue& text) {
  if (KeepSorted) throw EListError(LoadMessage(MessageId::SortedListError));
  CheckIndex(index);
  SignalChanging();
  if (index < LoadedLines) {
    if (index == RecentIndex) RecentIndex = -1;
    Held.insert_or_assign(index, text);
  } else {
    Entries[index - LoadedLines].LineText = text;
  }
  SignalChanged();
}

std::int32_t TStringList::NextLineStartingWith(std::string_view prefix, std::int32_t from) const {
  std::int32_t i = std::max(from, 0);
  // The loaded lines as read, up to each that has a text of its own.
  for (auto held = Held.lower_bound(i); i < LoadedLines; ++held) {
    const std::int32_t until =
        held != Held.end() ? std::min(held->first, LoadedLines) : LoadedLines;
    i = Loaded->NextStartingWith(prefix, i, until);
    if (i < until) return i;
    if (until == LoadedLines) break;
    if (held->second.View().starts_with(prefix)) return until;
    i = until + 1;
  }
  for (i = std::max(i, LoadedLines); i < LineCount(); ++i) {
    if (Entries[i - LoadedLines].LineText.View().starts_with(prefix)) return i;
  }
  return -1;
}

std::int32_t TStringList::AppendLine(const TextValue& text) {
  InsertEntry(EntryCount, text);
  return LineCount() - 1;
}

void TStringList::RemoveAllLines() {
  if (LineCount() == 0) {
    Loaded.reset();
    return;
  }
  SignalChanging();
  Loaded.reset();
  LoadedLines = 0;
  Held.clear();
  RecentIndex = -1;
  Recent = TextValue();
  for (std::int32_t i = 0; i < EntryCount; ++i) Entries[i].LineText = TextValue();
  EntryCount = 0;
  SetEntryCapacity(0);
  SignalChanged();
}

void TStringList::AppendLoadedLines(std::unique_ptr<FileLines> lines) {
  SignalChanging();
  Loaded = std::move(lines);
  LoadedLines = Loaded->Count();
  Loaded->TakeApart([this](std::int32_t index, TextValue&& line) {
    Held.insert_or_assign(index, std::move(line));
  });
  SignalChanged();
}

void TStringList::SaveLinesToStream(TStream& stream) {
  SaveWriter writer(stream);
  const std::int32_t loaded = LoadedLines;
  // The loaded lines that end in CR LF and have no text of their own are
  // written as runs of the file's bytes; the others one by one.
  std::int32_t runStart = 0;
  auto held = Held.begin();
  for (std::int32_t i = 0; i < loaded; ++i) {
    i = Loaded->NextWithoutCrLf(i);
    if (held != Held.end()) i = std::min(i, held->first);
    if (i >= loaded) break;
    const bool hasText = held != Held.end() && held->first == i;
    writer.Put(Loaded->Span(runStart, i));
    writer.PutLine(hasText ? (held++)->second.View() : Loaded->Line(i));
    runStart = i + 1;
  }
  if (loaded > 0) writer.Put(Loaded->Span(runStart, loaded));
  for (std::int32_t i = 0; i < EntryCount; ++i) writer.PutLine(Entries[i].LineText.View());
  writer.Flush();
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

void EntryArrayDeleter::operator()(TStringItem* items) const noexcept {
  std::destroy_n(items, Count);
  if (InRegion(Count)) {
    FreeRegion(items);
  } else {
    ::operator delete(items);
  }
}

void TStringList::SetEntryCapacity(std::int32_t count) {
  if (count == 0) {
    Entries.reset();
  } else {
    const auto size = static_cast<std::size_t>(count);
    const std::size_t bytes = size * sizeof(TStringItem);
    void* memory = EntryArrayDeleter::InRegion(size)
                       ? AllocateRegion(bytes, alignof(std::max_align_t))
                       : ::operator new(bytes);
    auto* items = static_cast<TStringItem*>(memory);
    std::uninitialized_value_construct_n(items, size);
    std::unique_ptr<TStringItem[], EntryArrayDeleter> resized(items, EntryArrayDeleter{size});
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
