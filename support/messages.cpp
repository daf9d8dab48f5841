#include "support/messages.h"

#include <string_view>

#include "platform/platform.h"

namespace tidemark {

TextValue LoadMessage(MessageId id) {
  char buffer[1024];
  const int length = platform::LoadStringA(platform::GetModuleHandleA(nullptr),
                                           static_cast<platform::UINT>(id), buffer, sizeof buffer);
  return TextValue(buffer, length > 0 ? length : 0);
}

TextValue LoadMessage(MessageId id, const TextValue& name) {
  TextValue pattern = LoadMessage(id);
  const std::int32_t at = PositionOf("%s", pattern);
  if (at == 0) return pattern;
  // Plain replacement, never a format: a "%" in a path is just a byte.
  const std::string_view text = pattern.View();
  return TextValue(text.substr(0, static_cast<std::size_t>(at - 1))) + name +
         TextValue(text.substr(static_cast<std::size_t>(at) + 1));
}

}  // namespace tidemark
