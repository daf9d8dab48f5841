#include "support/save_leftovers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "support/crc32.h"
#include "support/file_stream.h"
#include "support/refusals.h"
#include "support/turn.h"

namespace tidemark {

namespace {

constexpr std::string_view kPrefix = ".tidemark-save.";
constexpr std::string_view kFileEnd = ".tmp";
constexpr std::string_view kMarkEnd = ".void";
// Earlier versions wrote every new file under this one name: removed, never put back.
constexpr std::string_view kFixedName = "tmp";

// "<size>-<crc>", as the name carries them.
std::string ProofText(const SaveProof& proof) {
  std::array<char, 9> crc{};  // a leading 1, then the eight digits with their zeros
  std::to_chars(crc.data(), crc.data() + crc.size(), proof.Crc | 0x100000000ULL, 16);
  return std::to_string(proof.Size) + "-" + std::string(crc.data() + 1, 8);
}

// The proof that `text` carries before `end`, spelled as ProofText spells it.
std::optional<SaveProof> ProofIn(std::string_view text, std::string_view end) {
  if (!text.ends_with(end)) return std::nullopt;
  text.remove_suffix(end.size());
  const std::size_t dash = text.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  SaveProof proof;
  const char* const first = text.data();
  const char* const last = text.data() + text.size();
  if (std::from_chars(first, first + dash, proof.Size).ptr != first + dash ||
      std::from_chars(first + dash + 1, last, proof.Crc, 16).ptr != last ||
      ProofText(proof) != text) {
    return std::nullopt;
  }
  return proof;
}

TextValue MarkOf(const TextValue& name) {
  return name.Left(name.Length() - static_cast<std::int32_t>(kFileEnd.size())) +
         TextValue(kMarkEnd);
}

struct Leftover {
  TextValue Name;
  std::optional<SaveProof> Proof;  // none for the fixed name of earlier versions
};

// What lies beside `path` under the turn's names: new files, and the names
// of the files that marks were found for.
struct Leftovers {
  std::vector<Leftover> Files;
  std::vector<TextValue> Marked;
  bool Whole = true;  // false: the listing stopped early, a mark may be unseen
  bool IsMarked(const TextValue& name) const {
    return std::find(Marked.begin(), Marked.end(), name) != Marked.end();
  }
  bool IsListed(const TextValue& name) const {
    return std::any_of(Files.begin(), Files.end(),
                       [&](const Leftover& file) { return file.Name == name; });
  }
};

Leftovers ListLeftovers(const TextValue& path) {
  Leftovers found;
  const TextValue prefix = path + TextValue(kPrefix);
  platform::WIN32_FIND_DATAA entry{};
  const platform::HANDLE search = platform::FindFirstFileA((prefix + "*").Bytes(), &entry);
  if (search == platform::InvalidHandleValue()) return found;
  do {
    const std::string_view name(entry.cFileName, strnlen(entry.cFileName, sizeof entry.cFileName));
    const std::size_t at = name.find(kPrefix);
    if (at == std::string_view::npos ||
        (entry.dwFileAttributes & platform::kFileAttributeDirectory) != 0) {
      continue;
    }
    const std::string_view rest = name.substr(at + kPrefix.size());
    if (rest == kFixedName) {
      found.Files.push_back({prefix + TextValue(kFixedName), std::nullopt});
    } else if (const auto proof = ProofIn(rest, kFileEnd)) {
      found.Files.push_back({NewFileName(path, *proof), proof});
    } else if (const auto marked = ProofIn(rest, kMarkEnd)) {
      found.Marked.push_back(NewFileName(path, *marked));
    }
  } while (platform::FindNextFileA(search, &entry) != 0);
  // The listing's end is ERROR_NO_MORE_FILES (Wine's dlls/kernel32/tests/
  // file.c, test_FindNextFileA); any other error (a network folder that
  // went away) stopped it early.
  found.Whole = platform::GetLastError() == platform::kErrorNoMoreFiles;
  platform::FindClose(search);
  return found;
}

bool Remove(const TextValue& name) { return !RemoveWaitingOutHolds(name.Bytes()); }

// Whether the file holds exactly the bytes its name proves.
bool HoldsWhatItsNameProves(const Leftover& file) {
  const platform::HANDLE handle = platform::CreateFileA(
      file.Name.Bytes(), platform::kGenericRead, platform::kFileShareRead, nullptr,
      platform::kOpenExisting, platform::kFileAttributeNormal, nullptr);
  if (handle == platform::InvalidHandleValue()) return false;
  THandleStream stream(handle);
  constexpr std::int64_t kChunk = std::int64_t{64} * 1024;
  std::vector<char> buffer(kChunk);
  SaveProof read;
  bool whole = stream.MoveTo(0, SeekOrigin::FromEnd) == file.Proof->Size &&
               stream.MoveTo(0, SeekOrigin::FromStart) == 0;
  while (whole && read.Size < file.Proof->Size) {
    const std::int32_t count = stream.ReadBytes(
        buffer.data(), static_cast<std::int32_t>(std::min(kChunk, file.Proof->Size - read.Size)));
    whole = count > 0;
    read.Add(buffer.data(), count);
  }
  platform::CloseHandle(handle);
  return whole && read.Crc == file.Proof->Crc;
}

}  // namespace

void SaveProof::Add(const void* bytes, std::int64_t count) {
  if (count <= 0) return;
  Crc = Crc32(Crc, bytes, static_cast<std::size_t>(count));
  Size += count;
}

TextValue NewFileName(const TextValue& path, const SaveProof& proof) {
  return path + TextValue(kPrefix) + TextValue(ProofText(proof)) + TextValue(kFileEnd);
}

bool ClearLeftovers(const TextValue& path, const TextValue& name) {
  const Leftovers found = ListLeftovers(path);
  bool clear = true;
  for (const Leftover& file : found.Files) {
    const bool marked = found.IsMarked(file.Name);
    if (file.Name == name && !marked) continue;
    const bool gone = Remove(file.Name) && (!marked || Remove(MarkOf(file.Name)));
    if (!gone && file.Name == name) clear = false;
    if (!gone && file.Proof && !marked) MarkVoid(file.Name);
  }
  // Marks whose files are gone already: a kill between the two removals.
  for (const TextValue& marked : found.Marked) {
    if (!found.IsListed(marked) && !Remove(MarkOf(marked)) && marked == name) clear = false;
  }
  return clear;
}

void MarkVoid(const TextValue& name) {
  const platform::HANDLE mark = platform::CreateFileA(
      MarkOf(name).Bytes(), platform::kGenericWrite,
      platform::kFileShareRead | platform::kFileShareWrite | platform::kFileShareDelete, nullptr,
      platform::kCreateAlways, platform::kFileAttributeNormal, nullptr);
  if (mark != platform::InvalidHandleValue()) {
    // Its name on the disk before the save goes on. A flush writes "file
    // data and metadata" (NtFlushBuffersFileEx, flags 0), which on FAT
    // takes in the file's entry and every folder above it
    // (FatCommonFlushBuffers, filesys/fastfat/flush.c in Microsoft's
    // Windows-driver-samples); for NTFS and exFAT no source says the
    // folder's entry is in it: there the mark may be lost with a power cut.
    platform::FlushFileBuffers(mark);
    platform::CloseHandle(mark);
  }
}

bool RecoverCutReplace(const TextValue& path) {
  // Without the turn, a new file may be another copy's, still being written.
  if (!TTurn::HeldFor(path)) return false;
  const Leftovers found = ListLeftovers(path);
  // A listing cut short may have missed the mark that voids a file.
  if (!found.Whole) return false;
  const Leftover* last = nullptr;
  int unmarked = 0;
  for (const Leftover& file : found.Files) {
    if (!file.Proof) continue;
    if (!found.IsMarked(file.Name)) {
      last = &file;
      ++unmarked;
    } else if (Remove(file.Name)) {
      Remove(MarkOf(file.Name));
    }
  }
  // A save makes its new file only once every earlier one is gone or
  // marked: two unmarked ones are not one save's.
  if (unmarked != 1 || !HoldsWhatItsNameProves(*last)) return false;
  // Never over a file: one that has appeared meanwhile is kept.
  const platform::DWORD flags = platform::kMoveFileWriteThrough;
  return platform::MoveFileExA(last->Name.Bytes(), path.Bytes(), flags) != 0;
}

}  // namespace tidemark
