#include "support/text_value.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "support/large_memory.h"

namespace tidemark {

namespace {

// Chunks start at multiples of their alignment, and every block in one
// starts within its first kChunkAlignment bytes: a block finds its chunk by
// rounding its address down. A chunk is at most that size, unless it holds
// one text longer than that alone.
constexpr std::size_t kChunkAlignment = std::size_t{2} << 20;
constexpr std::size_t kSmallestChunk = std::size_t{64} << 10;
constexpr std::uint32_t kCarvedFlag = 0x80000000u;  // in the length word
static_assert(~kCarvedFlag == 0x7FFFFFFFu, "TextValue::Length masks the same bit off");

std::size_t RoundUp(std::size_t size, std::size_t unit) { return (size + unit - 1) / unit * unit; }

}  // namespace

// A block: an 8-byte header (the reference count, then the length, whose
// top bit marks a block carved from an arena chunk), the bytes and a zero
// byte. Carved blocks lie end to end at any byte offset, so the header is
// read and written byte by byte, never through an aligned field.
struct TextValue::Block {
  static constexpr std::size_t kHeaderSize = 8;

  char* Header() noexcept { return reinterpret_cast<char*>(this); }
  std::int32_t ReferenceCount() noexcept {
    std::int32_t count = 0;
    std::memcpy(&count, Header(), sizeof count);
    return count;
  }
  void SetReferenceCount(std::int32_t count) noexcept {
    std::memcpy(Header(), &count, sizeof count);
  }
  std::uint32_t LengthWord() noexcept {
    std::uint32_t word = 0;
    std::memcpy(&word, Header() + 4, sizeof word);
    return word;
  }
  std::int32_t Length() noexcept { return static_cast<std::int32_t>(LengthWord() & ~kCarvedFlag); }
  bool IsCarved() noexcept { return (LengthWord() & kCarvedFlag) != 0; }
  char* Bytes() noexcept { return Header() + kHeaderSize; }

  // Writes a header for `length` bytes at `memory`, the zero byte after them.
  static Block* Make(void* memory, std::int32_t length, bool carved) noexcept {
    auto* block = ::new (memory) Block;
    block->SetReferenceCount(1);
    const std::uint32_t word = static_cast<std::uint32_t>(length) | (carved ? kCarvedFlag : 0);
    std::memcpy(block->Header() + 4, &word, sizeof word);
    block->Bytes()[length] = '\0';
    return block;
  }

  static Block* Allocate(std::int32_t length) {
    return Make(::operator new(kHeaderSize + static_cast<std::size_t>(length) + 1), length, false);
  }
};

// A chunk: this header, then blocks end to end. It is freed when the last
// block carved from it goes, or by its arena when no text took any.
struct TextArena::Chunk {
  std::int64_t LiveBlocks = 0;
  std::size_t Size = 0;  // in all, this header included
  std::size_t Used = sizeof(Chunk);
  Chunk* Next = nullptr;

  static Chunk* Allocate(std::size_t size) {
    auto* chunk = ::new (AllocateRegion(size, kChunkAlignment)) Chunk;
    chunk->Size = size;
    return chunk;
  }
  static void Free(Chunk* chunk) noexcept {
    chunk->~Chunk();
    FreeRegion(chunk);
  }
  static Chunk* Of(const void* block) noexcept {
    return reinterpret_cast<Chunk*>(reinterpret_cast<std::uintptr_t>(block) &
                                    ~(std::uintptr_t{kChunkAlignment} - 1));
  }
};

TextValue::TextValue(const char* zeroTerminated)
    : TextValue(zeroTerminated == nullptr ? std::string_view{} : std::string_view{zeroTerminated}) {
}

TextValue::TextValue(const char* bytes, std::int32_t length) {
  if (length <= 0) return;
  block_ = Block::Allocate(length);
  std::memcpy(block_->Bytes(), bytes, static_cast<std::size_t>(length));
}

TextValue::TextValue(std::string_view bytes) {
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw std::length_error("text value longer than 2 GiB");
  }
  const auto length = static_cast<std::int32_t>(bytes.size());
  if (length == 0) return;
  block_ = Block::Allocate(length);
  std::memcpy(block_->Bytes(), bytes.data(), bytes.size());
}

TextValue TextValue::OfLength(std::int32_t length, bool zeroed) {
  TextValue text;
  if (length <= 0) return text;
  text.block_ = Block::Allocate(length);
  if (zeroed) std::memset(text.block_->Bytes(), 0, static_cast<std::size_t>(length));
  return text;
}

TextValue::TextValue(TextValue&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }

TextValue& TextValue::operator=(const TextValue& other) noexcept {
  if (this == &other) return *this;
  if (other.block_ != nullptr) other.block_->SetReferenceCount(other.block_->ReferenceCount() + 1);
  Release();
  block_ = other.block_;
  return *this;
}

TextValue& TextValue::operator=(TextValue&& other) noexcept {
  if (this != &other) {
    Release();
    block_ = other.block_;
    other.block_ = nullptr;
  }
  return *this;
}

void TextValue::Free() noexcept {
  if (!block_->IsCarved()) {
    ::operator delete(block_);
  } else if (TextArena::Chunk* chunk = TextArena::Chunk::Of(block_); --chunk->LiveBlocks == 0) {
    TextArena::Chunk::Free(chunk);
  }
}

char* TextValue::MutableBytes() {
  if (block_ == nullptr) return nullptr;
  if (block_->ReferenceCount() > 1) {
    Block* own = Block::Allocate(block_->Length());
    std::memcpy(own->Bytes(), block_->Bytes(), static_cast<std::size_t>(block_->Length()));
    block_->SetReferenceCount(block_->ReferenceCount() - 1);
    block_ = own;
  }
  return block_->Bytes();
}

