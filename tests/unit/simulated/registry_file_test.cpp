// The Linux stand-in's reader of Wine's registry files.
#include "platform/simulated/registry_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace tidemark::platform::simulated {
namespace {

using namespace std::string_literals;

TEST(RegistryFile, ValuesOfEveryKind) {
  const RegistryFile file = ParseRegistryFile(
      "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n"
      "[Software\\\\Test\\\\Key] 1700000000\n#time=1d0\n"
      "@=\"C:\\\\Games\\\\x.exe\"\n"
      "\"Quote\"=\"say \\\"hi\\\"\\ttab\\n\"\n"
      "\"Wide\"=\"\\x65e5\\x672c\"\n"
      "\"Expand\"=str(2):\"%TEMP%\\\\y\"\n"
      "\"Number\"=dword:0000002a\n"
      "\"Bytes\"=hex:01,02,\\\n  03,ff\n"
      "\"Multi\"=hex(7):61,00,00,00,00,00\n"
      "\"MIXED case\"=\"m\"\r\n");
  const auto key = file.Keys.find("software\\test\\key");
  ASSERT_NE(key, file.Keys.end());
  struct Case {
    const char* name;
    DWORD type;
    std::string data;
  };
  const Case cases[] = {
      {"", kRegSz, "C:\\Games\\x.exe\0"s},
      {"quote", kRegSz, "say \"hi\"\ttab\n\0"s},
      {"wide", kRegSz, "\xe6\x97\xa5\xe6\x9c\xac\0"s},
      {"expand", kRegExpandSz, "%TEMP%\\y\0"s},
      {"number", kRegDword, "\x2a\0\0\0"s},
      {"bytes", kRegBinary, "\x01\x02\x03\xff"s},
      {"multi", kRegMultiSz, "a\0\0"s},
      {"mixed case", kRegSz, "m\0"s},
  };
  for (const Case& c : cases) {
    const auto value = key->second.find(c.name);
    ASSERT_NE(value, key->second.end()) << c.name;
    EXPECT_EQ(value->second.Type, c.type) << c.name;
    EXPECT_EQ(value->second.Data, c.data) << c.name;
  }
  EXPECT_FALSE(file.Win64);
  EXPECT_TRUE(ParseRegistryFile("#arch=win64\n").Win64);
}

TEST(RegistryFile, MalformedTextIsPassedOver) {
  const char* const texts[] = {
      "",
      "[",
      "[unclosed\n\"a\"=\"b\"",
      "[K]\n\"unclosed=\"x\n",
      "[K]\n@=\"open",
      "[K]\n@=hex(\n",
      "[K]\n@=str(2)\n",
      "[K]\n\"a\"=dword:\n",
      "[K]\n\"a\"=hex:zz,1\n",
      "[K]\n@=\"\\",
      "[K]\n@=\"\\x\"",
      "\\\n\\\n\\",
      "[K]\n=\n@\n\"\"\n",
  };
  for (const char* text : texts) {
    const RegistryFile file = ParseRegistryFile(text);
    for (const auto& [path, values] : file.Keys) {
      for (const auto& [name, value] : values) EXPECT_LE(value.Data.size(), 16u) << text;
    }
  }
  const RegistryFile file = ParseRegistryFile("[K]\n\"good\"=\"1\"\ngarbage\n\"also\"=\"2\"\n");
  EXPECT_EQ(file.Keys.at("k").size(), 2u);
}

// A registry link as Wine writes one: "#link", then the target from the
// root of all keys, in UTF-16.
std::string Link(const std::string& from, const std::string& target) {
  std::string hex;
  for (char c : target) {
    char pair[8];
    std::snprintf(pair, sizeof pair, "%02x,00,", static_cast<unsigned char>(c));
    hex += pair;
  }
  hex.pop_back();
  return "[" + from + "] 1700000000\n#time=1d0\n#link\n\"SymbolicLinkValue\"=hex(6):" + hex +
         "\n\n";
}

TEST(RegistryFile, KeysAreLookedUpThroughRegistryLinks) {
  const std::string text =
      "WINE REGISTRY Version 2\n\n#arch=win64\n\n"
      "[Software\\\\Real\\\\Tool] 1700000000\n@=\"real\"\n\n"
      "[Software\\\\Real\\\\Parent\\\\Child] 1700000000\n@=\"child\"\n\n" +
      Link("Software\\\\Wow6432Node\\\\Real", "\\Registry\\Machine\\Software\\Real") +
      Link("Software\\\\Chain", "\\REGISTRY\\MACHINE\\Software\\Wow6432Node\\Real") +
      Link("Software\\\\LoopA", "\\Registry\\Machine\\Software\\LoopB") +
      Link("Software\\\\LoopB", "\\Registry\\Machine\\Software\\LoopA") +
      Link("Software\\\\User", "\\Registry\\User\\S-1-5-21\\Software\\Real");
  EXPECT_TRUE(IsWin64Registry(text));
  struct Case {
    const char* path;
    bool exists;
    const char* resolved;
    const char* value;  // the default value; "" for none
  };
  const Case cases[] = {
      {"software\\real\\tool", true, "software\\real\\tool", "real"},
      {"software\\wow6432node\\real\\tool", true, "software\\real\\tool", "real"},
      {"software\\chain\\tool", true, "software\\real\\tool", "real"},  // two links
      {"software\\wow6432node\\real\\parent", true, "software\\real\\parent", ""},
      {"software\\wow6432node\\real\\parent\\child", true, "software\\real\\parent\\child",
       "child"},
      {"software\\wow6432node\\real\\missing", false, "", ""},
      {"software\\loopa\\tool", false, "", ""},         // a loop leads nowhere
      {"software\\user", true, "software\\user", ""},   // another root: not followed
      {"software\\wow6432node\\realm", false, "", ""},  // a prefix is no parent
  };
  for (const Case& c : cases) {
    const RegistryKeyLookup found = LookUpRegistryKey(text, c.path);
    EXPECT_EQ(found.Exists, c.exists) << c.path;
    if (!c.exists) continue;
    EXPECT_EQ(found.Path, c.resolved) << c.path;
    const auto value = found.Values.find("");
    EXPECT_EQ(value == found.Values.end() ? "" : value->second.Data.c_str(), std::string(c.value))
        << c.path;
  }
  EXPECT_FALSE(IsWin64Registry("#arch=win32\n[K]\n#arch=win64\n"));
}

}  // namespace
}  // namespace tidemark::platform::simulated
