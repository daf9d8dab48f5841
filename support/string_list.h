// Ordered lists of text lines, moved to and from files as line-oriented text.
// A line ends at CR LF, a lone CR or a lone LF; every line is written back
// followed by CR LF. Every other byte, a zero byte included, belongs to its
// line and is written back as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string_view>

#include "support/file_lines.h"
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
  // The first line from `from` on that begins with `prefix`, or -1. (The
  // string list seeks in its loaded lines as read, making no text for each.)
  virtual std::int32_t NextLineStartingWith(std::string_view prefix, std::int32_t from) const;

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
  // Every line followed by CR LF.
  virtual void SaveLinesToStream(TStream& stream) = 0;

  void BeginBatch();
  void EndBatch();

 protected:
  virtual void BatchStateChanged(bool entering);
  std::int32_t BatchDepth = 0;

  // Room for `count` more lines, when a caller knows how many are coming.
  virtual void ReserveLines(std::int32_t count);
  // Takes the lines a load read, in order, into the list, which the load
  // has emptied.
  virtual void AppendLoadedLines(std::unique_ptr<FileLines> lines) = 0;
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
  std::int32_t LineCount() const override { return LoadedLines + EntryCount; }
  void ReplaceLine(std::int32_t index, const TextValue& text) override;
  std::int32_t AppendLine(const TextValue& text) override;
  void RemoveAllLines() override;
  std::int32_t NextLineStartingWith(std::string_view prefix, std::int32_t from) const override;
  // The lines that stand as the file had them go out straight from where
  // they were read.
  void SaveLinesToStream(TStream& stream) override;

  // The lines the list holds before it must grow.
  std::int32_t Capacity() const { return LoadedLines + EntryCapacity; }

  TNotifyEvent ChangedHandler;
  TNotifyEvent ChangingHandler;

 protected:
  void BatchStateChanged(bool entering) override;
  void ReserveLines(std::int32_t count) override;
  void AppendLoadedLines(std::unique_ptr<FileLines> lines) override;

 private:
  TextValue LoadedLineAt(std::int32_t index) const;
  void InsertEntry(std::int32_t index, const TextValue& text);
  void GrowEntries();
  void SetEntryCapacity(std::int32_t count);
  void SignalChanging();
  void SignalChanged();
  void CheckIndex(std::int32_t index) const;

  // A loaded file's lines come first, as it was read (no item of their own);
  // the lines appended after them are entries.
  std::unique_ptr<FileLines> Loaded;
  std::int32_t LoadedLines = 0;
  // The texts of the loaded lines that have one: lines replaced, lines kept
  // apart at the load, and lines read that a caller still held when the
  // next was read (every read of a line shares its one text).
  mutable std::map<std::int32_t, TextValue> Held;
  // The loaded line read last, its text filled again for the next read when
  // no one else holds it; its block has room for RecentRoom bytes.
  mutable std::int32_t RecentIndex = -1;
  mutable TextValue Recent;
  mutable std::size_t RecentRoom = 0;

  // The appended lines; a large list's come from a memory region of their own.
  std::unique_ptr<TStringItem[], EntryArrayDeleter> Entries;
  std::int32_t EntryCount = 0;
  std::int32_t EntryCapacity = 0;
  bool KeepSorted = false;  // this program never sorts
};

}  // namespace tidemark
