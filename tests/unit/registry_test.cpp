// Runs against the test keys of tests/registry/system.reg under
// HKEY_LOCAL_MACHINE\Software\TidemarkTest: natively read from that file by
// the stand-in, under Wine imported into the suite's prefix beforehand.
#include "support/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "launcher/launch_target.h"
#include "support/errors.h"
#include "support/messages.h"
#include "unit/scoped_calls.h"

namespace tidemark {
namespace {

TEST(Registry, TypeCodesMapToFixedKinds) {
  struct Case {
    platform::DWORD code;
    RegistryValueKind kind;
  };
  const Case cases[] = {
      {0, RegistryValueKind::OtherType},      {1, RegistryValueKind::Text},
      {2, RegistryValueKind::ExpandableText}, {3, RegistryValueKind::Bytes},
      {4, RegistryValueKind::Number},         {5, RegistryValueKind::OtherType},
      {6, RegistryValueKind::OtherType},      {7, RegistryValueKind::OtherType},
      {11, RegistryValueKind::OtherType},
  };
  for (const Case& c : cases) EXPECT_EQ(RegistryValueKindOf(c.code), c.kind) << c.code;
}

TEST(Registry, StringsAreReadWithTheirTypeChecked) {
  struct Case {
    const char* name;
    std::optional<std::string> text;  // none: ERegistryException
    MessageId error;
  };
  const Case cases[] = {
      {"", "default text", {}},
      {"Text", "C:\\Program Files\\Game Tools\\UOAssist.exe", {}},
      {"text", "C:\\Program Files\\Game Tools\\UOAssist.exe", {}},  // names ignore case
      {"Expand", "%SystemRoot%\\x.exe", {}},                        // never expanded
      {"ZeroInside", "a", {}},
      {"NoTerminator", "ab", {}},
      {"EmptyText", "", {}},
      {"Missing", "", {}},
      {"EmptyNumber", "", {}},  // no data: the type is not looked at
      {"EmptyBinary", "", {}},
      {"Number", std::nullopt, MessageId::InvalidRegistryKind},
      {"Binary", std::nullopt, MessageId::InvalidRegistryKind},
      {"Multi", std::nullopt, MessageId::InvalidRegistryKind},
  };
  TRegistry reg;
  reg.UseRootKey(platform::HKeyLocalMachine());
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\TidemarkTest"));
  for (const Case& c : cases) {
    try {
      const TextValue text = reg.ReadString(c.name);
      ASSERT_TRUE(c.text.has_value()) << c.name << " read as " << text.View();
      EXPECT_EQ(text.View(), *c.text) << c.name;
    } catch (const ERegistryException& error) {
      ASSERT_FALSE(c.text.has_value()) << c.name << " raised";
      EXPECT_EQ(error.Message(), LoadMessage(c.error, c.name));
    }
    EXPECT_NE(reg.CurrentKey(), nullptr) << "the key stays open after " << c.name;
  }
}

TEST(Registry, WrongDefaultValueNamesNothingBetweenTheApostrophes) {
  TRegistry reg;
  reg.UseRootKey(platform::HKeyLocalMachine());
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\TidemarkTest\\WrongDefault"));
  try {
    reg.ReadString("");
    ADD_FAILURE() << "a number was read as text";
  } catch (const ERegistryException& error) {
    EXPECT_EQ(error.Message(), LoadMessage(MessageId::InvalidRegistryKind, ""));
    EXPECT_NE(error.Message().View().find("''"), std::string_view::npos);
  }
}

TEST(Registry, KeyPathFollowsAbsoluteAndRelativeOpens) {
  struct Step {
    const char* path;
    bool opens;
    const char* keyPath;  // afterwards
  };
  const Step steps[] = {
      {"Software\\TidemarkTest", true, "Software\\TidemarkTest"},  // relative, no key open
      {"Sub", true, "Software\\TidemarkTest\\Sub"},                // relative to the open key
      {"Deeper", true, "Software\\TidemarkTest\\Sub\\Deeper"},
      {"Missing", false, "Software\\TidemarkTest\\Sub\\Deeper"},     // a failure changes nothing
      {"\\Software\\TidemarkTest", true, "Software\\TidemarkTest"},  // absolute: from the root
      {"\\Software\\TidemarkTest\\Nowhere", false, "Software\\TidemarkTest"},
      {"\\", true, ""},  // the root key itself
  };
  TRegistry reg;
  reg.UseRootKey(platform::HKeyLocalMachine());
  for (const Step& step : steps) {
    const platform::HKEY before = reg.CurrentKey();
    EXPECT_EQ(reg.OpenKey(step.path, false), step.opens) << step.path;
    EXPECT_EQ(reg.CurrentPath().View(), step.keyPath) << step.path;
    if (step.opens) {
      EXPECT_NE(reg.CurrentKey(), nullptr) << step.path;
    } else {
      EXPECT_EQ(reg.CurrentKey(), before) << step.path;
    }
  }
  EXPECT_EQ(reg.ReadString("Inner").View(), "");  // the root has no such value
}

TEST(Registry, ChangingTheRootClosesTheKeyKeepingItLeavesItOpen) {
  TRegistry reg;
  EXPECT_EQ(reg.RootKey(), platform::HKeyCurrentUser());
  EXPECT_EQ(reg.Access, platform::kKeyAllAccess);
  reg.UseRootKey(platform::HKeyLocalMachine());
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\TidemarkTest\\Sub"));
  reg.UseRootKey(platform::HKeyLocalMachine());
  EXPECT_NE(reg.CurrentKey(), nullptr);
  EXPECT_EQ(reg.ReadString("Inner").View(), "inner");
  reg.UseRootKey(platform::HKeyCurrentUser());
  EXPECT_EQ(reg.CurrentKey(), nullptr);
  EXPECT_TRUE(reg.CurrentPath().IsEmpty());
  EXPECT_TRUE(reg.ReadString("Inner").IsEmpty());  // no key open: nothing to read
}

// A registry that a test scripts through the platform's call table: one
// key, with one value, whose data read can fail or find the value grown.
struct RegistryScript {
  bool keyPresent = true;
  platform::DWORD type = platform::kRegSz;
  std::string data;
  platform::LONG dataAnswer = 0;  // what the read of the data answers
  // What the code under test asked for.
  std::string openedPath;
  platform::DWORD openedAccess = 0;
};

class ScriptedRegistry {
 public:
  explicit ScriptedRegistry(RegistryScript& script) {
    active = &script;
    calls_->RegOpenKeyExA = &Open;
    calls_->RegQueryValueExA = &Query;
    calls_->RegCloseKey = &Close;
  }
  ~ScriptedRegistry() { active = nullptr; }
  ScriptedRegistry(const ScriptedRegistry&) = delete;
  ScriptedRegistry& operator=(const ScriptedRegistry&) = delete;

