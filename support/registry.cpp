#include "support/registry.h"

#include "support/errors.h"
#include "support/messages.h"

namespace tidemark {

RegistryValueKind RegistryValueKindOf(platform::DWORD typeCode) {
  switch (typeCode) {
    case platform::kRegSz:
      return RegistryValueKind::Text;
    case platform::kRegExpandSz:
      return RegistryValueKind::ExpandableText;
    case platform::kRegDword:
      return RegistryValueKind::Number;
    case platform::kRegBinary:
      return RegistryValueKind::Bytes;
    default:
      return RegistryValueKind::OtherType;
  }
}

TRegistry::~TRegistry() { CloseCurrentKey(); }

bool TRegistry::IsRelative(const TextValue& path) { return path.IsEmpty() || path.At(0) != '\\'; }

platform::HKEY TRegistry::BaseKeyFor(bool relative) const {
  return KeyHandle != nullptr && relative ? KeyHandle : RootHandle;
}

void TRegistry::CloseCurrentKey() {
  if (KeyHandle == nullptr) return;
  // Only the handle is released: nothing is forced to disk (no RegFlushKey).
  platform::RegCloseKey(KeyHandle);
  KeyHandle = nullptr;
  KeyPath = TextValue();
}

void TRegistry::AdoptKey(platform::HKEY key, const TextValue& path) {
  CloseCurrentKey();
  KeyHandle = key;
  KeyPath = path;
}

void TRegistry::UseRootKey(platform::HKEY root) {
  if (root == RootHandle) return;
  RootHandle = root;
  CloseCurrentKey();
}

bool TRegistry::OpenWith(const TextValue& path, bool mayCreate, platform::DWORD access) {
  const bool relative = IsRelative(path);
  const TextValue working = relative ? path : TextValue(path.View().substr(1));
  platform::HKEY opened = nullptr;
  const platform::HKEY base = BaseKeyFor(relative);
  platform::LONG status = 0;
  if (!mayCreate || working.IsEmpty()) {
    status = platform::RegOpenKeyExA(base, working.Bytes(), 0, access | View, &opened);
  } else {
    platform::DWORD disposition = 0;
    status = platform::RegCreateKeyExA(base, working.Bytes(), 0, nullptr, 0, access | View, nullptr,
                                       &opened, &disposition);
  }
  if (status != 0) return false;
  const bool extends = KeyHandle != nullptr && relative;
  AdoptKey(opened, extends ? KeyPath + "\\" + working : working);
  return true;
}

bool TRegistry::OpenKey(const TextValue& path, bool mayCreate) {
  return OpenWith(path, mayCreate, Access);
}

bool TRegistry::OpenKeyReadOnly(const TextValue& path) {
  return OpenWith(path, false, platform::kKeyRead);
}

bool TRegistry::QueryValueInfo(const TextValue& name, RegistryValueInfo& info) {
  info = RegistryValueInfo{};
  platform::DWORD type = 0;
  platform::DWORD size = 0;
  const platform::LONG status =
      platform::RegQueryValueExA(KeyHandle, name.Bytes(), nullptr, &type, nullptr, &size);
  info.Kind = RegistryValueKindOf(type);
  info.Size = static_cast<std::int32_t>(size);
  return status == 0;
}

std::int32_t TRegistry::QueryValueSize(const TextValue& name) {
  RegistryValueInfo info;
  return QueryValueInfo(name, info) ? info.Size : -1;
}

std::int32_t TRegistry::FetchValueData(const TextValue& name, void* buffer, std::int32_t size,
                                       RegistryValueKind& kind) {
  platform::DWORD type = 0;
  auto received = static_cast<platform::DWORD>(size);
  if (platform::RegQueryValueExA(KeyHandle, name.Bytes(), nullptr, &type,
                                 static_cast<platform::BYTE*>(buffer), &received) != 0) {
    throw ERegistryException(LoadMessage(MessageId::RegistryReadFailed, name));
  }
  kind = RegistryValueKindOf(type);
  return static_cast<std::int32_t>(received);
}

TextValue TRegistry::ReadString(const TextValue& name) {
  const std::int32_t size = QueryValueSize(name);
  if (size <= 0) return {};
  TextValue text = TextValue::OfLength(size);
  RegistryValueKind kind = RegistryValueKind::OtherType;
  FetchValueData(name, text.MutableBytes(), size, kind);
  if (kind != RegistryValueKind::Text && kind != RegistryValueKind::ExpandableText) {
    throw ERegistryException(LoadMessage(MessageId::InvalidRegistryKind, name));
  }
  const std::size_t zero = text.View().find('\0');
  return zero == std::string_view::npos ? text : text.Left(static_cast<std::int32_t>(zero));
}

}  // namespace tidemark
