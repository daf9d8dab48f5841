#include "support/file_replace.h"

#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "support/errors.h"
#include "support/file_stream.h"
#include "support/messages.h"
#include "support/refusals.h"
#include "support/turn.h"

namespace tidemark {

namespace {

constexpr platform::DWORD kKeptAttributes =
    platform::kFileAttributeHidden | platform::kFileAttributeSystem;

// The one name the new file is written under, beside the old one, by the
// copy that holds the turn at the file (see TTurn). Being one fixed name, a
// run killed before the replace leaves at most this file, and the next save
// removes it. A copy without the turn (another one hangs) must not touch
// that name: it writes under a name of its own, with its process number.
const char* const kTemporarySuffix = ".tidemark-save.tmp";

// The longest path the ANSI file calls take, its terminating zero included.
constexpr std::size_t kMaxPath = 260;

[[noreturn]] void RefuseCreate(const TextValue& path) {
  throw EFCreateError(LoadMessage(MessageId::FileCreateError, path));
}

[[noreturn]] void FailWrite() { throw EWriteError(LoadMessage(MessageId::StreamWriteError)); }

bool IsDiskFull(platform::DWORD error) {
  return error == platform::kErrorDiskFull || error == platform::kErrorHandleDiskFull;
}

bool IsGone(platform::DWORD error) {
  return error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound;
}

// Whether the name is still listed while asking for its attributes is
// refused as "access denied": how Windows shows a file waiting to be
// deleted (removed while another program still has it open). It goes when
// that program lets go. On NTFS under Windows 10 1903 and later, DeleteFile
// removes the name at once (POSIX semantics) and only a delete-on-close
// handle leaves it waiting; a name already gone lets CREATE_NEW succeed.
bool BeingRemoved(const TextValue& path) {
  if (platform::GetFileAttributesA(path.Bytes()) != platform::kInvalidFileAttributes ||
      platform::GetLastError() != platform::kErrorAccessDenied) {
    return false;
  }
  platform::WIN32_FIND_DATAA found{};
  const platform::HANDLE search = platform::FindFirstFileA(path.Bytes(), &found);
  if (search == platform::InvalidHandleValue()) return false;
  platform::FindClose(search);
  return true;
}

// "Access denied" on a removal is a file being removed, which passes, or a
// rule of the folder or the file, which lasts.
Refusal RefusalOfRemove(platform::DWORD error, const TextValue& path) {
  if (IsInUse(error)) return Refusal::Passing;
  return error == platform::kErrorAccessDenied && BeingRemoved(path) ? Refusal::Passing
                                                                     : Refusal::Lasting;
}

// Removes a temporary file; one that is already gone counts as removed.
// Another program's hold is waited out; `once` tries only once.
bool Remove(const TextValue& path, bool once = false) {
  const auto remove = [&] { return platform::DeleteFileA(path.Bytes()) != 0; };
  const bool removed = once ? remove() : WaitOutRefusals(remove, [&](platform::DWORD error) {
    return RefusalOfRemove(error, path);
  });
  return removed || IsGone(platform::GetLastError());
}

// Whether this process may replace the file at all, whatever other programs
// hold: an open for deleting alone, sharing everything, is refused as
// "access denied" only by a rule of the folder or the file (or by a file
// being removed, which passes). DELETE access is one of the bits the sharing
// check weighs, so a handle that does not share deleting refuses it as "in
// use": a hold, as it should count.
bool MayReplace(const TextValue& path) {
  const platform::HANDLE handle = platform::CreateFileA(
      path.Bytes(), platform::kDelete,
      platform::kFileShareRead | platform::kFileShareWrite | platform::kFileShareDelete, nullptr,
      platform::kOpenExisting, platform::kFileAttributeNormal, nullptr);
  if (handle != platform::InvalidHandleValue()) {
    platform::CloseHandle(handle);
    return true;
  }
  return platform::GetLastError() != platform::kErrorAccessDenied || BeingRemoved(path);
}

// Windows refuses a rename over a file that another program has open,
// whatever its share mode, with "access denied", as it refuses one that the
// folder or the files forbid; and one whose new file another program holds
// as "in use". A hold passes (a scanner or a sync client lets go): waited
// out in full. A rule lasts: the save goes in place at once.
Refusal RefusalOfReplace(platform::DWORD error, const TextValue& from, const TextValue& to) {
  if (IsInUse(error)) return Refusal::Passing;
  if (error != platform::kErrorAccessDenied) return Refusal::Lasting;
  return MayReplace(to) && MayReplace(from) ? Refusal::Passing : Refusal::Lasting;
}

// A stream over a file that remembers why its last write failed, so that a
// full disk can be told from other failures after the error has been raised.
class WriteStream : public THandleStream {
 public:
  using THandleStream::THandleStream;
  std::int32_t WriteBytes(const void* buffer, std::int32_t count) override {
    const std::int32_t written = THandleStream::WriteBytes(buffer, count);
    if (written != count) FailedWith = platform::GetLastError();
    return written;
  }
  platform::DWORD FailedWith = 0;
};

// A stream over a new file that holds back the first byte of the contents,
// writing a zero in its place, until PutFirst writes it.
class FirstByteLast : public WriteStream {
 public:
  using WriteStream::WriteStream;
  std::int32_t WriteBytes(const void* buffer, std::int32_t count) override {
    if (First || count == 0) return WriteStream::WriteBytes(buffer, count);
    if (WriteStream::WriteBytes("", 1) != 1) return 0;
    First = *static_cast<const char*>(buffer);
    if (count == 1) return 1;
    return 1 + WriteStream::WriteBytes(static_cast<const char*>(buffer) + 1, count - 1);
  }
  void PutFirst() {
    const char first = *First;
    if (platform::SetFilePointerEx(FileHandle, 0, nullptr, platform::kFileBegin) == 0 ||
        WriteStream::WriteBytes(&first, 1) != 1) {
      FailWrite();
    }
  }
  std::optional<char> First;
};

// A stream that only counts the bytes written to it: the size of the new
// contents before any of them is written.
class CountingStream : public TStream {
 public:
  // Never read nor moved in: a save only writes.
  std::int32_t ReadBytes(void*, std::int32_t) override { return 0; }  // GCOVR_EXCL_LINE
  std::int32_t WriteBytes(const void*, std::int32_t count) override {
    Size += count;
    return count;
  }
  std::int64_t MoveTo(std::int64_t, SeekOrigin) override { return Size; }  // GCOVR_EXCL_LINE
  std::int64_t Size = 0;
};

// A file handle closed on every way out.
class HandleGuard {
 public:
  explicit HandleGuard(platform::HANDLE handle) : handle_(handle) {}
  ~HandleGuard() {
    if (handle_ != platform::InvalidHandleValue()) platform::CloseHandle(handle_);
  }
  HandleGuard(const HandleGuard&) = delete;
  HandleGuard& operator=(const HandleGuard&) = delete;
  platform::HANDLE Get() const { return handle_; }
  // Closes now; false when the close failed.
  bool Close() {
    const bool closed = platform::CloseHandle(handle_) != 0;
    handle_ = platform::InvalidHandleValue();
    return closed;
  }

