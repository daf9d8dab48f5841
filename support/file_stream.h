// Streams of bytes: the abstract stream, one over an operating-system file
// handle, and one that opens a file by path and mode. Sizes and positions are
// 64-bit; a single read or write moves at most 2 GiB.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "support/object.h"
#include "support/text_value.h"

namespace tidemark {

enum class SeekOrigin : std::uint16_t { FromStart = 0, FromCurrent = 1, FromEnd = 2 };

class TStream : public TObject {
 public:
  // The number of bytes read or written; 0 on failure.
  virtual std::int32_t ReadBytes(void* buffer, std::int32_t count) = 0;
  virtual std::int32_t WriteBytes(const void* buffer, std::int32_t count) = 0;
  // The new position.
  virtual std::int64_t MoveTo(std::int64_t offset, SeekOrigin origin) = 0;

  std::int64_t CurrentPosition();
  std::int64_t TotalSize();
  // Read or write all `count` bytes, in as many calls as it takes; raise
  // EReadError or EWriteError when a call moves no bytes before the end.
  void ReadExactly(void* buffer, std::int64_t count);
  void WriteExactly(const void* buffer, std::int64_t count);
};

class THandleStream : public TStream {
 public:
  explicit THandleStream(platform::HANDLE handle) : FileHandle(handle) {}

  std::int32_t ReadBytes(void* buffer, std::int32_t count) override;
  std::int32_t WriteBytes(const void* buffer, std::int32_t count) override;
  std::int64_t MoveTo(std::int64_t offset, SeekOrigin origin) override;

  platform::HANDLE FileHandle;  // the invalid handle value when no file is open
};

// The mode word: ModeCreate creates or truncates; any other value opens an
// existing file, bits 0-1 choosing the access and bits 4-7 the sharing.
inline constexpr std::uint16_t ModeCreate = 0xFFFF;
inline constexpr std::uint16_t ModeOpenRead = 0x0000;
inline constexpr std::uint16_t ModeOpenWrite = 0x0001;
inline constexpr std::uint16_t ModeOpenReadWrite = 0x0002;
inline constexpr std::uint16_t ModeShareExclusive = 0x0010;
inline constexpr std::uint16_t ModeShareDenyWrite = 0x0020;
inline constexpr std::uint16_t ModeShareDenyRead = 0x0030;
inline constexpr std::uint16_t ModeShareDenyNone = 0x0040;

class TFileStream : public THandleStream {
 public:
  // Raises EFCreateError (ModeCreate) or EFOpenError, naming the path.
  TFileStream(const TextValue& path, std::uint16_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
};

}  // namespace tidemark
