// The simulated file calls (model.h states what they answer). A handle is a
// file descriptor; the locks on marker bytes below carry Windows' sharing
// rule between processes, and the sticky bit marks a file waiting to be
// deleted.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>

#include "platform/platform.h"
#include "platform/simulated/account_control.h"
#include "platform/simulated/host_path.h"

namespace tidemark::platform {

namespace {

constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorNotSameDevice = 17;
constexpr DWORD kErrorInvalidParameter = 87;
constexpr DWORD kGenericExecute = 0x20000000u;
constexpr DWORD kGenericAll = 0x10000000u;

HANDLE HandleOf(int descriptor) {
  return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(descriptor));
}

int DescriptorOf(HANDLE handle) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(handle));
}

bool HasNoWriteBits(const struct stat& status) {
  return (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

DWORD ErrorOfWrite(int error) {
  return error == ENOSPC || error == EFBIG || error == EDQUOT ? kErrorDiskFull
                                                              : simulated::Win32ErrorOf(error);
}

// The marker bytes, and the kinds of access in the order of their share flags.
constexpr off_t kMarkers = off_t{1} << 62;
constexpr off_t kOpenMarker = 0;
constexpr off_t kAccessMarker = 1;   // + kind: this handle reads, writes, deletes
constexpr off_t kRefusalMarker = 4;  // + kind: it does not share that
// GENERIC_EXECUTE holds FILE_EXECUTE, which counts as reading; GENERIC_ALL holds all three.
constexpr DWORD kAccessOf[] = {kGenericRead | kGenericExecute | kGenericAll | 0x1 | 0x20,
                               kGenericWrite | kGenericAll | 0x2 | 0x4, kDelete | kGenericAll};
constexpr DWORD kShareOf[] = {kFileShareRead, kFileShareWrite, kFileShareDelete};

// A lock of the given type on one marker byte.
struct flock MarkerLock(short type, off_t marker) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = kMarkers + marker;
  lock.l_len = 1;
  return lock;
}

// Whether a handle other than `descriptor`'s holds the marker.
bool Marked(int descriptor, off_t marker) {
  struct flock probe = MarkerLock(F_WRLCK, marker);
  return fcntl(descriptor, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

void Mark(int descriptor, off_t marker) {
  struct flock lock = MarkerLock(F_RDLCK, marker);
  fcntl(descriptor, F_OFD_SETLK, &lock);
}

// Takes the handle's place among the file's handles; false (a sharing
// violation) where its access or its share mode does not admit another's.
// A handle without read, write or delete access joins no sharing check.
bool JoinSharing(int descriptor, DWORD access, DWORD share) {
  bool any = false;
  for (int kind = 0; kind < 3; ++kind) any = any || (access & kAccessOf[kind]) != 0;
  for (int kind = 0; any && kind < 3; ++kind) {
    if (((access & kAccessOf[kind]) != 0 && Marked(descriptor, kRefusalMarker + kind)) ||
        ((share & kShareOf[kind]) == 0 && Marked(descriptor, kAccessMarker + kind))) {
      return false;
    }
  }
  Mark(descriptor, kOpenMarker);
  for (int kind = 0; any && kind < 3; ++kind) {
    if ((access & kAccessOf[kind]) != 0) Mark(descriptor, kAccessMarker + kind);
    if ((share & kShareOf[kind]) == 0) Mark(descriptor, kRefusalMarker + kind);
  }
  return true;
}

// What the other handles on a file allow: kErrorSharingViolation where one
// does not share deleting, 0 where none is open, 1 where all that are open share it.
DWORD OthersOnRemoval(const std::string& path) {
  const int probe = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (probe < 0) return 0;
  const DWORD answer = Marked(probe, kRefusalMarker + 2) ? kErrorSharingViolation
                       : Marked(probe, kOpenMarker)      ? 1
                                                         : 0;
  close(probe);
  return answer;
}

bool DeletePending(const struct stat& status) {
  return S_ISREG(status.st_mode) && (status.st_mode & S_ISVTX) != 0;
}

// Whether this process may remove the file, as DELETE access asks: the
// folder lets it (write access, and where the folder is sticky, the file
// or the folder is its own). A read-only file is granted DELETE access too.
bool MayRemove(const std::string& path, const std::string& real) {
  struct stat file {};
  struct stat folder {};
  const std::string parent = path.substr(0, path.find_last_of('/') + 1);
  if (simulated::RemovalRefused(real) || stat(path.c_str(), &file) != 0 ||
      stat(parent.empty() ? "." : parent.c_str(), &folder) != 0 ||
      access(parent.empty() ? "." : parent.c_str(), W_OK | X_OK) != 0) {
    return false;
  }
  const uid_t user = geteuid();
  return (folder.st_mode & S_ISVTX) == 0 || user == 0 || file.st_uid == user ||
         folder.st_uid == user;
}

// The handles of this process opened to delete their file when closed.
std::set<int>& DeletedOnClose() {
  static std::set<int> descriptors;
  return descriptors;
}

std::string FolderOf(const std::string& path) {
  const std::size_t cut = path.find_last_of('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? "/" : path.substr(0, cut);
}

}  // namespace

bool simulated::WaitsToBeDeleted(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0 || !DeletePending(status)) return false;
  const int probe = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (probe < 0) return true;
  const bool held = Marked(probe, kOpenMarker);
  if (!held) unlink(path.c_str());
  close(probe);
  return held;
}

HANDLE os::CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode, void*,
                       DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
  const bool deleteOnClose = (flagsAndAttributes & kFileFlagDeleteOnClose) != 0;
  // Delete-on-close asks for DELETE access itself, as CreateFile does (Wine
  // kernel32 tests file.c test_file_sharing: a reader's delete-on-close open is granted).
  const DWORD access = desiredAccess | (deleteOnClose ? kDelete : 0);
  const bool reads = (access & (kGenericRead | kGenericAll)) != 0;
  const bool writes = (access & (kGenericWrite | kGenericAll)) != 0;
  const bool deletes = (access & (kDelete | kGenericAll)) != 0;
  DWORD error = 0;
  const auto real = simulated::HostPathOf(fileName, false, error);
  const auto path = real ? std::optional<std::string>(simulated::Virtualized(
                               *real, writes || deletes || creationDisposition != kOpenExisting
                                          ? simulated::Reach::Write
                                          : simulated::Reach::Read))
                         : std::nullopt;
  if (!path) {
    SetLastError(error);
    return InvalidHandleValue();
  }
  // The locks that carry the sharing rule need a readable descriptor.
  int flags = O_CLOEXEC | (writes ? O_RDWR : O_RDONLY);
  switch (creationDisposition) {
    case kCreateNew:
      flags |= O_CREAT | O_EXCL;
      break;
    case kCreateAlways:
      flags |= O_CREAT;
      break;
    case kOpenExisting:
      break;
    default:
      SetLastError(kErrorInvalidParameter);
      return InvalidHandleValue();
  }
  // A file waiting to be deleted refuses every open, also one that would make it anew.
  if (simulated::WaitsToBeDeleted(*path)) {
    SetLastError(kErrorAccessDenied);
    return InvalidHandleValue();
  }
  struct stat status {};
  if (stat(path->c_str(), &status) == 0) {
    // A folder opens, as on Windows, only with backup semantics and only to be asked about.
    const bool folderOpens = (flagsAndAttributes & kFileFlagBackupSemantics) != 0 && !writes &&
                             creationDisposition == kOpenExisting;
    if ((S_ISDIR(status.st_mode) && !folderOpens) ||
        ((writes || deleteOnClose) && HasNoWriteBits(status))) {
      SetLastError(creationDisposition == kCreateNew ? kErrorFileExists : kErrorAccessDenied);
      return InvalidHandleValue();
    }
    if (deletes && creationDisposition != kCreateNew && !S_ISDIR(status.st_mode) &&
        !MayRemove(*path, *real)) {
      SetLastError(kErrorAccessDenied);
      return InvalidHandleValue();
    }
  }
  if (writes) {
    // A file-size limit must show as a short write, not end the process.
    static const bool sizeSignalIgnored = (std::signal(SIGXFSZ, SIG_IGN), true);
    (void)sizeSignalIgnored;
  }
  int descriptor = open(path->c_str(), flags, 0666);
  if (descriptor < 0 && errno == EACCES && writes && !reads) {
    descriptor = open(path->c_str(), (flags & ~O_RDWR) | O_WRONLY, 0666);
  }
  if (descriptor < 0) {
    SetLastError(errno == EEXIST ? kErrorFileExists : simulated::Win32ErrorOf(errno));
    return InvalidHandleValue();
  }
  if (!JoinSharing(descriptor, access, shareMode)) {
    close(descriptor);
    SetLastError(kErrorSharingViolation);
    return InvalidHandleValue();
  }
  if (creationDisposition == kCreateAlways && ftruncate(descriptor, 0) != 0) {
    SetLastError(simulated::Win32ErrorOf(errno));
    close(descriptor);
    return InvalidHandleValue();
  }
  if (deleteOnClose) DeletedOnClose().insert(descriptor);
  return HandleOf(descriptor);
}

BOOL os::ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void*) {
  *bytesRead = 0;
  ssize_t count = 0;
  do {
    count = read(DescriptorOf(file), buffer, bytesToRead);
  } while (count < 0 && errno == EINTR);
  if (count < 0) {
    SetLastError(errno == EBADF ? kErrorInvalidHandle : simulated::Win32ErrorOf(errno));
    return 0;
  }
  *bytesRead = static_cast<DWORD>(count);
  return 1;
}

