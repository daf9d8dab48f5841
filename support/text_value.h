// String type: a reference-counted, copy-on-write byte string.
// The text value every part of the program passes around: a byte string in
// the system's ANSI code page. Its storage is one shared block holding a
// reference count, the length, the bytes and one zero byte after them, so a
// text can be handed to the platform as it stands. The empty text has no
// block. Copies share the block; a change first makes the block the caller's
// own (copy on change), so no other holder ever sees it. The length, the
// bytes and the reference count are read inline: a block's 8-byte header
// holds the reference count, then the length (its top bit a mark of its own). A block is either
// allocated on its own or carved, with many others, out of a chunk of a
// TextArena; the chunk lives as long as any of its blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>

namespace tidemark {

class TextArena;

class TextValue {
 public:
  TextValue() noexcept = default;
  // The bytes up to the first zero byte; a null pointer gives the empty text.
  TextValue(
      const char* zeroTerminated);  // NOLINT(google-explicit-constructor): literals read naturally.
  TextValue(const char* bytes, std::int32_t length);
  explicit TextValue(std::string_view bytes);

  // A text of `length` zero bytes (or, when not `zeroed`, bytes the caller
  // overwrites at once), to be filled through MutableBytes().
  static TextValue OfLength(std::int32_t length, bool zeroed = true);

  TextValue(const TextValue& other) noexcept : block_(other.block_) {
    if (block_ != nullptr) SetCount(Count() + 1);
  }
  TextValue(TextValue&& other) noexcept;
  TextValue& operator=(const TextValue& other) noexcept;
  TextValue& operator=(TextValue&& other) noexcept;
  ~TextValue() { Release(); }

  std::int32_t Length() const noexcept {
    if (block_ == nullptr) return 0;
    std::uint32_t word = 0;  // the block's length word (see text_value.cpp)
    std::memcpy(&word, reinterpret_cast<const char*>(block_) + 4, sizeof word);
    return static_cast<std::int32_t>(word & 0x7FFFFFFFu);
  }
  bool IsEmpty() const noexcept { return block_ == nullptr; }

  // The bytes followed by their zero byte; "" for the empty text, never null.
  const char* Bytes() const noexcept {
    return block_ == nullptr ? "" : reinterpret_cast<const char*>(block_) + 8;
  }
  std::string_view View() const noexcept { return {Bytes(), static_cast<std::size_t>(Length())}; }
  char At(std::int32_t index) const noexcept { return Bytes()[index]; }

  // The bytes for changing in place, after making the block this text's own.
  // Null for the empty text.
  char* MutableBytes();

  // Gives this text `bytes` in its own block, which it alone holds and which
  // was made (OfLength) at least as long: a text filled again and again
  // without an allocation each time. `bytes` is not empty.
  void Refill(std::string_view bytes) noexcept {
    const auto word = static_cast<std::uint32_t>(bytes.size());
    char* header = reinterpret_cast<char*>(block_);
    std::memcpy(header + 4, &word, sizeof word);
    std::memcpy(header + 8, bytes.data(), bytes.size());
    header[8 + bytes.size()] = '\0';
  }

  // The first `count` bytes (all of them when `count` is not below the length).
  TextValue Left(std::int32_t count) const;

  // How many texts share this one's block (0 for the empty text). For tests.
  std::int32_t ShareCount() const noexcept { return block_ == nullptr ? 0 : Count(); }

  friend bool operator==(const TextValue& left, const TextValue& right) noexcept;
  friend TextValue operator+(const TextValue& left, const TextValue& right);

 private:
  friend class TextArena;
  struct Block;
  struct Adopt {};
  TextValue(Block* adopted, Adopt) noexcept : block_(adopted) {}
  // The block's reference count, the header's first word (block_ not null).
  std::int32_t Count() const noexcept {
    std::int32_t count = 0;
    std::memcpy(&count, block_, sizeof count);
    return count;
  }
  void SetCount(std::int32_t count) const noexcept { std::memcpy(block_, &count, sizeof count); }
  // Lets go of the block; the last holder frees it.
  void Release() noexcept {
    if (block_ == nullptr) return;
    if (Count() > 1) {
      SetCount(Count() - 1);
    } else {
      Free();
    }
    block_ = nullptr;
  }
  void Free() noexcept;

  Block* block_ = nullptr;
};

// Makes the texts of many lines, as a file's load does, without one
// allocation each: their blocks are carved one after another out of large
// chunks. The texts come out once all are in; until then, and for whatever
// is not taken, the arena owns the chunks and frees them when it goes.
class TextArena {
 public:
  TextArena() = default;
  ~TextArena();
  TextArena(const TextArena&) = delete;
  TextArena& operator=(const TextArena&) = delete;

  // The next text.
  void Append(std::string_view bytes);
  // The next text, written in parts as they come: Open makes room for
  // `most` bytes, Reserve for more, Extend adds bytes (making more room when
  // it needs to), Close ends the text. Space gives room for `count` more
  // bytes, to be written there and then counted in by Extended.
  void Open(std::size_t most);
  void Reserve(std::size_t most);
  void Extend(std::string_view bytes);
  char* Space(std::size_t count);
  void Extended(std::size_t count) noexcept { openLength_ += count; }
  void Close();
  bool IsOpen() const noexcept { return open_ != nullptr; }
  std::int32_t Count() const noexcept { return count_; }
  // Hands every text to `take`, in order, and leaves the arena empty.
  void TakeAll(const std::function<void(TextValue&&)>& take);

 private:
  friend class TextValue;  // a carved block's release finds its chunk
  struct Chunk;
  char* Room(std::size_t size);

  Chunk* first_ = nullptr;
  Chunk* last_ = nullptr;
  std::int32_t count_ = 0;
  char* open_ = nullptr;  // where the open text's block begins
  std::size_t openLength_ = 0;
  std::size_t openMost_ = 0;
};

// The 1-based position of the first occurrence of `pattern` in `text`; 0 when
// it is absent or either text is empty.
std::int32_t PositionOf(const TextValue& pattern, const TextValue& text) noexcept;

}  // namespace tidemark
