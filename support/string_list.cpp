#include "support/string_list.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// Calls `take` with each line of `bytes`: CR LF, a lone CR and a lone LF each
// end one line, and a line end at the very end makes no empty last line.
// Line ends are found with memchr, each search remembered until passed.
template <typename Take>
void ForEachLine(std::string_view bytes, Take take) {
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
    take(bytes.substr(position, end - position));
    position = end;
    if (position < bytes.size() && bytes[position] == kCarriageReturn) ++position;
    if (position < bytes.size() && bytes[position] == kLineFeed) ++position;
  }
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
  // whole beside its lines. Every byte or nothing: the lines replace the
  // list's only once all of them are in.
  constexpr std::int64_t kPieceSize = 1 << 20;
  std::vector<char> piece(
      static_cast<std::size_t>(std::min(std::max<std::int64_t>(remaining, 1), kPieceSize)));
  std::vector<TextValue> loaded;
  loaded.reserve(static_cast<std::size_t>(remaining / 32));  // a guess; lines are rarely shorter
  const auto take = [&loaded](std::string_view line) { loaded.emplace_back(line); };
  std::string pending;  // the bytes of a line not yet ended
  while (remaining > 0) {
    const auto wanted = static_cast<std::int32_t>(std::min<std::int64_t>(remaining, kPieceSize));
    const std::int32_t received = stream.ReadBytes(piece.data(), wanted);
    if (received <= 0) throw EReadError(LoadMessage(MessageId::StreamReadError));
    remaining -= received;
    pending.append(piece.data(), static_cast<std::size_t>(received));
    // Lines up to the last line end are complete; a CR at the very end may
    // yet be followed by its LF.
    const std::size_t lastLineFeed = pending.rfind(kLineFeed);
    std::size_t cut = lastLineFeed == std::string::npos ? 0 : lastLineFeed + 1;
    const std::size_t lastReturn = pending.rfind(kCarriageReturn);
    if (lastReturn != std::string::npos && lastReturn + 1 < pending.size()) {
      cut = std::max(cut, lastReturn + 1);
    }
    ForEachLine(std::string_view(pending).substr(0, cut), take);
    pending.erase(0, cut);
  }
  ForEachLine(pending, take);
  RemoveAllLines();
  AppendLoadedLines(loaded);
}

void TStrings::AppendLoadedLines(std::vector<TextValue>& lines) {
  ReserveLines(static_cast<std::int32_t>(lines.size()));
  for (const TextValue& line : lines) AppendLine(line);
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

void TStringList::AppendLoadedLines(std::vector<TextValue>& lines) {
  // Moved in, not shared: a file's lines need no signal each, nor a touch of
  // each line's block.
  SignalChanging();
  ReserveLines(static_cast<std::int32_t>(lines.size()));
  for (TextValue& line : lines) Entries[EntryCount++] = TStringItem{std::move(line), nullptr};
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