TextValue TextValue::Left(std::int32_t count) const {
  if (count >= Length()) return *this;
  return TextValue(Bytes(), count);
}

bool operator==(const TextValue& left, const TextValue& right) noexcept {
  if (left.block_ == right.block_) return true;
  return left.View() == right.View();
}

TextValue operator+(const TextValue& left, const TextValue& right) {
  if (right.IsEmpty()) return left;
  if (left.IsEmpty()) return right;
  const std::int64_t length = std::int64_t{left.Length()} + right.Length();
  if (length > std::numeric_limits<std::int32_t>::max()) {
    throw std::length_error("text value longer than 2 GiB");
  }
  TextValue sum(TextValue::Block::Allocate(static_cast<std::int32_t>(length)), TextValue::Adopt{});
  char* bytes = sum.block_->Bytes();
  std::memcpy(bytes, left.Bytes(), static_cast<std::size_t>(left.Length()));
  std::memcpy(bytes + left.Length(), right.Bytes(), static_cast<std::size_t>(right.Length()));
  return sum;
}

// --- TextArena --------------------------------------------------------------

TextArena::~TextArena() {
  while (first_ != nullptr) {
    Chunk* next = first_->Next;
    Chunk::Free(first_);
    first_ = next;
  }
}

// Room for `size` bytes at the end of the last chunk, or of a new one: one of
// the usual size, or of its own for a text longer than that holds.
char* TextArena::Room(std::size_t size) {
  // A block must begin within its chunk's first kChunkAlignment bytes, or it
  // would not find its chunk: after a long text, a new chunk.
  if (last_ == nullptr || last_->Used >= kChunkAlignment || last_->Size - last_->Used < size) {
    // The first chunk small: a few texts take little memory.
    Chunk* chunk = Chunk::Allocate(std::max(RoundUp(sizeof(Chunk) + size, kSmallestChunk),
                                            last_ == nullptr ? kSmallestChunk : kChunkAlignment));
    (last_ == nullptr ? first_ : last_->Next) = chunk;
    last_ = chunk;
  }
  return reinterpret_cast<char*>(last_) + last_->Used;
}

void TextArena::Append(std::string_view bytes) {
  Open(bytes.size());
  Extend(bytes);
  Close();
}

void TextArena::Open(std::size_t most) {
  open_ = nullptr;
  openLength_ = 0;
  Reserve(most);
}

void TextArena::Reserve(std::size_t most) {
  if (open_ != nullptr && most <= openMost_) return;
  if (most > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw std::length_error("text value longer than 2 GiB");
  }
  // The open text lies past the last chunk's used part: where there is room
  // enough it stays; otherwise what it has moves to a chunk with room.
  char* room = Room(TextValue::Block::kHeaderSize + most + 1);
  if (open_ != nullptr && room != open_ && openLength_ > 0) {
    std::memcpy(room + TextValue::Block::kHeaderSize, open_ + TextValue::Block::kHeaderSize,
                openLength_);
  }
  open_ = room;
  openMost_ = most;
}

void TextArena::Extend(std::string_view bytes) {
  if (bytes.empty()) return;  // (its pointer may be null, which memcpy may not be given)
  std::memcpy(Space(bytes.size()), bytes.data(), bytes.size());
  Extended(bytes.size());
}

char* TextArena::Space(std::size_t count) {
  if (count > openMost_ - openLength_) Reserve(std::max(openLength_ + count, 2 * openMost_));
  return open_ + TextValue::Block::kHeaderSize + openLength_;
}

void TextArena::Close() {
  if (count_ == std::numeric_limits<std::int32_t>::max()) {
    throw std::length_error("more than 2^31 texts");
  }
  using Block = TextValue::Block;
  if (openLength_ == 0) {
    // An empty text has no block: a bare header of length 0 keeps its place.
    std::memset(open_, 0, Block::kHeaderSize);
    last_->Used += Block::kHeaderSize;
  } else {
    Block::Make(open_, static_cast<std::int32_t>(openLength_), true);
    last_->Used += Block::kHeaderSize + openLength_ + 1;
    ++last_->LiveBlocks;
  }
  open_ = nullptr;
  ++count_;
}

void TextArena::TakeAll(const std::function<void(TextValue&&)>& take) {
  while (first_ != nullptr) {
    Chunk* chunk = first_;
    first_ = chunk->Next;
    if (first_ == nullptr) last_ = nullptr;
    // Held while walked: a text that `take` lets go of at once must not free
    // the chunk under the walk. A chunk whose texts are all empty goes here.
    ++chunk->LiveBlocks;
    std::size_t offset = sizeof(Chunk);
    while (offset < chunk->Used) {
      auto* block = reinterpret_cast<TextValue::Block*>(reinterpret_cast<char*>(chunk) + offset);
      const std::int32_t length = block->Length();
      take(length == 0 ? TextValue() : TextValue(block, TextValue::Adopt{}));
      offset +=
          TextValue::Block::kHeaderSize + (length == 0 ? 0 : static_cast<std::size_t>(length) + 1);
    }
    if (--chunk->LiveBlocks == 0) Chunk::Free(chunk);
  }
  count_ = 0;
}

std::int32_t PositionOf(const TextValue& pattern, const TextValue& text) noexcept {
  if (pattern.IsEmpty() || text.IsEmpty()) return 0;
  const std::size_t found = text.View().find(pattern.View());
  return found == std::string_view::npos ? 0 : static_cast<std::int32_t>(found) + 1;
}

}  // namespace tidemark