BOOL os::WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
                   void*) {
  *bytesWritten = 0;
  ssize_t count = 0;
  do {
    count = write(DescriptorOf(file), buffer, bytesToWrite);
  } while (count < 0 && errno == EINTR);
  if (count < 0) {
    SetLastError(ErrorOfWrite(errno));
    return 0;
  }
  *bytesWritten = static_cast<DWORD>(count);
  return 1;
}

BOOL os::SetFilePointerEx(HANDLE file, std::int64_t distanceToMove, std::int64_t* newFilePointer,
                          DWORD moveMethod) {
  const int whence = moveMethod == kFileBegin ? SEEK_SET
                     : moveMethod == kFileEnd ? SEEK_END
                                              : SEEK_CUR;
  const off_t position = lseek(DescriptorOf(file), static_cast<off_t>(distanceToMove), whence);
  if (position < 0) {
    SetLastError(simulated::Win32ErrorOf(errno));
    return 0;
  }
  if (newFilePointer != nullptr) *newFilePointer = position;
  return 1;
}

BOOL os::FlushFileBuffers(HANDLE file) {
  if (fsync(DescriptorOf(file)) != 0) {
    SetLastError(ErrorOfWrite(errno));
    return 0;
  }
  return 1;
}

BOOL os::SetEndOfFile(HANDLE file) {
  const int descriptor = DescriptorOf(file);
  const off_t end = lseek(descriptor, 0, SEEK_CUR);
  struct stat status {};
  if (end < 0 || fstat(descriptor, &status) != 0) {
    SetLastError(simulated::Win32ErrorOf(errno));
    return 0;
  }
  // Growing reserves the blocks, as Windows does: a later write cannot then
  // find the disk full.
  if (end > status.st_size) {
    const int error = posix_fallocate(descriptor, status.st_size, end - status.st_size);
    if (error != 0) {
      SetLastError(ErrorOfWrite(error));
      return 0;
    }
  }
  if (ftruncate(descriptor, end) != 0) {
    SetLastError(ErrorOfWrite(errno));
    return 0;
  }
  return 1;
}

