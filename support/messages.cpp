#include "support/messages.h"

#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace tidemark {

namespace {

// Each "%s" of the pattern in turn replaced by the next name. Plain
// replacement, never a format: a "%" in a path is just a byte, and a "%s"
// in a name is never replaced in its turn.
TextValue Filled(const TextValue& pattern, std::initializer_list<const TextValue*> names) {
  const std::string_view text = pattern.View();
  std::string filled;
  std::size_t from = 0;
  for (const TextValue* name : names) {
    const std::size_t at = text.find("%s", from);
    if (at == std::string_view::npos) break;
    filled.append(text.substr(from, at - from)).append(name->View());
    from = at + 2;
  }
  filled.append(text.substr(from));
  return TextValue(filled);
}

}  // namespace

TextValue LoadMessage(MessageId id) {
  char buffer[1024];
  const int length = platform::LoadStringA(platform::GetModuleHandleA(nullptr),
                                           static_cast<platform::UINT>(id), buffer, sizeof buffer);
  return TextValue(buffer, length > 0 ? length : 0);
}

TextValue LoadMessage(MessageId id, const TextValue& name) {
  return Filled(LoadMessage(id), {&name});
}

TextValue LoadMessage(MessageId id, const TextValue& first, const TextValue& second) {
  return Filled(LoadMessage(id), {&first, &second});
}

}  // namespace tidemark
