// The rows of the answers table (see answers_table.h) and the way each is
// made. Each row's source names the Microsoft page or Wine test that gives
// its answer.
//
// No row holds the rule that tells a rule from a hold in the save: an open
// for DELETE is refused with ERROR_ACCESS_DENIED where the user has neither
// DELETE on the file nor FILE_DELETE_CHILD on its folder (Microsoft, KB
// 238018 "DELETE Standard Access Right on a Windows NT File Securable
// Object"; DeleteFileA: deleting needs delete permission on the file or
// delete child permission on its folder). The unit test runs as root
// natively, to whom every removal is allowed, and Wine grants that open; the
// end-to-end sticky-folder case (tests/e2e/suite_faults.sh) checks Wine's
// answer.
#include "windows-check/answers_table.h"

#include <string_view>

namespace tidemark::answers {

namespace {

namespace p = platform;

constexpr DWORD kRead = p::kGenericRead;
constexpr DWORD kWrite = p::kGenericWrite;
constexpr DWORD kAttributes = p::kFileReadAttributes;
constexpr DWORD kShareRead = p::kFileShareRead;
constexpr DWORD kShareWrite = p::kFileShareWrite;
constexpr DWORD kShareDelete = p::kFileShareDelete;
constexpr DWORD kShareAll = kShareRead | kShareWrite | kShareDelete;
constexpr DWORD kInUse = p::kErrorSharingViolation;
constexpr DWORD kDenied = p::kErrorAccessDenied;

const char* const kSharingRule =
    "Wine kernel32 tests file.c test_file_sharing (is_sharing_compatible: each handle's read, "
    "write and delete access against the other's share mode; a handle with none joins no check)";
const char* const kRenameOverOpen =
    "Microsoft, Rename and Hard Link Processing (a rename over a file with any open user handle "
    "is denied: STATUS_ACCESS_DENIED, whatever the handle's access or share mode); Microsoft, "
    "FILE_RENAME_INFORMATION: only POSIX semantics replace a file that has open handles; Wine "
    "ntdll tests file.c test_file_rename_information (\"Replace = TRUE, target file opened\")";

}  // namespace

// Built on first use: a table built before main could fail where nothing
// catches it.
std::span<const Row> Rows() {
  // Waiting to be deleted: a reader sharing everything keeps it, a
  // delete-on-close handle closed at once marked it.
  static const std::vector<Hold> kDeletePending = {
      {"a", p::kGenericRead, kShareAll},
      {"a", p::kDelete, kShareAll, p::kFileFlagDeleteOnClose, true}};

  // One row a line or two, as a table reads.
  // clang-format off
  static const Row kRows[] = {
    // The sharing rule, both ways round.
    {"a reader sharing reading admits another reader", {{"a", kRead, kShareRead}},
     Call::Open, "a", kRead, kShareRead | kShareWrite, kOk, kSharingRule},
    {"a reader sharing reading refuses a writer", {{"a", kRead, kShareRead}},
     Call::Open, "a", kWrite, kShareAll, kInUse, kSharingRule},
    {"a writer refuses an open that does not share writing",
     {{"a", kWrite, kShareRead | kShareWrite}},
     Call::Open, "a", kRead, kShareRead, kInUse, kSharingRule},
    {"a handle sharing nothing admits one for attributes only", {{"a", kRead, 0}},
     Call::Open, "a", kAttributes, 0, kOk, kSharingRule},
    {"a handle not sharing deleting refuses an open for deleting",
     {{"a", kRead, kShareRead | kShareWrite}},
     Call::Open, "a", p::kDelete, kShareAll, kInUse, kSharingRule},
    {"a handle sharing everything admits an open for deleting", {{"a", kRead | kWrite, kShareAll}},
     Call::Open, "a", p::kDelete, kShareAll, kOk, kSharingRule},
    {"an open for deleting refuses one that does not share deleting",
     {{"a", p::kDelete, kShareAll}},
     Call::Open, "a", kRead, kShareRead | kShareWrite, kInUse, kSharingRule},
    // Renames over a file that is open, whatever its share mode.
    {"a rename over a file held sharing nothing", {{"b", kRead, 0}},
     Call::Rename, "a", 0, 0, kDenied, kRenameOverOpen},
    {"a rename over a file held sharing everything", {{"b", kRead, kShareAll}},
     Call::Rename, "a", 0, 0, kDenied, kRenameOverOpen},
    {"a rename over a file held for its attributes only", {{"b", kAttributes, kShareAll}},
     Call::Rename, "a", 0, 0, kDenied, kRenameOverOpen},
    // A rename opens its source for deleting.
    {"a rename whose source is held without sharing deleting",
     {{"a", kRead, kShareRead | kShareWrite}},
     Call::Rename, "a", 0, 0, kInUse,
     "Wine ntdll tests file.c test_file_rename_information (a rename opens the old path with "
     "DELETE access) and kernel32 test_file_sharing (an open for DELETE against a handle without "
     "FILE_SHARE_DELETE: ERROR_SHARING_VIOLATION)"},
    // Removing a file that is open.
    {"removing a file held without sharing deleting", {{"a", kRead, kShareRead | kShareWrite}},
     Call::Remove, "a", 0, 0, kInUse,
     "Microsoft, DeleteFileA: fails while another handle is open without FILE_SHARE_DELETE; the "
     "code, ERROR_SHARING_VIOLATION, is Wine kernel32 tests file.c test_file_sharing's for an open "
     "for DELETE against such a handle"},
    {"removing a file held sharing deleting", {{"a", kRead, kShareRead | kShareDelete}},
     Call::Remove, "a", 0, 0, kOk,
     "Wine kernel32 tests file.c test_DeleteFileA (a file open with FILE_SHARE_DELETE: removed)"},
    // A name waiting to be deleted.
    {"making a name waiting to be deleted anew",
     kDeletePending, Call::CreateNew, "a", 0, 0, kDenied,
     "Microsoft, DeleteFileA (CreateFile on a file marked for deletion: ERROR_ACCESS_DENIED); "
     "Microsoft's fastfat sample (Windows-driver-samples filesys/fastfat/create.c, "
     "FatCommonCreate: a name pending delete answers STATUS_DELETE_PENDING before any disposition "
     "is weighed) and the NTSTATUS to Win32 error mapping (STATUS_DELETE_PENDING is "
     "ERROR_ACCESS_DENIED). Wine 8 answers ERROR_FILE_EXISTS", p::kErrorFileExists},
    {"asking for the attributes of a name waiting to be deleted", kDeletePending, Call::Attributes,
     "a", 0, 0, kDenied,
     "Microsoft, NTSTATUS to Win32 error mapping (STATUS_DELETE_PENDING is ERROR_ACCESS_DENIED); "
     "reproduced on Windows in llvm-project issue 89137. Wine 8 answers the attributes", kOk},
    {"listing a name waiting to be deleted", kDeletePending, Call::List, "a", 0, 0, kOk,
     "Raymond Chen, The Old New Thing, 2004-06-07, \"Deleted but not yet forgotten\" (a file "
     "deleted while open hangs around until its handles are closed); Microsoft, DeleteFileA: the "
     "file goes only when its last handle is closed"},
    // Making a new file under a name that exists.
    {"CREATE_NEW on an existing name", {}, Call::CreateNew, "a", 0, 0, p::kErrorFileExists,
     "Wine kernel32 tests file.c test_CreateFile2 (CREATE_NEW on an existing file: "
     "ERROR_FILE_EXISTS)"},
    // The turn asks who a folder is while another program uses it.
    {"a folder opened for its identity while in use",
     {{"f", kRead, 0, p::kFileFlagBackupSemantics}},
     Call::Open, "f", kAttributes, kShareAll, kOk,
     "Wine kernel32 tests file.c test_file_sharing (FILE_READ_ATTRIBUTES joins no sharing check); "
     "Microsoft, CreateFileA: a folder opens with FILE_FLAG_BACKUP_SEMANTICS"},
};
  // clang-format on
  return kRows;
}

namespace {

// Makes a file holding `content`; false where it cannot.
bool Make(const char* name, std::string_view content) {
  const p::HANDLE file = p::CreateFileA(name, p::kGenericWrite, 0, nullptr, p::kCreateNew,
                                        p::kFileAttributeNormal, nullptr);
  if (file == p::InvalidHandleValue()) return false;
  DWORD written = 0;
  const bool wrote = p::WriteFile(file, content.data(), static_cast<DWORD>(content.size()),
                                  &written, nullptr) != 0;
  p::CloseHandle(file);
  return wrote && written == content.size();
}

DWORD Outcome(bool succeeded) { return succeeded ? kOk : p::GetLastError(); }

DWORD MakeCall(const Row& row) {
  p::SetLastError(kSentinel);
  switch (row.call) {
    case Call::Open:
    case Call::CreateNew: {
      const bool create = row.call == Call::CreateNew;
      const p::HANDLE handle = p::CreateFileA(
          row.name, create ? p::kGenericWrite : row.access, create ? 0 : row.share, nullptr,
          create ? p::kCreateNew : p::kOpenExisting, p::kFileFlagBackupSemantics, nullptr);
      const DWORD answer = Outcome(handle != p::InvalidHandleValue());
      if (handle != p::InvalidHandleValue()) p::CloseHandle(handle);
      return answer;
    }
    case Call::Attributes:
      return Outcome(p::GetFileAttributesA(row.name) != p::kInvalidFileAttributes);
    case Call::List: {
      p::WIN32_FIND_DATAA found{};
      const p::HANDLE search = p::FindFirstFileA(row.name, &found);
      const DWORD answer = Outcome(search != p::InvalidHandleValue());
      if (search != p::InvalidHandleValue()) p::FindClose(search);
      return answer;
    }
    case Call::Remove:
      return Outcome(p::DeleteFileA(row.name) != 0);
    case Call::Rename:
      return Outcome(p::MoveFileExA("a", "b", p::kMoveFileReplaceExisting) != 0);
  }
  return kSentinel;
}

}  // namespace

std::optional<DWORD> Answer(const Row& row) {
  if (!Make("a", "old") || !Make("b", "older") || p::CreateDirectoryA("f", nullptr) == 0 ||
      !Make("f\\inside", "x")) {
    return std::nullopt;
  }
  std::vector<p::HANDLE> held;
  bool placed = true;
  for (const Hold& hold : row.holds) {
    const p::HANDLE handle =
        p::CreateFileA(hold.name, hold.access, hold.share, nullptr, p::kOpenExisting,
                       hold.flags | p::kFileFlagBackupSemantics, nullptr);
    if (handle == p::InvalidHandleValue()) {
      placed = false;
    } else if (hold.closed) {
      p::CloseHandle(handle);
    } else {
      held.push_back(handle);
    }
  }
  const DWORD answer = placed ? MakeCall(row) : kSentinel;
  for (const p::HANDLE handle : held) p::CloseHandle(handle);
  if (!placed) return std::nullopt;
  return answer;
}

DWORD Expected(const Row& row, bool underWine) {
  return underWine && row.wine ? *row.wine : row.answer;
}

std::string Named(DWORD answer) {
  switch (answer) {
    case kOk:
      return "succeeded";
    case p::kErrorFileNotFound:
      return "ERROR_FILE_NOT_FOUND (2)";
    case p::kErrorAccessDenied:
      return "ERROR_ACCESS_DENIED (5)";
    case p::kErrorSharingViolation:
      return "ERROR_SHARING_VIOLATION (32)";
    case p::kErrorFileExists:
      return "ERROR_FILE_EXISTS (80)";
    case kSentinel:
      return "no error set (the sentinel 0xdeadbeef stayed)";
    default:
      return "error " + std::to_string(answer);
  }
}

bool UnderWine() {
  const p::HMODULE ntdll = p::LoadLibraryA("ntdll.dll");
  return ntdll != nullptr && p::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace tidemark::answers
