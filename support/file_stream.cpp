#include "support/file_stream.h"

#include <algorithm>
#include <limits>

#include "support/errors.h"
#include "support/messages.h"
#include "support/refusals.h"

namespace tidemark {

namespace {

constexpr std::int64_t kLargestTransfer = std::numeric_limits<std::int32_t>::max();

std::int32_t TransferSize(std::int64_t remaining) {
  return static_cast<std::int32_t>(std::min(remaining, kLargestTransfer));
}

}  // namespace

std::int64_t TStream::CurrentPosition() { return MoveTo(0, SeekOrigin::FromCurrent); }

std::int64_t TStream::TotalSize() {
  const std::int64_t position = MoveTo(0, SeekOrigin::FromCurrent);
  if (position < 0) return -1;
  const std::int64_t size = MoveTo(0, SeekOrigin::FromEnd);
  // Back where it was, or the size is no use to a reader: -1 for any failure.
  if (MoveTo(position, SeekOrigin::FromStart) != position) return -1;
  return size;
}

void TStream::ReadExactly(void* buffer, std::int64_t count) {
  auto* bytes = static_cast<char*>(buffer);
  while (count > 0) {
    const std::int32_t read = ReadBytes(bytes, TransferSize(count));
    if (read <= 0) throw EReadError(LoadMessage(MessageId::StreamReadError));
    bytes += read;
    count -= read;
  }
}

void TStream::WriteExactly(const void* buffer, std::int64_t count) {
  const auto* bytes = static_cast<const char*>(buffer);
  while (count > 0) {
    const std::int32_t written = WriteBytes(bytes, TransferSize(count));
    if (written <= 0) throw EWriteError(LoadMessage(MessageId::StreamWriteError));
    bytes += written;
    count -= written;
  }
}

std::int32_t THandleStream::ReadBytes(void* buffer, std::int32_t count) {
  platform::DWORD read = 0;
  if (platform::ReadFile(FileHandle, buffer, static_cast<platform::DWORD>(count), &read, nullptr) ==
      0) {
    return 0;
  }
  return static_cast<std::int32_t>(read);
}

std::int32_t THandleStream::WriteBytes(const void* buffer, std::int32_t count) {
  platform::DWORD written = 0;
  if (platform::WriteFile(FileHandle, buffer, static_cast<platform::DWORD>(count), &written,
                          nullptr) == 0) {
    return 0;
  }
  return static_cast<std::int32_t>(written);
}

std::int64_t THandleStream::MoveTo(std::int64_t offset, SeekOrigin origin) {
  std::int64_t position = -1;
  if (platform::SetFilePointerEx(FileHandle, offset, &position,
                                 static_cast<platform::DWORD>(origin)) == 0) {
    return -1;
  }
  return position;
}

TFileStream::TFileStream(const TextValue& path, std::uint16_t mode)
    : THandleStream(platform::InvalidHandleValue()) {
  // Another program's hold on the file is waited out for a moment.
  if (mode == ModeCreate) {
    FileHandle = OpenWaitingOutHolds(path.Bytes(), platform::kGenericRead | platform::kGenericWrite,
                                     0, platform::kCreateAlways);
    if (FileHandle == platform::InvalidHandleValue()) {
      throw EFCreateError(LoadMessage(MessageId::FileCreateError, path));
    }
    return;
  }
  constexpr platform::DWORD kAccess[] = {platform::kGenericRead, platform::kGenericWrite,
                                         platform::kGenericRead | platform::kGenericWrite};
  constexpr platform::DWORD kShare[] = {0, 0, platform::kFileShareRead, platform::kFileShareWrite,
                                        platform::kFileShareRead | platform::kFileShareWrite};
  const unsigned access = mode & 0x3u;
  const unsigned share = (mode >> 4) & 0xFu;
  if (access < 3 && share < 5) {
    FileHandle =
        OpenWaitingOutHolds(path.Bytes(), kAccess[access], kShare[share], platform::kOpenExisting);
  }
  if (FileHandle == platform::InvalidHandleValue()) {
    throw EFOpenError(LoadMessage(MessageId::FileOpenError, path));
  }
}

TFileStream::~TFileStream() {
  if (FileHandle != platform::InvalidHandleValue()) platform::CloseHandle(FileHandle);
}

}  // namespace tidemark
