// The text value every part of the program passes around: a byte string in
// the system's ANSI code page. Its storage is one shared block holding a
// reference count, the length, the bytes and one zero byte after them, so a
// text can be handed to the platform as it stands. The empty text has no
// block. Copies share the block; a change first makes the block the caller's
// own (copy on change), so no other holder ever sees it.
#pragma once

#include <cstdint>
#include <string_view>

namespace tidemark {

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

  TextValue(const TextValue& other) noexcept;
  TextValue(TextValue&& other) noexcept;
  TextValue& operator=(const TextValue& other) noexcept;
  TextValue& operator=(TextValue&& other) noexcept;
  ~TextValue();

  std::int32_t Length() const noexcept;
  bool IsEmpty() const noexcept { return block_ == nullptr; }

  // The bytes followed by their zero byte; "" for the empty text, never null.
  const char* Bytes() const noexcept;
  std::string_view View() const noexcept { return {Bytes(), static_cast<std::size_t>(Length())}; }
  char At(std::int32_t index) const noexcept { return Bytes()[index]; }

  // The bytes for changing in place, after making the block this text's own.
  // Null for the empty text.
  char* MutableBytes();

  // The first `count` bytes (all of them when `count` is not below the length).
  TextValue Left(std::int32_t count) const;

  // How many texts share this one's block (0 for the empty text). For tests.
  std::int32_t ShareCount() const noexcept;

  friend bool operator==(const TextValue& left, const TextValue& right) noexcept;
  friend TextValue operator+(const TextValue& left, const TextValue& right);

 private:
  struct Block;
  void Release() noexcept;

  Block* block_ = nullptr;
};

// The 1-based position of the first occurrence of `pattern` in `text`; 0 when
// it is absent or either text is empty.
std::int32_t PositionOf(const TextValue& pattern, const TextValue& text) noexcept;

}  // namespace tidemark
