#include "support/text_value.h"

#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace tidemark {

// The block's header; the bytes and their zero byte follow it directly.
struct TextValue::Block {
  std::int32_t ReferenceCount;
  std::int32_t Length;

  char* Bytes() noexcept { return reinterpret_cast<char*>(this + 1); }

  static Block* Allocate(std::int32_t length) {
    void* memory = ::operator new(sizeof(Block) + static_cast<std::size_t>(length) + 1);
    auto* block = ::new (memory) Block{1, length};
    block->Bytes()[length] = '\0';
    return block;
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

TextValue::TextValue(const TextValue& other) noexcept : block_(other.block_) {
  if (block_ != nullptr) ++block_->ReferenceCount;
}

TextValue::TextValue(TextValue&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }

TextValue& TextValue::operator=(const TextValue& other) noexcept {
  if (this == &other) return *this;
  if (other.block_ != nullptr) ++other.block_->ReferenceCount;
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

TextValue::~TextValue() { Release(); }

void TextValue::Release() noexcept {
  if (block_ != nullptr && --block_->ReferenceCount == 0) ::operator delete(block_);
  block_ = nullptr;
}

std::int32_t TextValue::Length() const noexcept { return block_ == nullptr ? 0 : block_->Length; }

const char* TextValue::Bytes() const noexcept { return block_ == nullptr ? "" : block_->Bytes(); }

char* TextValue::MutableBytes() {
  if (block_ == nullptr) return nullptr;
  if (block_->ReferenceCount > 1) {
    Block* own = Block::Allocate(block_->Length);
    std::memcpy(own->Bytes(), block_->Bytes(), static_cast<std::size_t>(block_->Length));
    --block_->ReferenceCount;
    block_ = own;
  }
  return block_->Bytes();
}

TextValue TextValue::Left(std::int32_t count) const {
  if (count >= Length()) return *this;
  return TextValue(Bytes(), count);
}

std::int32_t TextValue::ShareCount() const noexcept {
  return block_ == nullptr ? 0 : block_->ReferenceCount;
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
  TextValue sum = TextValue::OfLength(static_cast<std::int32_t>(length), false);
  char* bytes = sum.MutableBytes();
  std::memcpy(bytes, left.Bytes(), static_cast<std::size_t>(left.Length()));
  std::memcpy(bytes + left.Length(), right.Bytes(), static_cast<std::size_t>(right.Length()));
  return sum;
}

std::int32_t PositionOf(const TextValue& pattern, const TextValue& text) noexcept {
  if (pattern.IsEmpty() || text.IsEmpty()) return 0;
  const std::size_t found = text.View().find(pattern.View());
  return found == std::string_view::npos ? 0 : static_cast<std::int32_t>(found) + 1;
}

}  // namespace tidemark
