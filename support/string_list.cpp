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
// (bytes.size() when nothing is left), and tells whether the last line end
// was a CR at the very end, whose LF may yet follow. Line ends are found with
// memchr, each search remembered until passed: every byte is looked at once.
template <typename Take>
std::size_t ForEachEndedLine(std::string_view bytes, Take take, bool& endsInCarriageReturn) {
  const auto find = [bytes](char byte, std::size_t from) {
    const void* found = std::memchr(bytes.data() + from, byte, bytes.size() - from);
    return found == nullptr
               ? bytes.size()
               : static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
  };
  std::size_t nextCarriageReturn = find(kCarriageReturn, 0);
  std::size_t nextLineFeed = find(kLineFeed, 0);
  std::size_t position = 0;
  endsInCarriageReturn = false;
  while (position < bytes.size()) {
    if (nextCarriageReturn < position) nextCarriageReturn = find(kCarriageReturn, position);
    if (nextLineFeed < position) nextLineFeed = find(kLineFeed, position);
    const std::size_t end = std::min(nextCarriageReturn, nextLineFeed);
    if (end == bytes.size()) return position;
    take(bytes.substr(position, end - position));
    position = end;
    if (bytes[position] == kCarriageReturn) {
      ++position;
      endsInCarriageReturn = position == bytes.size();
    }
    if (position < bytes.size() && bytes[position] == kLineFeed) ++position;
  }
  return position;
}

// The same over a whole text: a last line without a line end is a line too,
// and a line end at the very end makes no empty last line.
template <typename Take>
void ForEachLine(std::string_view bytes, Take take) {
  bool endsInCarriageReturn = false;
  const std::size_t rest = ForEachEndedLine(bytes, take, endsInCarriageReturn);
  if (rest < bytes.size()) take(bytes.substr(rest));
}

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
  // A seek that failed (-1) is no size: taken as one, a file would load as
  // empty, and its save would then lose every line.
  const std::int64_t size = stream.TotalSize();
  const std::int64_t position = stream.CurrentPosition();
  if (size < 0 || position < 0) throw EReadError(LoadMessage(MessageId::StreamReadError));
  std::int64_t remaining = size - position;
  if (remaining > std::numeric_limits<std::int32_t>::max()) {
    throw EReadError(LoadMessage(MessageId::StreamReadError));  // too large to hold
  }
  // Read in pieces and split as it comes, so the file's text is never held
  // whole beside its lines; the lines' texts are carved out of an arena, not
  // allocated one by one. Every byte or nothing: the lines replace the
  // list's only once all of them are in.
  constexpr std::int64_t kPieceSize = 1 << 20;
  constexpr std::size_t kLineRoom = 4096;  // for the rest of a line cut by a piece's end
  std::vector<char> piece(
      static_cast<std::size_t>(std::min(std::max<std::int64_t>(remaining, 1), kPieceSize)));
  TextArena loaded;
  // A block costs its line end and 7 bytes more: a guess at 32-byte lines.
  loaded.Expect(static_cast<std::size_t>(remaining + remaining / 4));
  bool afterCarriageReturn = false;  // the last piece ended in a CR; an LF may follow
  const auto take = [&loaded](std::string_view line) {
    if (!loaded.IsOpen()) loaded.Open(line.size());
    loaded.Extend(line);
    loaded.Close();
  };
  while (remaining > 0) {
    const auto wanted = static_cast<std::int32_t>(std::min<std::int64_t>(remaining, kPieceSize));
    const std::int32_t received = stream.ReadBytes(piece.data(), wanted);
    if (received <= 0) throw EReadError(LoadMessage(MessageId::StreamReadError));
    remaining -= received;
    std::string_view bytes(piece.data(), static_cast<std::size_t>(received));
    if (afterCarriageReturn && bytes.front() == kLineFeed) bytes.remove_prefix(1);
    const std::size_t rest = ForEachEndedLine(bytes, take, afterCarriageReturn);
    if (rest < bytes.size()) {
      // A line that runs on past its piece goes into the arena as it comes.
      // One that has run through a whole piece is long: it is given room
      // for the longest it can still grow to, so it never moves again.
      if (!loaded.IsOpen()) {
        loaded.Open(bytes.size() - rest + kLineRoom);
      } else if (rest == 0) {
        loaded.Reserve(loaded.OpenLength() + bytes.size() + static_cast<std::size_t>(remaining));
      }
      loaded.Extend(bytes.substr(rest));
    }
  }
  if (loaded.IsOpen()) loaded.Close();
  RemoveAllLines();
  AppendLoadedLines(loaded);
}

void TStrings::AppendLoadedLines(TextArena& lines) {
  ReserveLines(lines.Count());
  lines.TakeAll([this](TextValue&& line) { AppendLine(line); });
}

void TStrings::SaveLinesToFile(const TextValue& path) {
  ReplaceFileContents(path, [this](TStream& stream) { SaveLinesToStream(stream); });
}

void TStrings::SaveLinesToStream(TStream& stream) {
  // Written through a small buffer rather than joined first: the whole text
  // is never held twice.
  constexpr std::size_t kBufferSize = std::size_t{64} * 1024;
  std::string buffer;
  buffer.reserve(kBufferSize);
  const auto flush = [&] {
    stream.WriteExactly(buffer.data(), static_cast<std::int64_t>(buffer.size()));
    buffer.clear();
  };
  const std::int32_t count = LineCount();
  for (std::int32_t i = 0; i < count; ++i) {
    const TextValue line = LineAt(i);
    if (buffer.size() + static_cast<std::size_t>(line.Length()) + 2 > kBufferSize) flush();
    if (static_cast<std::size_t>(line.Length()) + 2 > kBufferSize) {
      stream.WriteExactly(line.Bytes(), line.Length());
    } else {
      buffer.append(line.View());
    }
    buffer += kCarriageReturn;
    buffer += kLineFeed;
  }
  flush();
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

void TStringList::AppendLoadedLines(TextArena& lines) {
  // Moved in, not shared: a file's lines need no signal each, nor a touch of
  // each line's block.
  SignalChanging();
  ReserveLines(lines.Count());
  lines.TakeAll([this](TextValue&& line) {
    Entries[EntryCount++] = TStringItem{std::move(line), nullptr};
  });
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
