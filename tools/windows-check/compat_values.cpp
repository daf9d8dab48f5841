#include "windows-check/compat_values.h"

#include <windows.h>

#include "windows-check/files.h"

namespace tidemark::check {

namespace {

const char* const kLayers =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
const char* const kUserKeys[] = {
    kLayers,
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility "
    "Assistant\\Store",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility "
    "Assistant\\Persisted"};

// The values of a key whose names lie in `folder`: name, and the data
// where it is a string.
std::vector<std::pair<std::string, std::string>> ValuesWithin(HKEY root, REGSAM view,
                                                              const char* key,
                                                              const std::string& folder) {
  std::vector<std::pair<std::string, std::string>> values;
  HKEY opened = nullptr;
  if (::RegOpenKeyExA(root, key, 0, KEY_READ | view, &opened) != 0) return values;
  for (DWORD index = 0;; ++index) {
    char name[MAX_PATH * 2] = {};
    BYTE data[512] = {};
    DWORD nameSize = sizeof name;
    DWORD dataSize = sizeof data - 1;
    DWORD type = 0;
    const LONG status =
        ::RegEnumValueA(opened, index, name, &nameSize, nullptr, &type, data, &dataSize);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) break;
    if (!Within(name, folder)) continue;
    values.emplace_back(name, type == REG_SZ ? reinterpret_cast<const char*>(data) : "(data)");
  }
  ::RegCloseKey(opened);
  return values;
}

}  // namespace

std::vector<std::string> MissingLayerKeys() {
  std::vector<std::string> missing;
  for (std::string key = kLayers; key.find('\\') != std::string::npos;
       key = key.substr(0, key.rfind('\\'))) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) == 0) {
      ::RegCloseKey(opened);
      break;
    }
    missing.push_back(key);
  }
  return missing;
}

bool RemoveKeyIfEmpty(const std::string& key) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) != 0) return false;
  DWORD keys = 1;
  DWORD values = 1;
  ::RegQueryInfoKeyA(opened, nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
  ::RegCloseKey(opened);
  return keys == 0 && values == 0 && ::RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str()) == 0;
}

bool SetRunAsAdministrator(const std::string& program, bool tildeForm) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, kLayers, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != 0) {
    return false;
  }
  const std::string data = tildeForm ? "~ RUNASADMIN" : "RUNASADMIN";
  const bool set =
      ::RegSetValueExA(key, program.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1)) == 0;
  ::RegCloseKey(key);
  return set;
}

std::vector<std::string> LayersWithin(const std::string& folder) {
  std::vector<std::string> found;
  const struct {
    const char* name;
    HKEY root;
    REGSAM view;
  } places[] = {{"HKCU", HKEY_CURRENT_USER, 0},
                {"HKLM (64-bit view)", HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY},
                {"HKLM (32-bit view)", HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY}};
  for (const auto& place : places) {
    for (const auto& [name, data] : ValuesWithin(place.root, place.view, kLayers, folder)) {
      found.push_back(std::string(place.name) + ": " + name + " = " + data);
    }
  }
  return found;
}

std::vector<std::string> RemoveValuesWithin(const std::string& folder) {
  std::vector<std::string> removed;
  for (const char* key : kUserKeys) {
    const auto values = ValuesWithin(HKEY_CURRENT_USER, 0, key, folder);
    if (values.empty()) continue;
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_SET_VALUE, &opened) != 0) continue;
    for (const auto& value : values) {
      if (::RegDeleteValueA(opened, value.first.c_str()) == 0) {
        removed.push_back("HKCU\\" + std::string(key) + ": " + value.first);
      }
    }
    ::RegCloseKey(opened);
  }
  return removed;
}

}  // namespace tidemark::check
