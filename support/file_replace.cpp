#include "support/file_replace.h"

#include <string>

#include "platform/platform.h"
#include "support/errors.h"
#include "support/file_stream.h"
#include "support/messages.h"
#include "support/paths.h"

namespace tidemark {

namespace {

constexpr platform::DWORD kKeptAttributes =
    platform::kFileAttributeHidden | platform::kFileAttributeSystem;

// Pauses before each try of the replace: virus scanners hold a new file
// for a moment, and Windows then answers "access denied" or "in use".
constexpr platform::DWORD kReplaceDelays[] = {0, 1, 10, 20, 40};

[[noreturn]] void RefuseCreate(const TextValue& path) {
  throw EFCreateError(LoadMessage(MessageId::FileCreateError, path));
}

// The new file, removed again unless the replace went through.
class TemporaryFile {
 public:
  TemporaryFile(const TextValue& path, platform::DWORD attributes) {
    const std::string base =
        std::string(path.View()) + "." + std::to_string(platform::GetCurrentProcessId()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
      name_ = TextValue(base + std::to_string(attempt) + ".tmp");
      handle_ = platform::CreateFileA(name_.Bytes(), platform::kGenericWrite, 0, nullptr,
                                      platform::kCreateNew, attributes, nullptr);
      if (handle_ != platform::InvalidHandleValue()) return;
      if (platform::GetLastError() != platform::kErrorFileExists) break;
    }
    RefuseCreate(path);
  }

  ~TemporaryFile() {
    if (handle_ != platform::InvalidHandleValue()) platform::CloseHandle(handle_);
    if (!committed_) platform::DeleteFileA(name_.Bytes());
  }

  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  void WriteAndClose(const std::function<void(TStream&)>& write) {
    THandleStream stream(handle_);
    write(stream);
    const bool flushed = platform::FlushFileBuffers(handle_) != 0;
    const bool closed = platform::CloseHandle(handle_) != 0;
    handle_ = platform::InvalidHandleValue();
    if (!flushed || !closed) throw EWriteError(LoadMessage(MessageId::StreamWriteError));
  }

  bool Replace(const TextValue& path) {
    for (platform::DWORD delay : kReplaceDelays) {
      if (delay > 0) platform::Sleep(delay);
      if (platform::MoveFileExA(
              name_.Bytes(), path.Bytes(),
              platform::kMoveFileReplaceExisting | platform::kMoveFileWriteThrough) != 0) {
        committed_ = true;
        return true;
      }
      const platform::DWORD error = platform::GetLastError();
      if (error != platform::kErrorAccessDenied && error != platform::kErrorSharingViolation &&
          error != platform::kErrorLockViolation) {
        break;
      }
    }
    return false;
  }

 private:
  TextValue name_;
  platform::HANDLE handle_ = platform::InvalidHandleValue();
  bool committed_ = false;
};

}  // namespace

void ReplaceFileContents(const TextValue& path, const std::function<void(TStream&)>& write) {
  const platform::DWORD attributes = platform::GetFileAttributesA(path.Bytes());
  const bool exists = attributes != platform::kInvalidFileAttributes;
  if (exists) {
    // The refusals that a plain rewrite would meet, made without touching the file.
    if ((attributes & (platform::kFileAttributeReadOnly | platform::kFileAttributeDirectory)) !=
        0) {
      RefuseCreate(path);
    }
    const platform::HANDLE probe =
        platform::CreateFileA(path.Bytes(), platform::kGenericWrite, 0, nullptr,
                              platform::kOpenExisting, platform::kFileAttributeNormal, nullptr);
    if (probe == platform::InvalidHandleValue()) RefuseCreate(path);
    platform::CloseHandle(probe);
  }
  const platform::DWORD kept = exists ? attributes & kKeptAttributes : 0;
  TemporaryFile replacement(path, kept != 0 ? kept : platform::kFileAttributeNormal);
  replacement.WriteAndClose(write);
  if (!replacement.Replace(path)) RefuseCreate(path);
}

}  // namespace tidemark
