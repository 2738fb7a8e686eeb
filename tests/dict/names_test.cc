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

struct NameCase {
  const char* label;
  std::string name;
  NameCheck check;
  bool file_name_valid;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.label; }

class NameRulesTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameRulesTest, CheckVariableNameAndIsValidFileName) {
  ScopedInterfaceMode utf8(InterfaceMode::kUtf8);
  EXPECT_EQ(CheckVariableName(GetParam().name), GetParam().check);
  EXPECT_EQ(IsValidFileName(GetParam().name), GetParam().file_name_valid);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NameRulesTest,
    ::testing::Values(
        NameCase{"plain", "abc", kNameValid, true},
        NameCase{"scratch", "#tmp", kNameScratch, false},
        NameCase{"system", "$sys", kNameSystem, false},
        NameCase{"leading_digit", "1abc", kNameBadFirst, true},
        NameCase{"leading_underscore", "_x", kNameBadFirst, false},
        NameCase{"leading_dot", ".x", kNameBadFirst, false},
        NameCase{"inner_blank", "a b", kNameBadChar, false},
        NameCase{"reserved_lower", "with", kNameReserved, true},
        NameCase{"reserved_mixed", "To", kNameReserved, true},
        NameCase{"reserved_with_blanks", "and   ", kNameReserved, false},
        NameCase{"reserved_prefix_longer", "without", kNameValid, true},
        NameCase{"longer_than_four", "withdraw", kNameValid, true},
        NameCase{"trailing_blanks", "abc   ", kNameValid, false},
        NameCase{"empty", "", kNameBadLength, false},
        NameCase{"only_blanks", "   ", kNameBadLength, false},
        NameCase{"length_64", std::string(64, 'a'), kNameValid, true},
        NameCase{"length_65", std::string(65, 'a'), kNameBadLength, false},
        NameCase{"length_64_plus_blanks", std::string(64, 'a') + "  ", kNameValid, false},
        NameCase{"allowed_punctuation", "a@#$_.9", kNameValid, true},
        NameCase{"hyphen", "a-b", kNameBadChar, false},
        NameCase{"embedded_nul", std::string("a\0b", 3), kNameBadChar, false},
        NameCase{"multibyte", "\xC3\xA9t\xC3\xA9", kNameValid, true},
        NameCase{"multibyte_first", "\xE2\x82\xAC" "x", kNameValid, true},
        NameCase{"invalid_utf8", "ab\xFF", kNameBadChar, false},
        NameCase{"truncated_utf8", "ab\xC3", kNameBadChar, false},
        // The character test comes before the first-byte test.
        NameCase{"bad_char_and_bad_first", "1 a", kNameBadChar, false},
        NameCase{"scratch_reserved_length", "#TO", kNameScratch, false}));

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
