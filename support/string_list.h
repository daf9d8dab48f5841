// Ordered lists of text lines, moved to and from files as line-oriented text.
// A line ends at CR LF, a lone CR or a lone LF; every line is written back
// followed by CR LF. Every other byte, a zero byte included, belongs to its
// line and is written back as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "support/file_stream.h"
#include "support/text_value.h"

namespace tidemark {

class TPersistent : public TObject {};

// Text and file behaviour in terms of abstract line access.
class TStrings : public TPersistent {
 public:
  virtual TextValue LineAt(std::int32_t index) const = 0;
  virtual std::int32_t LineCount() const = 0;
  virtual void ReplaceLine(std::int32_t index, const TextValue& text) = 0;
  virtual std::int32_t AppendLine(const TextValue& text) = 0;
  virtual void RemoveAllLines() = 0;

  // Every line followed by CR LF, in one text allocated at its exact size.
  virtual TextValue JoinLinesAsText() const;
  // Replaces the lines with those of `text`.
  virtual void SplitTextIntoLines(const TextValue& text);

  // Replaces the lines with the file's. Raises EFOpenError when it cannot be
  // opened (held elsewhere: the file is opened with sole access) and
  // EReadError when fewer bytes arrive than it holds; the list is then as it was.
  virtual void LoadLinesFromFile(const TextValue& path);
  virtual void LoadLinesFromStream(TStream& stream);
  // Writes the lines to the file, replacing it in one step (see ReplaceFileContents).
  virtual void SaveLinesToFile(const TextValue& path);
  virtual void SaveLinesToStream(TStream& stream);

  void BeginBatch();
  void EndBatch();

 protected:
  virtual void BatchStateChanged(bool entering);
  std::int32_t BatchDepth = 0;

  // Room for `count` more lines, when a caller knows how many are coming.
  virtual void ReserveLines(std::int32_t count);
  // Appends the lines a load read, in order, taking them from the arena.
  virtual void AppendLoadedLines(TextArena& lines);
};

struct TStringItem {
  TextValue LineText;
  void* LinkedObject = nullptr;  // carried, never owned
};

// Frees a string list's entries: the heap's, or a region's when large.
struct EntryArrayDeleter {
  // Whether an array of `count` entries comes from a region: from 1 MiB on.
  static bool InRegion(std::size_t count) noexcept {
    return count * sizeof(TStringItem) >= (std::size_t{1} << 20);
  }
  std::size_t Count = 0;
  void operator()(TStringItem* items) const noexcept;
};

using TNotifyEvent = std::function<void(TObject& sender)>;

class TStringList : public TStrings {
 public:
  TStringList() = default;
  ~TStringList() override;
  TStringList(const TStringList&) = delete;
  TStringList& operator=(const TStringList&) = delete;

  TextValue LineAt(std::int32_t index) const override;
  std::int32_t LineCount() const override { return EntryCount; }
  void ReplaceLine(std::int32_t index, const TextValue& text) override;
  std::int32_t AppendLine(const TextValue& text) override;
  void RemoveAllLines() override;

  std::int32_t Capacity() const { return EntryCapacity; }

  TNotifyEvent ChangedHandler;
  TNotifyEvent ChangingHandler;

 protected:
  void BatchStateChanged(bool entering) override;
  void ReserveLines(std::int32_t count) override;
  void AppendLoadedLines(TextArena& lines) override;

 private:
  void InsertEntry(std::int32_t index, const TextValue& text);
  void GrowEntries();
  void SetEntryCapacity(std::int32_t count);
  void SignalChanging();
  void SignalChanged();
  void CheckIndex(std::int32_t index) const;

  // The entries; a large list's come from a memory region of their own.
  std::unique_ptr<TStringItem[], EntryArrayDeleter> Entries;
  std::int32_t EntryCount = 0;
  std::int32_t EntryCapacity = 0;
  bool KeepSorted = false;  // this program never sorts
};

}  // namespace tidemark