 private:
  platform::HANDLE handle_;
};

bool SetSize(platform::HANDLE file, std::int64_t size) {
  return platform::SetFilePointerEx(file, size, nullptr, platform::kFileBegin) != 0 &&
         platform::SetEndOfFile(file) != 0;
}

enum class Outcome : std::uint8_t { Saved, NeedsRewriteInPlace };

// The one-step save: the new contents go to a new file beside the old one,
// which then takes the old one's place. Answers NeedsRewriteInPlace, with
// nothing left behind, where the folder refuses the new file, the disk has
// no room for a second copy or the new file's name would be too long.
class TemporaryFile {
 public:
  TemporaryFile(const TextValue& path, bool turnHeld) : name_(NameFor(path, turnHeld)) {}

  ~TemporaryFile() {
    if (handle_ != platform::InvalidHandleValue()) platform::CloseHandle(handle_);
    if (created_ && !committed_) Remove(name_, held_);
  }

  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  Outcome Save(const TextValue& path, platform::DWORD attributes,
               const std::function<void(TStream&)>& write) {
    if (name_.View().size() >= kMaxPath) return Outcome::NeedsRewriteInPlace;
    // A leftover that another program still holds is left for the next run.
    if (!Create(attributes)) {
      const platform::DWORD error = platform::GetLastError();
      if (error == platform::kErrorAccessDenied || error == platform::kErrorFilenameTooLong ||
          IsInUse(error)) {
        return Outcome::NeedsRewriteInPlace;
      }
      RefuseCreate(path);
    }
    if (!WriteAndClose(write)) return Outcome::NeedsRewriteInPlace;
    if (!WaitOutRefusals(
            [&] { return Replace(path); },
            [&](platform::DWORD error) { return RefusalOfReplace(error, name_, path); })) {
      // A folder that lets a file be made but not renamed over another, or
      // a hold that outlasted the wait: uo.cfg itself may still be free. A
      // new file still held is removed if it can be, else left for the next run.
      const platform::DWORD error = platform::GetLastError();
      held_ = IsInUse(error);
      if (error == platform::kErrorAccessDenied || held_) return Outcome::NeedsRewriteInPlace;
      RefuseCreate(path);
    }
    return Outcome::Saved;
  }

