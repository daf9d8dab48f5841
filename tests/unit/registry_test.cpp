// Runs against the test keys of tests/registry/system.reg under
// HKEY_LOCAL_MACHINE\Software\TidemarkTest: natively read from that file by
// the stand-in, under Wine imported into the suite's prefix beforehand.
#include "support/registry.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "launcher/launch_target.h"
#include "support/errors.h"
#include "support/messages.h"

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

TEST(Registry, AbsentRegistrationReadsAsEmpty) {
  EXPECT_TRUE(ReadAssistantRegistration().IsEmpty());
}

}  // namespace
}  // namespace tidemark
