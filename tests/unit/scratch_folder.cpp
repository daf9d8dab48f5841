#include "unit/scratch_folder.h"

#include <ctime>
#include <fstream>
#include <random>

namespace tidemark::testing {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() : previous_(fs::current_path()) {
  std::random_device random;
  folder_ = fs::temp_directory_path() / ("tidemark-test-" + std::to_string(random()));
  fs::create_directories(folder_);
  fs::current_path(folder_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::current_path(previous_, ignored);
  fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(folder_, ignored);
}

void ScratchFolder::WriteFile(const std::string& relativePath, const std::string& content) {
  const fs::path path(relativePath);
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

void ScratchFolder::SetLocalWriteTime(const std::string& relativePath, int year, int month, int day,
                                      int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  const auto instant = std::chrono::system_clock::from_time_t(std::mktime(&local));
  fs::last_write_time(relativePath, std::chrono::file_clock::from_sys(instant));
}

}  // namespace tidemark::testing
