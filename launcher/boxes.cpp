#include "launcher/boxes.h"

#include <string>

#include "support/messages.h"

namespace tidemark {

namespace {

// "a", "a and b", "a, b and c".
std::string Listed(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
    text += items[i];
  }
  return text;
}

}  // namespace

void Warn(const TextValue& text) {
  constexpr platform::UINT kWarningStyle = 0x30;  // OK button, exclamation icon
  platform::MessageBoxA(nullptr, text.Bytes(), "Tidemark", kWarningStyle);
}

TextValue NoneFoundText(const TextValue& programFolder) {
  return programFolder + "UO.EXE is not found.";
}

TextValue NotStartedText(const TextValue& program) { return program + " could not be started."; }

TextValue UnreachableFolderText() { return LoadMessage(MessageId::UnreachableFolder); }

TextValue RightsNotGivenText(const TextValue& program) {
  return LoadMessage(MessageId::RightsNotGiven, program);
}

TextValue RefusedByPolicyText(const TextValue& program) {
  return LoadMessage(MessageId::RefusedByPolicy, program);
}

// The letters as "the drive M:" or "the drives M: and N:", then the paths.
TextValue ElevatedCopyCannotReachText(const std::vector<TextValue>& places) {
  std::vector<std::string> letters;
  std::vector<std::string> named;
  for (const TextValue& place : places) {
    const bool letter = place.View().size() == 2 && place.View()[1] == ':';
    (letter ? letters : named).emplace_back(place.View());
  }
  if (!letters.empty()) {
    named.insert(named.begin(),
                 (letters.size() == 1 ? "the drive " : "the drives ") + Listed(letters));
  }
  return LoadMessage(MessageId::ElevatedCopyCannotReach, TextValue(Listed(named)));
}

TextValue RestartFailedText(const TextValue& program, platform::DWORD error) {
  return LoadMessage(MessageId::RestartFailed, program, TextValue(std::to_string(error)));
}

}  // namespace tidemark
