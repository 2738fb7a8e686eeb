// Name validity (as callers give names, and as files carry them) and name
// keys, in both interface modes.
#include <string>

#include <gtest/gtest.h>

#include "dict/names.h"
#include "text/text_test_util.h"

namespace vexa {
namespace {

using text::InterfaceMode;
using text::testing::ScopedInterfaceMode;

TEST(NameRulesTest, CheckVariableNameAndIsValidFileName) {
  ScopedInterfaceMode utf8(InterfaceMode::kUtf8);
  const struct { std::string name; NameCheck check; bool file_name_valid; } cases[] = {
      {"abc", kNameValid, true},          {"#tmp", kNameScratch, false},
      {"$sys", kNameSystem, false},       {"1abc", kNameBadFirst, true},
      {"_x", kNameBadFirst, false},       {".x", kNameBadFirst, false},
      {"a b", kNameBadChar, false},       {"a-b", kNameBadChar, false},
      {"a@#$_.9", kNameValid, true},      {std::string("a\0b", 3), kNameBadChar, false},
      // Reserved words, in any case, not as prefixes.
      {"with", kNameReserved, true},      {"To", kNameReserved, true},
      {"and   ", kNameReserved, false},   {"without", kNameValid, true},
      {"withdraw", kNameValid, true},
      // Trailing blanks do not count, but make no file name; 64 bytes at most.
      {"abc   ", kNameValid, false},      {"", kNameBadLength, false},
      {"   ", kNameBadLength, false},     {std::string(64, 'a'), kNameValid, true},
      {std::string(65, 'a'), kNameBadLength, false},
      {std::string(64, 'a') + "  ", kNameValid, false},
      // Multibyte characters anywhere; broken UTF-8 is a bad character.
      {"\xC3\xA9t\xC3\xA9", kNameValid, true}, {"\xE2\x82\xAC" "x", kNameValid, true},
      {"ab\xFF", kNameBadChar, false},   {"ab\xC3", kNameBadChar, false},
      // The character test comes before the first-byte test.
      {"1 a", kNameBadChar, false},       {"#TO", kNameScratch, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(CheckVariableName(c.name), c.check) << c.name;
    EXPECT_EQ(IsValidFileName(c.name), c.file_name_valid) << c.name;
  }
}

TEST(NameRulesCodePageTest, HighBytesFollowTheLocale) {
  ScopedInterfaceMode mode(InterfaceMode::kCodePage);
  // In a UTF-8 locale a lone high byte is not a character; the load step
  // leaves such a locale on systems that have one.
  const std::string ctype = setlocale(LC_CTYPE, nullptr);
  if (ctype.find("UTF-8") == std::string::npos && ctype.find("utf8") == std::string::npos) {
    GTEST_SKIP() << "locale " << ctype << " is not UTF-8";
  }
  EXPECT_EQ(CheckVariableName("\xC3\xA9t\xC3\xA9"), kNameValid);
  EXPECT_EQ(CheckVariableName("a\xE9"), kNameBadChar);
}

TEST(NameKeyTest, TrimmedUpperCasedAndBoundedOnWholeCharacters) {
  ScopedInterfaceMode mode(InterfaceMode::kUtf8);
  EXPECT_EQ(NameKey("  Age "), "AGE");
  EXPECT_EQ(NameKey("\xC3\xA9t\xC3\xA9"), "\xC3\x89T\xC3\x89");
  // 127 ASCII bytes and a two-byte character: the key stops before it.
  EXPECT_EQ(NameKey(std::string(127, 'a') + "\xC3\xA9"), std::string(127, 'A'));
}

}  // namespace
}  // namespace vexa
