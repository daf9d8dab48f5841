// The Linux stand-in's reader of Wine's registry files.
#include "platform/posix/registry_file.h"

#include <gtest/gtest.h>

#include <string>

namespace tidemark::platform::posix {
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

}  // namespace
}  // namespace tidemark::platform::posix
