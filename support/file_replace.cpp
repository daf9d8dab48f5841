#include "support/file_replace.h"

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "support/errors.h"
#include "support/file_stream.h"
#include "support/messages.h"
#include "support/refusals.h"
#include "support/save_leftovers.h"
#include "support/turn.h"

namespace tidemark {

namespace {

constexpr platform::DWORD kKeptAttributes =
    platform::kFileAttributeHidden | platform::kFileAttributeSystem;

// The longest path the ANSI file calls take, its terminating zero included.
constexpr std::size_t kMaxPath = 260;

[[noreturn]] void RefuseCreate(const TextValue& path) {
  throw EFCreateError(LoadMessage(MessageId::FileCreateError, path));
}

[[noreturn]] void FailWrite() { throw EWriteError(LoadMessage(MessageId::StreamWriteError)); }

bool IsDiskFull(platform::DWORD error) {
  return error == platform::kErrorDiskFull || error == platform::kErrorHandleDiskFull;
}

// What an open of the file for deleting alone, sharing everything, shows.
// It is refused as "access denied" only by a rule of the folder or the file
// (or by a file being removed, which passes). DELETE access is one of the
// bits the sharing check weighs, so a handle that does not share deleting
// refuses it as "in use": a hold.
enum class DeleteOpen : std::uint8_t { Open, Held, Refused };

DeleteOpen TryDeleteOpen(const TextValue& path) {
  const platform::HANDLE handle = platform::CreateFileA(
      path.Bytes(), platform::kDelete,
      platform::kFileShareRead | platform::kFileShareWrite | platform::kFileShareDelete, nullptr,
      platform::kOpenExisting, platform::kFileAttributeNormal, nullptr);
  const CallError error = ErrorOf(handle != platform::InvalidHandleValue());
  if (!error) {
    platform::CloseHandle(handle);
    return DeleteOpen::Open;
  }
  if (IsInUse(*error)) return DeleteOpen::Held;
  return *error == platform::kErrorAccessDenied && !BeingRemoved(path.Bytes()) ? DeleteOpen::Refused
                                                                               : DeleteOpen::Open;
}

// Windows refuses a rename over a file that another program has open,
// whatever its share mode, with "access denied", as it refuses one that the
// folder or the files forbid; and one whose new file another program holds
// as "in use". A hold passes (a scanner or a sync client lets go): waited
// out in full. A rule lasts: the save goes in place at once.
//
// Where this process's writes are virtualized (`redirected`), "access
// denied" with both opens for deleting granted may also be the
// virtualization's own answer, for good. Known: the UAC file virtualization
// filter (luafv.sys) redirects a legacy program's writes under Program Files
// to its VirtualStore ("Virtualize file and registry write failures to
// per-user locations"; Windows Internals, 6th ed., "File Virtualization"),
// and it renames virtual files itself (its event provider,
// Microsoft-Windows-UAC-FileVirtualization, logs event 4001, "Virtual file
// renamed"). Not known, on no Microsoft page and not in Wine, which has no
// virtualization: what MoveFileEx answers for a rename over a virtualized
// uo.cfg, and whether an open for DELETE alone reaches the store's copy
// or the real file. So there only a sharing violation on such an open
// counts as a hold; anything else is waited out about 0.1 s (Brief) before
// the save goes in place. The worst case: a hold that shows only on the
// rename (a handle that shares deleting) sends the save in place after
// 0.1 s, the same bytes written.
Refusal RefusalOfReplace(platform::DWORD error, const TextValue& from, const TextValue& to,
                         bool redirected) {
  if (IsInUse(error)) return Refusal::Passing;
  if (error != platform::kErrorAccessDenied) return Refusal::Lasting;
  const DeleteOpen target = TryDeleteOpen(to);
  if (target == DeleteOpen::Refused) return Refusal::Lasting;
  const DeleteOpen source = TryDeleteOpen(from);
  if (source == DeleteOpen::Refused) return Refusal::Lasting;
  if (target == DeleteOpen::Held || source == DeleteOpen::Held || !redirected) {
    return Refusal::Passing;
  }
  return Refusal::Brief;
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

// A stream that only measures the bytes written to it, before any of them
// is written: their size, and their CRC-32 where `withCrc` (the turn's new
// file is named by both; the rewrite in place needs only the size).
class MeasuringStream : public TStream {
 public:
  explicit MeasuringStream(bool withCrc) : withCrc_(withCrc) {}
  // Never read nor moved in: a save only writes.
  std::int32_t ReadBytes(void*, std::int32_t) override { return 0; }  // GCOVR_EXCL_LINE
  std::int32_t WriteBytes(const void* buffer, std::int32_t count) override {
    if (withCrc_) {
      Proof.Add(buffer, count);
    } else {
      Proof.Size += count;
    }
    return count;
  }
  std::int64_t MoveTo(std::int64_t, SeekOrigin) override { return Proof.Size; }  // GCOVR_EXCL_LINE
  SaveProof Proof;

 private:
  bool withCrc_;
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
  TemporaryFile(bool turnHeld, bool redirected) : turnHeld_(turnHeld), redirected_(redirected) {}

  // The save goes on in place: the turn's new file, where it stays, is
  // marked void before uo.cfg is touched, never to be put back.
  ~TemporaryFile() {
    if (handle_ != platform::InvalidHandleValue()) platform::CloseHandle(handle_);
    const bool kept =
        created_ && !committed_ && RemoveWaitingOutHolds(name_.Bytes(), held_).has_value();
    if (kept && turnHeld_) MarkVoid(name_);
  }

  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  Outcome Save(const TextValue& path, platform::DWORD attributes,
               const std::function<void(TStream&)>& write) {
    name_ = NameFor(path, write);
    if (turnHeld_ && !ClearLeftovers(path, name_)) return Outcome::NeedsRewriteInPlace;
    // Room for its void mark too, one character longer (".void" for
    // ".tmp"): a name of 259 would leave the mark 260, past the 259 a
    // name may have with the zero MAX_PATH counts ("Naming Files, Paths,
    // and Namespaces"; Wine makes it all the same), and a file that could
    // not be marked might be put back.
    if (name_.View().size() + 1 >= kMaxPath) return Outcome::NeedsRewriteInPlace;
    // A leftover that another program still holds is left for the next run.
    if (const CallError error = Create(attributes)) {
      if (*error == platform::kErrorAccessDenied || *error == platform::kErrorFilenameTooLong ||
          IsInUse(*error)) {
        return Outcome::NeedsRewriteInPlace;
      }
      RefuseCreate(path);
    }
    if (!WriteAndClose(write)) return Outcome::NeedsRewriteInPlace;
    if (const CallError error = WaitOutRefusals(
            [&] { return Replace(path); },
            [&](platform::DWORD met) { return RefusalOfReplace(met, name_, path, redirected_); })) {
      // A folder that lets a file be made but not renamed over another, or
      // a hold that outlasted the wait: uo.cfg itself may still be free. A
      // new file still held is removed if it can be, else left for the next run.
      held_ = IsInUse(*error);
      if (*error == platform::kErrorAccessDenied || held_) return Outcome::NeedsRewriteInPlace;
      RefuseCreate(path);
    }
    return Outcome::Saved;
  }

 private:
  // The turn's new file is named for the bytes it will hold (see
  // save_leftovers.h), measured first. A copy without the turn (another one
  // hangs) must not touch the turn's names: it writes under one of its own,
  // with its process number, which nothing ever puts back.
  TextValue NameFor(const TextValue& path, const std::function<void(TStream&)>& write) const {
    if (turnHeld_) {
      MeasuringStream measured(true);
      write(measured);
      return NewFileName(path, measured.Proof);
    }
    return path + ".tidemark-save-" +
           TextValue(std::to_string(platform::GetCurrentProcessId()).c_str()) + ".tmp";
  }

  // Makes the new file; one left by an earlier run that was killed is
  // removed first. "Access denied" is a folder that refuses new files,
  // unless the name is still there: a file being removed, which passes.
  // The error that kept the file from being made, if any: the removal's
  // where a leftover could not be removed.
  CallError Create(platform::DWORD attributes) {
    CallError error;
    for (int attempt = 0; attempt < 2; ++attempt) {
      error = WaitOutRefusals(
          [&] {
            // Sharing reading lets a scanner or a sync client look at the
            // new file while it is written; a hold it keeps past the close
            // is waited out at the rename.
            handle_ = platform::CreateFileA(name_.Bytes(), platform::kGenericWrite,
                                            platform::kFileShareRead, nullptr, platform::kCreateNew,
                                            attributes, nullptr);
            return ErrorOf(handle_ != platform::InvalidHandleValue());
          },
          [&](platform::DWORD met) {
            if (IsInUse(met)) return Refusal::Passing;
            const bool beingRemoved =
                met == platform::kErrorAccessDenied && BeingRemoved(name_.Bytes());
            return beingRemoved ? Refusal::Passing : Refusal::Lasting;
          });
      if (!error) {
        created_ = true;
        return error;
      }
      if (*error != platform::kErrorFileExists) break;
      if (const CallError removal = RemoveWaitingOutHolds(name_.Bytes())) {
        if (turnHeld_) MarkVoid(name_);
        return removal;
      }
    }
    return error;
  }

  // False when the disk had no room for the new file; any other failure
  // raises. One flush: the name proves the bytes (see save_leftovers.h).
  bool WriteAndClose(const std::function<void(TStream&)>& write) {
    WriteStream stream(handle_);
    CallError flushError;
    try {
      write(stream);
      flushError = ErrorOf(platform::FlushFileBuffers(handle_) != 0);
    } catch (const EWriteError&) {
      if (IsDiskFull(stream.FailedWith)) return false;
      throw;
    }
    const bool closed = platform::CloseHandle(handle_) != 0;
    handle_ = platform::InvalidHandleValue();
    if (flushError && IsDiskFull(*flushError)) return false;
    if (flushError || !closed) FailWrite();
    return true;
  }

  CallError Replace(const TextValue& path) {
    committed_ = platform::MoveFileExA(
                     name_.Bytes(), path.Bytes(),
                     platform::kMoveFileReplaceExisting | platform::kMoveFileWriteThrough) != 0;
    return ErrorOf(committed_);
  }

  bool turnHeld_;
  bool redirected_;  // this process's writes to the file are virtualized
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
  MeasuringStream counter(false);
  write(counter);
  const std::int64_t newSize = counter.Proof.Size;

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

void ReplaceFileContents(const TextValue& path, const std::function<void(TStream&)>& write,
                         bool writesRedirected) {
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
    TemporaryFile replacement(TTurn::HeldFor(path), writesRedirected);
    if (replacement.Save(path, kept != 0 ? kept : platform::kFileAttributeNormal, write) ==
        Outcome::Saved) {
      return;
    }
  }
  RewriteInPlace(path, exists, write);
}

}  // namespace tidemark