 private:
  static TextValue NameFor(const TextValue& path, bool turnHeld) {
    if (turnHeld) return path + kTemporarySuffix;
    return path + ".tidemark-save-" +
           TextValue(std::to_string(platform::GetCurrentProcessId()).c_str()) + ".tmp";
  }

  // Makes the new file; one left by an earlier run that was killed is
  // removed first. "Access denied" is a folder that refuses new files,
  // unless the name is still there: a file being removed, which passes.
  bool Create(platform::DWORD attributes) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      const bool created = WaitOutRefusals(
          [&] {
            // Sharing reading lets a scanner or a sync client look at the
            // new file while it is written; a hold it keeps past the close
            // is waited out at the rename.
            handle_ = platform::CreateFileA(name_.Bytes(), platform::kGenericWrite,
                                            platform::kFileShareRead, nullptr, platform::kCreateNew,
                                            attributes, nullptr);
            return handle_ != platform::InvalidHandleValue();
          },
          [&](platform::DWORD error) {
            if (IsInUse(error)) return Refusal::Passing;
            const bool beingRemoved = error == platform::kErrorAccessDenied && BeingRemoved(name_);
            return beingRemoved ? Refusal::Passing : Refusal::Lasting;
          });
      if (created) {
        created_ = true;
        return true;
      }
      if (platform::GetLastError() != platform::kErrorFileExists || !Remove(name_)) break;
    }
    return false;
  }

  // False when the disk had no room for the new file; any other failure
  // raises. The first byte is written last, once all the others are on the
  // disk: a zero there until then marks a new file that may not be whole
  // (see RecoverCutReplace).
  bool WriteAndClose(const std::function<void(TStream&)>& write) {
    FirstByteLast stream(handle_);
    bool flushed = false;
    try {
      write(stream);
      flushed = platform::FlushFileBuffers(handle_) != 0;
      if (flushed && stream.First) {
        stream.PutFirst();
        flushed = platform::FlushFileBuffers(handle_) != 0;
      }
    } catch (const EWriteError&) {
      if (IsDiskFull(stream.FailedWith)) return false;
      throw;
    }
    const platform::DWORD flushError = flushed ? 0 : platform::GetLastError();
    const bool closed = platform::CloseHandle(handle_) != 0;
    handle_ = platform::InvalidHandleValue();
    if (!flushed && IsDiskFull(flushError)) return false;
    if (!flushed || !closed) FailWrite();
    return true;
  }

  bool Replace(const TextValue& path) {
    committed_ = platform::MoveFileExA(
                     name_.Bytes(), path.Bytes(),
                     platform::kMoveFileReplaceExisting | platform::kMoveFileWriteThrough) != 0;
    return committed_;
  }

  TextValue name_;
  platform::HANDLE handle_ = platform::InvalidHandleValue();
  bool created_ = false;
  bool committed_ = false;
  bool held_ = false;  // another program held it past the wait
};

// Writes the old bytes back over whatever part of the new ones was written,
// and gives the file its old size again. Best effort: it runs on the way
// out of a failed rewrite, whose own error is the one reported.
void Restore(platform::HANDLE file, const std::string& old) {
  if (platform::SetFilePointerEx(file, 0, nullptr, platform::kFileBegin) != 0) {
    WriteStream stream(file);
    try {
      stream.WriteExactly(old.data(), static_cast<std::int64_t>(old.size()));
    } catch (const EWriteError&) {
      // What could not be written back may not have changed either: the
      // old size is given back all the same.
    }
  }
  SetSize(file, static_cast<std::int64_t>(old.size()));
  platform::FlushFileBuffers(file);
}

