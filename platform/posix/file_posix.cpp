// The Linux stand-in for the Win32 file calls. A handle is a file
// descriptor. Windows' sharing rules are modelled with flock: share mode 0
// takes an exclusive lock, any other a shared one, both without waiting and
// held until the handle is closed. A file without write permission bits is
// what Windows calls read-only: it is refused for writing, replacing and
// deleting, also to root, as Windows refuses it to an administrator.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/platform.h"
#include "platform/posix/account_control.h"
#include "platform/posix/host_path.h"

namespace tidemark::platform {

namespace {

constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorNotSameDevice = 17;
constexpr DWORD kErrorInvalidParameter = 87;

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
                                                              : posix::Win32ErrorOf(error);
}

// Whether another handle holds the file exclusively (Windows: sharing violation).
bool HeldElsewhere(const std::string& path) {
  const int probe = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (probe < 0) return false;
  const bool held = flock(probe, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(probe);
  return held;
}

std::string FolderOf(const std::string& path) {
  const std::size_t cut = path.find_last_of('/');
  if (cut == std::string::npos) return ".";
  return cut == 0 ? "/" : path.substr(0, cut);
}

}  // namespace

HANDLE os::CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode, void*,
                       DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
  const bool reads = (desiredAccess & kGenericRead) != 0;
  const bool writes = (desiredAccess & kGenericWrite) != 0;
  DWORD error = 0;
  const auto path = posix::FilePathOf(
      fileName,
      writes || creationDisposition != kOpenExisting ? posix::Reach::Write : posix::Reach::Read,
      error);
  if (!path) {
    SetLastError(error);
    return InvalidHandleValue();
  }
  int flags = O_CLOEXEC | (reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY);
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
  struct stat status {};
  if (stat(path->c_str(), &status) == 0) {
    // A folder opens, as on Windows, only with backup semantics and only to be asked about.
    const bool folderOpens = (flagsAndAttributes & kFileFlagBackupSemantics) != 0 && !writes &&
                             creationDisposition == kOpenExisting;
    if ((S_ISDIR(status.st_mode) && !folderOpens) || (writes && HasNoWriteBits(status))) {
      SetLastError(creationDisposition == kCreateNew ? kErrorFileExists : kErrorAccessDenied);
      return InvalidHandleValue();
    }
  }
  if (writes) {
    // A file-size limit must show as a short write, not end the process.
    static const bool sizeSignalIgnored = (std::signal(SIGXFSZ, SIG_IGN), true);
    (void)sizeSignalIgnored;
  }
  const int descriptor = open(path->c_str(), flags, 0666);
  if (descriptor < 0) {
    SetLastError(errno == EEXIST ? kErrorFileExists : posix::Win32ErrorOf(errno));
    return InvalidHandleValue();
  }
  if (flock(descriptor, (shareMode == 0 ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    const int lockError = errno;
    close(descriptor);
    SetLastError(lockError == EWOULDBLOCK ? kErrorSharingViolation
                                          : posix::Win32ErrorOf(lockError));
    return InvalidHandleValue();
  }
  if (creationDisposition == kCreateAlways && ftruncate(descriptor, 0) != 0) {
    SetLastError(posix::Win32ErrorOf(errno));
    close(descriptor);
    return InvalidHandleValue();
  }
  return HandleOf(descriptor);
}

BOOL os::ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void*) {
  *bytesRead = 0;
  ssize_t count = 0;
  do {
    count = read(DescriptorOf(file), buffer, bytesToRead);
  } while (count < 0 && errno == EINTR);
  if (count < 0) {
    SetLastError(errno == EBADF ? kErrorInvalidHandle : posix::Win32ErrorOf(errno));
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
    SetLastError(posix::Win32ErrorOf(errno));
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
    SetLastError(posix::Win32ErrorOf(errno));
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
    SetLastError(errno == EBADF ? kErrorInvalidHandle : posix::Win32ErrorOf(errno));
    return 0;
  }
  *information = BY_HANDLE_FILE_INFORMATION{};
  information->dwFileAttributes = posix::AttributesOf(status);
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
  if (close(DescriptorOf(object)) != 0) {
    SetLastError(errno == EBADF ? kErrorInvalidHandle : ErrorOfWrite(errno));
    return 0;
  }
  return 1;
}

BOOL os::MoveFileExA(const char* existingFileName, const char* newFileName, DWORD flags) {
  DWORD error = 0;
  const auto source = posix::FilePathOf(existingFileName, posix::Reach::Write, error);
  auto target =
      source ? posix::FilePathOf(newFileName, posix::Reach::Replace, error) : std::nullopt;
  if (!source || !target) {
    SetLastError(error);
    return 0;
  }
  struct stat link {};
  if (lstat(target->c_str(), &link) == 0) {
    if ((flags & kMoveFileReplaceExisting) == 0) {
      SetLastError(kErrorAlreadyExists);
      return 0;
    }
    // As on Windows, a symbolic link is itself replaced, not the file it names.
    struct stat replaced {};
    if (stat(target->c_str(), &replaced) == 0) {
      if (S_ISDIR(replaced.st_mode) || HasNoWriteBits(replaced)) {
        SetLastError(kErrorAccessDenied);
        return 0;
      }
      // Windows refuses to rename over a file that is open elsewhere with
      // "access denied", not as a sharing violation.
      if (HeldElsewhere(*target)) {
        SetLastError(kErrorAccessDenied);
        return 0;
      }
      // The new file takes the place of the old one as users see it: its mode and owner.
      if (chmod(source->c_str(), replaced.st_mode & 07777) != 0 ||
          (geteuid() == 0 && chown(source->c_str(), replaced.st_uid, replaced.st_gid) != 0)) {
        SetLastError(posix::Win32ErrorOf(errno));
        return 0;
      }
    }
  }
  if (rename(source->c_str(), target->c_str()) != 0) {
    SetLastError(errno == EXDEV ? kErrorNotSameDevice : posix::Win32ErrorOf(errno));
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
  const auto real = posix::HostPathOf(fileName, false, error);
  if (!real) {
    SetLastError(error);
    return 0;
  }
  if (posix::RemovalRefused(*real)) {
    SetLastError(kErrorAccessDenied);
    return 0;
  }
  const std::string path = posix::Virtualized(*real, posix::Reach::Read);
  struct stat status {};
  if (stat(path.c_str(), &status) == 0 && (S_ISDIR(status.st_mode) || HasNoWriteBits(status))) {
    SetLastError(kErrorAccessDenied);
    return 0;
  }
  if (unlink(path.c_str()) != 0) {
    SetLastError(posix::Win32ErrorOf(errno));
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