BOOL os::GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* information) {
  struct stat status {};
  if (fstat(DescriptorOf(file), &status) != 0) {
    SetLastError(errno == EBADF ? kErrorInvalidHandle : simulated::Win32ErrorOf(errno));
    return 0;
  }
  *information = BY_HANDLE_FILE_INFORMATION{};
  information->dwFileAttributes = simulated::AttributesOf(status);
  const auto size = static_cast<std::uint64_t>(status.st_size);
  information->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  information->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  information->nNumberOfLinks = static_cast<DWORD>(status.st_nlink);
  information->dwVolumeSerialNumber = static_cast<DWORD>(status.st_dev);
  const auto index = static_cast<std::uint64_t>(status.st_ino);
  information->nFileIndexHigh = static_cast<DWORD>(index >> 32);
  information->nFileIndexLow = static_cast<DWORD>(index & 0xFFFFFFFFu);
  return 1;
}

BOOL os::CloseHandle(HANDLE object) {
  const int descriptor = DescriptorOf(object);
  // A delete-on-close handle leaves its file waiting to be deleted; the
  // last handle on a file that waits takes its name with it.
  struct stat status {};
  if (DeletedOnClose().erase(descriptor) != 0 && fstat(descriptor, &status) == 0) {
    fchmod(descriptor, (status.st_mode & 07777) | S_ISVTX);
  }
  if (fstat(descriptor, &status) == 0 && DeletePending(status) &&
      !Marked(descriptor, kOpenMarker)) {
    char name[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(descriptor);
    const ssize_t length = readlink(link.c_str(), name, sizeof name - 1);
    if (length > 0) unlink(std::string(name, static_cast<std::size_t>(length)).c_str());
  }
  if (close(descriptor) != 0) {
    SetLastError(errno == EBADF ? kErrorInvalidHandle : ErrorOfWrite(errno));
    return 0;
  }
  return 1;
}

BOOL os::MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags) {
  DWORD error = 0;
  const auto source = simulated::FilePathOf(existingFileName, simulated::Reach::Write, error);
  auto target =
      source ? simulated::FilePathOf(newFileName, simulated::Reach::Replace, error) : std::nullopt;
  if (!source || !target) {
    SetLastError(error);
    return 0;
  }
  // The source is opened to be deleted, sharing everything: a handle on it
  // that does not share deleting refuses the rename.
  if (simulated::WaitsToBeDeleted(*source)) {
    SetLastError(kErrorAccessDenied);
    return 0;
  }
  if (OthersOnRemoval(*source) == kErrorSharingViolation) {
    SetLastError(kErrorSharingViolation);
    return 0;
  }
  const bool targetPending = simulated::WaitsToBeDeleted(*target);
  struct stat link {};
  if (lstat(target->c_str(), &link) == 0) {
    if ((flags & kMoveFileReplaceExisting) == 0) {
      SetLastError(kErrorAlreadyExists);
      return 0;
    }
    const auto real = simulated::HostPathOf(newFileName, false, error);
    if (real && simulated::RenameOverRefused(*real)) {
      SetLastError(kErrorAccessDenied);
      return 0;
    }
    // As on Windows, a symbolic link is itself replaced, not the file it names.
    struct stat replaced {};
    if (stat(target->c_str(), &replaced) == 0) {
      if (S_ISDIR(replaced.st_mode) || HasNoWriteBits(replaced)) {
        SetLastError(kErrorAccessDenied);
        return 0;
      }
      // Windows refuses to rename over a file that is open, whatever its
      // share mode, or waiting to be deleted, with "access denied".
      if (targetPending || OthersOnRemoval(*target) != 0) {
        SetLastError(kErrorAccessDenied);
        return 0;
      }
      // The new file takes the place of the old one as users see it: its mode and owner.
      if (chmod(source->c_str(), replaced.st_mode & 07777) != 0 ||
          (geteuid() == 0 && chown(source->c_str(), replaced.st_uid, replaced.st_gid) != 0)) {
        SetLastError(simulated::Win32ErrorOf(errno));
        return 0;
      }
    }
  }
  if (rename(source->c_str(), target->c_str()) != 0) {
    SetLastError(errno == EXDEV ? kErrorNotSameDevice : simulated::Win32ErrorOf(errno));
    return 0;
  }
  if ((flags & kMoveFileWriteThrough) != 0) {
    // The new name is on disk only once its folder is.
    const int folder = open(FolderOf(*target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = folder >= 0 && fsync(folder) == 0;
    if (folder >= 0) close(folder);
    if (!synced) {
      SetLastError(ErrorOfWrite(errno));
      return 0;
    }
  }
  return 1;
}

BOOL os::DeleteFileA(const char* fileName) {
  DWORD error = 0;
  const auto real = simulated::HostPathOf(fileName, false, error);
  if (!real) {
    SetLastError(error);
    return 0;
  }
  if (simulated::RemovalRefused(*real)) {
    SetLastError(kErrorAccessDenied);
    return 0;
  }
  const std::string path = simulated::Virtualized(*real, simulated::Reach::Read);
  struct stat status {};
  if (simulated::WaitsToBeDeleted(path) ||
      (stat(path.c_str(), &status) == 0 && (S_ISDIR(status.st_mode) || HasNoWriteBits(status)))) {
    SetLastError(kErrorAccessDenied);
    return 0;
  }
  // A file that others have open, all sharing deleting, waits for them.
  const DWORD others = OthersOnRemoval(path);
  if (others == kErrorSharingViolation) {
    SetLastError(kErrorSharingViolation);
    return 0;
  }
  if (others == 1) {
    if (chmod(path.c_str(), (status.st_mode & 07777) | S_ISVTX) == 0) return 1;
  }
  if (unlink(path.c_str()) != 0) {
    SetLastError(simulated::Win32ErrorOf(errno));
    return 0;
  }
  return 1;
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

void os::Sleep(DWORD milliseconds) {
  timespec delay{static_cast<time_t>(milliseconds / 1000),
                 static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
  }
}

}  // namespace tidemark::platform
