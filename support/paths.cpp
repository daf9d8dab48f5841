#include "support/paths.h"

#include <cstring>

#include "platform/platform.h"

namespace tidemark {

namespace {

CodePageFacts& Facts() {
  static CodePageFacts facts;
  return facts;
}

bool IsLeadByte(const CodePageFacts& facts, char byte) {
  return facts.LeadByteSet.test(static_cast<unsigned char>(byte));
}

}  // namespace

CodePageFacts CodePageFactsFrom(bool doubleByteSystem, const std::uint8_t (&leadByteRanges)[12]) {
  CodePageFacts facts;
  facts.DoubleByteSystem = doubleByteSystem;
  if (!doubleByteSystem) return facts;
  for (std::size_t pair = 0; pair < 6; ++pair) {
    const unsigned low = leadByteRanges[2 * pair];
    const unsigned high = leadByteRanges[2 * pair + 1];
    if (low == 0 && high == 0) break;
    for (unsigned value = low; value <= high; ++value) facts.LeadByteSet.set(value);
  }
  return facts;
}

void PrepareCodePageFacts() {
  const bool doubleByteSystem = platform::GetSystemMetrics(platform::kSmDbcsEnabled) != 0;
  platform::CPINFO info{};
  std::uint8_t ranges[12] = {};
  // A failed query leaves the lead-byte set empty.
  if (doubleByteSystem && platform::GetCPInfo(platform::kCpAcp, &info) != 0) {
    std::memcpy(ranges, info.LeadByte, sizeof ranges);
  }
  CodePageFacts facts = CodePageFactsFrom(doubleByteSystem, ranges);
  std::uint32_t locale = platform::GetSystemDefaultLCID();
  if (locale == 0) locale = platform::GetSystemDefaultLangID();
  facts.SystemDefaultLocale = locale == 0 ? 0x409 : locale;
  Facts() = facts;
}

const CodePageFacts& CurrentCodePageFacts() { return Facts(); }

void AdoptCodePageFacts(const CodePageFacts& facts) { Facts() = facts; }

ByteKind ByteKindAt(const TextValue& text, std::int32_t position) {
  const CodePageFacts& facts = Facts();
  if (!facts.DoubleByteSystem) return ByteKind::Single;
  const char* bytes = text.Bytes();
  const std::int32_t index = position - 1;
  if (bytes[index] == '\0') return ByteKind::Single;
  // The run of lead-range bytes just before this one decides: an odd run
  // ends in a lead byte, so this byte is its partner.
  std::int32_t run = 0;
  for (std::int32_t before = index - 1; before >= 0 && IsLeadByte(facts, bytes[before]); --before) {
    ++run;
  }
  if (run % 2 == 1) return ByteKind::Trail;
  return IsLeadByte(facts, bytes[index]) ? ByteKind::Lead : ByteKind::Single;
}

std::int32_t FindLastSeparator(const char* separators, const TextValue& text) {
  for (std::int32_t position = text.Length(); position > 0; --position) {
    const char byte = text.At(position - 1);
    if (byte == '\0' || std::strchr(separators, byte) == nullptr) continue;
    if (ByteKindAt(text, position) != ByteKind::Trail) return position;
    --position;  // Pass over the lead byte of the same character too.
  }
  return 0;
}

TextValue FolderPartOf(const TextValue& path) { return path.Left(FindLastSeparator("\\:", path)); }

std::int32_t FileWriteStamp(const TextValue& path) {
  platform::WIN32_FIND_DATAA found{};
  platform::HANDLE search = platform::FindFirstFileA(path.Bytes(), &found);
  if (search == platform::InvalidHandleValue()) return -1;
  platform::FindClose(search);
  if ((found.dwFileAttributes & platform::kFileAttributeDirectory) != 0) return -1;
  platform::FILETIME local{};
  // A failed conversion to local time counts as missing, like a failed DOS conversion.
  if (platform::FileTimeToLocalFileTime(&found.ftLastWriteTime, &local) == 0) return -1;
  platform::WORD date = 0;
  platform::WORD time = 0;
  if (platform::FileTimeToDosDateTime(&local, &date, &time) == 0) return -1;
  return static_cast<std::int32_t>((std::uint32_t{date} << 16) | time);
}

bool FileIsPresent(const TextValue& path) {
  const platform::DWORD attributes = platform::GetFileAttributesA(path.Bytes());
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kFileAttributeDirectory) == 0;
}

bool FolderIsPresent(const TextValue& path) {
  const platform::DWORD attributes = platform::GetFileAttributesA(path.Bytes());
  return attributes != platform::kInvalidFileAttributes &&
         (attributes & platform::kFileAttributeDirectory) != 0;
}

std::int32_t MakeFolder(const char* path) {
  if (platform::CreateDirectoryA(path, nullptr) != 0) return 0;
  const platform::DWORD error = platform::GetLastError();
  platform::SetLastError(error == platform::kErrorAlreadyExists ? platform::kErrorAccessDenied
                                                                : (error & 0xFFFFu));
  return -1;
}

}  // namespace tidemark