// The rewrite in place: what a plain rewrite of the file does, made safe.
// The room for the new contents is taken before a byte changes, so a full
// disk can no longer cut the file short; a failure after that puts the old
// bytes back.
void RewriteInPlace(const TextValue& path, bool exists,
                    const std::function<void(TStream&)>& write) {
  CountingStream counter;
  write(counter);
  const std::int64_t newSize = counter.Size;

  HandleGuard file(OpenWaitingOutHolds(path.Bytes(),
                                       platform::kGenericRead | platform::kGenericWrite, 0,
                                       exists ? platform::kOpenExisting : platform::kCreateNew));
  if (file.Get() == platform::InvalidHandleValue()) RefuseCreate(path);
  THandleStream reader(file.Get());
  const std::int64_t oldSize = reader.MoveTo(0, SeekOrigin::FromEnd);
  if (oldSize < 0 || reader.MoveTo(0, SeekOrigin::FromStart) != 0) RefuseCreate(path);
  std::string old(static_cast<std::size_t>(oldSize), '\0');
  reader.ReadExactly(old.data(), oldSize);

  if (newSize > oldSize && !SetSize(file.Get(), newSize)) {
    SetSize(file.Get(), oldSize);  // in case the system grew it part of the way
    FailWrite();
  }
  try {
    if (platform::SetFilePointerEx(file.Get(), 0, nullptr, platform::kFileBegin) == 0) FailWrite();
    WriteStream stream(file.Get());
    write(stream);
    if (platform::FlushFileBuffers(file.Get()) == 0) FailWrite();
    if (newSize < oldSize && !SetSize(file.Get(), newSize)) FailWrite();
  } catch (...) {
    Restore(file.Get(), old);
    throw;
  }
  // The new contents are on the disk once flushed: a close that reports a
  // failure after that changes nothing in the file.
  file.Close();
}

}  // namespace

bool RecoverCutReplace(const TextValue& path) {
  // Without the turn, the new file may be another copy's, still being written.
  if (!TTurn::HeldFor(path)) return false;
  const TextValue leftover = path + kTemporarySuffix;
  const platform::HANDLE file = platform::CreateFileA(
      leftover.Bytes(), platform::kGenericRead, platform::kFileShareRead, nullptr,
      platform::kOpenExisting, platform::kFileAttributeNormal, nullptr);
  if (file == platform::InvalidHandleValue()) return false;
  // Whole: its first byte, written last, is set, and it ends as every save
  // does, its last line with CR LF. On FAT32, which keeps no valid-data
  // length, a cut during the first writing can leave the size on the disk
  // before the data, and stale bytes where the first one should be zero.
  char first = '\0';
  char end[2] = {};
  platform::DWORD read = 0;
  platform::DWORD readEnd = 0;
  const bool whole = platform::ReadFile(file, &first, 1, &read, nullptr) != 0 && read == 1 &&
                     first != '\0' &&
                     platform::SetFilePointerEx(file, -2, nullptr, platform::kFileEnd) != 0 &&
                     platform::ReadFile(file, end, 2, &readEnd, nullptr) != 0 && readEnd == 2 &&
                     end[0] == '\r' && end[1] == '\n';
  platform::CloseHandle(file);
  // Never over a file: one that has appeared meanwhile is kept.
  return whole && platform::MoveFileExA(leftover.Bytes(), path.Bytes(),
                                        platform::kMoveFileWriteThrough) != 0;
}

void ReplaceFileContents(const TextValue& path, const std::function<void(TStream&)>& write) {
  const platform::DWORD attributes = platform::GetFileAttributesA(path.Bytes());
  const bool exists = attributes != platform::kInvalidFileAttributes;
  bool linked = false;
  if (exists) {
    // The refusals that a plain rewrite would meet, made without touching the file.
    if ((attributes & (platform::kFileAttributeReadOnly | platform::kFileAttributeDirectory)) !=
        0) {
      RefuseCreate(path);
    }
    HandleGuard probe(
        OpenWaitingOutHolds(path.Bytes(), platform::kGenericWrite, 0, platform::kOpenExisting));
    if (probe.Get() == platform::InvalidHandleValue()) RefuseCreate(path);
    // A file with more than one name, or reached through a link, is rewritten
    // where it is: a replace would put a new file in place of the link or of
    // one of the names, and the others would keep the old contents. When the
    // question cannot be answered, the rewrite in place is the safe answer.
    platform::BY_HANDLE_FILE_INFORMATION information{};
    linked = (attributes & platform::kFileAttributeReparsePoint) != 0 ||
             platform::GetFileInformationByHandle(probe.Get(), &information) == 0 ||
             information.nNumberOfLinks > 1;
  }
  if (!linked) {
    const platform::DWORD kept = exists ? attributes & kKeptAttributes : 0;
    TemporaryFile replacement(path, TTurn::HeldFor(path));
    if (replacement.Save(path, kept != 0 ? kept : platform::kFileAttributeNormal, write) ==
        Outcome::Saved) {
      return;
    }
  }
  RewriteInPlace(path, exists, write);
}

}  // namespace tidemark
