// Reading the Windows registry: one root key, at most one open key (the
// current key), keys opened by absolute ("\" first) or relative paths, and
// string values read with a check of their registry type.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "support/object.h"
#include "support/text_value.h"

namespace tidemark {

enum class RegistryValueKind : std::uint8_t {
  OtherType = 0,
  Text = 1,
  ExpandableText = 2,
  Number = 3,
  Bytes = 4,
};

// The fixed mapping from registry type codes: REG_DWORD (4) is Number (3)
// and REG_BINARY (3) is Bytes (4).
RegistryValueKind RegistryValueKindOf(platform::DWORD typeCode);

struct RegistryValueInfo {
  RegistryValueKind Kind = RegistryValueKind::OtherType;
  std::int32_t Size = 0;
};

class TRegistry : public TObject {
 public:
  TRegistry() = default;
  ~TRegistry() override;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  // A different root closes the open key; the same root leaves it open.
  void UseRootKey(platform::HKEY root);

  // Opens (or, with `mayCreate`, creates) the key and makes it current. Asks
  // for Access rights. False on any failure, which changes nothing.
  bool OpenKey(const TextValue& path, bool mayCreate);
  // Opens an existing key for reading only, as a standard user may.
  bool OpenKeyReadOnly(const TextValue& path);

  // The value as text (cut at its first zero byte; expandable text as
  // stored). The empty text for a missing or empty value. Raises
  // ERegistryException when the data cannot be read (61629) or is no string
  // (61626), naming the value.
  TextValue ReadString(const TextValue& name);

  bool QueryValueInfo(const TextValue& name, RegistryValueInfo& info);
  std::int32_t QueryValueSize(const TextValue& name);
  std::int32_t FetchValueData(const TextValue& name, void* buffer, std::int32_t size,
                              RegistryValueKind& kind);
  void CloseCurrentKey();

  platform::HKEY CurrentKey() const { return KeyHandle; }
  platform::HKEY RootKey() const { return RootHandle; }
  const TextValue& CurrentPath() const { return KeyPath; }

  platform::DWORD Access = platform::kKeyAllAccess;  // asked for by OpenKey
  platform::DWORD View = 0;  // added to every open: the registry view, e.g. kKeyWow64_32Key

 private:
  static bool IsRelative(const TextValue& path);
  platform::HKEY BaseKeyFor(bool relative) const;
  void AdoptKey(platform::HKEY key, const TextValue& path);
  bool OpenWith(const TextValue& path, bool mayCreate, platform::DWORD access);

  platform::HKEY KeyHandle = nullptr;
  platform::HKEY RootHandle = platform::HKeyCurrentUser();
  TextValue KeyPath;
};

}  // namespace tidemark