 private:
  static platform::LONG Open(platform::HKEY, const char* path, platform::DWORD,
                             platform::DWORD access, platform::HKEY* result) {
    active->openedPath = path;
    active->openedAccess = access;
    *result = active->keyPresent ? &key : nullptr;
    return active->keyPresent ? 0 : static_cast<platform::LONG>(platform::kErrorFileNotFound);
  }
  static platform::LONG Query(platform::HKEY, const char*, platform::DWORD*, platform::DWORD* type,
                              platform::BYTE* data, platform::DWORD* size) {
    *type = active->type;
    if (data == nullptr || active->dataAnswer != 0) {
      // The size query; or a read that fails, or finds the value grown since.
      const bool grown = data != nullptr && active->dataAnswer == platform::kErrorMoreData;
      *size = static_cast<platform::DWORD>(active->data.size() + (grown ? 8 : 0));
      return data == nullptr ? 0 : active->dataAnswer;
    }
    std::copy(active->data.begin(), active->data.end(), data);
    *size = static_cast<platform::DWORD>(active->data.size());
    return 0;
  }
  static platform::LONG Close(platform::HKEY) { return 0; }

  static inline RegistryScript* active = nullptr;
  static inline int key = 0;
  testing::ScopedCalls calls_;
};

TEST(Registry, ReadsThatFailOrFindTheValueGrownRaiseTheReadError) {
  for (const platform::LONG answer : {static_cast<platform::LONG>(platform::kErrorAccessDenied),
                                      static_cast<platform::LONG>(platform::kErrorMoreData)}) {
    RegistryScript script;
    script.data = std::string("C:\\x.exe\0", 9);
    script.dataAnswer = answer;
    ScriptedRegistry registry(script);
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\Key"));
    try {
      reg.ReadString("Text");
      ADD_FAILURE() << "a failed read (" << answer << ") returned text";
    } catch (const ERegistryException& error) {
      EXPECT_EQ(error.Message(), LoadMessage(MessageId::RegistryReadFailed, "Text")) << answer;
    }
  }
}

// The assistant's registration is read from the 32-bit view, for reading
// only; whatever goes wrong reads as no registration.
TEST(Registry, AssistantRegistration) {
  struct Case {
    const char* what;
    RegistryScript script;
    const char* path;
  };
  const auto script = [](bool present, platform::DWORD type, std::string data,
                         platform::LONG answer) {
    RegistryScript made;
    made.keyPresent = present;
    made.type = type;
    made.data = std::move(data);
    made.dataAnswer = answer;
    return made;
  };
  const std::string tool("C:\\Tools\\UOAssist.exe\0", 22);
  Case cases[] = {
      {"registered", script(true, platform::kRegSz, tool, 0), "C:\\Tools\\UOAssist.exe"},
      {"expandable", script(true, platform::kRegExpandSz, tool, 0), "C:\\Tools\\UOAssist.exe"},
      {"no key", script(false, platform::kRegSz, tool, 0), ""},
      {"empty value", script(true, platform::kRegSz, "", 0), ""},
      {"a number", script(true, platform::kRegDword, "\x01\0\0\0", 0), ""},
      {"read fails", script(true, platform::kRegSz, tool, 5), ""},
      {"value grew", script(true, platform::kRegSz, tool, 234), ""},
  };
  for (Case& c : cases) {
    ScriptedRegistry registry(c.script);
    EXPECT_EQ(ReadAssistantRegistration().View(), c.path) << c.what;
    EXPECT_EQ(c.script.openedPath,
              "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\UOAssist.exe")
        << c.what;
    EXPECT_EQ(c.script.openedAccess, platform::kKeyRead | platform::kKeyWow64_32Key) << c.what;
  }
}

}  // namespace
}  // namespace tidemark
