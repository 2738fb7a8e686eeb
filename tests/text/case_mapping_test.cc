// Case mapping in place, in UTF-8 mode and through code-page converters.
#include <string>

#include <gtest/gtest.h>

#include "text/interface_encoding.h"
#include "text_test_util.h"

namespace vexa::text {
namespace {

using testing::ScopedCodePage;
using testing::ScopedInterfaceMode;

enum class Dir { kUpper, kLower };

struct MapCase {
  const char* label;
  Dir dir;
  std::string input;
  std::string expected;
  int status;
};

void PrintTo(const MapCase& c, std::ostream* os) { *os << c.label; }

int Map(Dir dir, std::string& text) {
  return dir == Dir::kUpper ? UpperCaseInPlace(text.data(), text.size())
                            : LowerCaseInPlace(text.data(), text.size());
}

class Utf8CaseMappingTest : public ::testing::TestWithParam<MapCase> {
 protected:
  ScopedInterfaceMode mode_{InterfaceMode::kUtf8};
};

TEST_P(Utf8CaseMappingTest, MapsInPlace) {
  const MapCase& c = GetParam();
  std::string text = c.input;
  EXPECT_EQ(Map(c.dir, text), c.status);
  EXPECT_EQ(text, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8CaseMappingTest,
    ::testing::Values(
        MapCase{"ascii_upper", Dir::kUpper, "abc xyz_09", "ABC XYZ_09", 0},
        MapCase{"ascii_lower", Dir::kLower, "ABC xyz", "abc xyz", 0},
        MapCase{"two_byte", Dir::kUpper, "\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", 0},
        MapCase{"cyrillic_lower", Dir::kLower, "\xD0\x90\xD0\x91", "\xD0\xB0\xD0\xB1", 0},
        MapCase{"sharp_s_has_no_simple_upper", Dir::kUpper, "stra\xC3\x9F" "e",
                "STRA\xC3\x9F" "E", 0},
        MapCase{"four_byte_deseret", Dir::kUpper, "\xF0\x90\x90\xA8",
                "\xF0\x90\x90\x80", 0},
        // U+0250 maps to U+2C6F, which takes three bytes: kept.
        MapCase{"longer_result_kept", Dir::kUpper, "a\xC9\x90z", "A\xC9\x90Z", 0},
        // U+1E9E maps to U+00DF, which takes two bytes: kept.
        MapCase{"shorter_result_kept", Dir::kLower, "\xE1\xBA\x9E" "A",
                "\xE1\xBA\x9E" "a", 0},
        MapCase{"dotless_i_never_upper", Dir::kUpper, "\xC4\xB1", "\xC4\xB1", 0},
        MapCase{"long_s_never_upper", Dir::kUpper, "\xC5\xBF", "\xC5\xBF", 0},
        MapCase{"prosgegrammeni_never_upper", Dir::kUpper, "\xE1\xBE\xBE",
                "\xE1\xBE\xBE", 0},
        MapCase{"dotted_I_never_lower", Dir::kLower, "\xC4\xB0", "\xC4\xB0", 0},
        MapCase{"ohm_never_lower", Dir::kLower, "\xE2\x84\xA6", "\xE2\x84\xA6", 0},
        MapCase{"kelvin_never_lower", Dir::kLower, "\xE2\x84\xAA", "\xE2\x84\xAA", 0},
        MapCase{"angstrom_never_lower", Dir::kLower, "\xE2\x84\xAB", "\xE2\x84\xAB", 0},
        MapCase{"greek_omega_lower", Dir::kLower, "\xCE\xA9", "\xCF\x89", 0},
        MapCase{"invalid_stops_walk", Dir::kUpper, "ab\xFF" "cd", "AB\xFF" "cd", 3},
        MapCase{"truncated_at_end", Dir::kUpper, "ab\xC3", "AB\xC3", 3}));

struct CodePageCase {
  const char* label;
  const char* code_page;
  Dir dir;
  std::string input;
  std::string expected;
  int status;
};

void PrintTo(const CodePageCase& c, std::ostream* os) { *os << c.label; }

class CodePageCaseMappingTest : public ::testing::TestWithParam<CodePageCase> {
};

TEST_P(CodePageCaseMappingTest, MapsThroughCurrentConverter) {
  const CodePageCase& c = GetParam();
  ScopedCodePage code_page(c.code_page);
  if (!code_page.ok()) GTEST_SKIP() << "ICU lacks " << c.code_page;
  std::string text = c.input;
  EXPECT_EQ(Map(c.dir, text), c.status);
  EXPECT_EQ(text, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CodePageCaseMappingTest,
    ::testing::Values(
        CodePageCase{"cp1252_ascii", "windows-1252", Dir::kUpper, "name_1",
                     "NAME_1", 0},
        CodePageCase{"cp1252_accented", "windows-1252", Dir::kUpper,
                     "caf\xE9", "CAF\xC9", 0},
        // U+00FF upper-cases to U+0178, which is 0x9F in windows-1252 ...
        CodePageCase{"cp1252_y_diaeresis", "windows-1252", Dir::kUpper, "\xFF",
                     "\x9F", 0},
        // ... but does not exist in ISO-8859-1: the byte is kept.
        CodePageCase{"latin1_unencodable_kept", "ISO-8859-1", Dir::kUpper,
                     "a\xFF", "A\xFF", 0},
        CodePageCase{"cp1252_micro_unencodable_kept", "windows-1252",
                     Dir::kUpper, "\xB5", "\xB5", 0},
        // In the Turkish code page the exceptions are one byte either way.
        CodePageCase{"cp1254_dotless_i_kept", "windows-1254", Dir::kUpper,
                     "i\xFD", "I\xFD", 0},
        CodePageCase{"cp1254_dotted_I_kept", "windows-1254", Dir::kLower,
                     "I\xDD", "i\xDD", 0},
        CodePageCase{"cp1254_s_cedilla", "windows-1254", Dir::kUpper, "\xFE",
                     "\xDE", 0},
        // Full-width a (82 81) upper-cases to full-width A (82 60).
        CodePageCase{"sjis_fullwidth", "Shift_JIS", Dir::kUpper,
                     "a\x82\x81", "A\x82\x60", 0},
        // Katakana A is 83 41: its trail byte is not an ASCII "A".
        CodePageCase{"sjis_trail_byte_not_ascii", "Shift_JIS", Dir::kLower,
                     "\x83\x41" "B", "\x83\x41" "b", 0},
        CodePageCase{"sjis_truncated", "Shift_JIS", Dir::kUpper, "a\x82",
                     "A\x82", 3},
        CodePageCase{"utf8_code_page", "UTF-8", Dir::kUpper, "\xC3\xA9",
                     "\xC3\x89", 0}));

TEST(CaseMappingCacheTest, FollowsReplacedConverter) {
  std::string text = "\xFD";
  {
    ScopedCodePage cp1252("windows-1252");
    ASSERT_TRUE(cp1252.ok());
    UpperCaseInPlace(text.data(), text.size());
    EXPECT_EQ(text, "\xDD");  // y acute
  }
  text = "\xFD";
  {
    ScopedCodePage cp1254("windows-1254");
    ASSERT_TRUE(cp1254.ok());
    UpperCaseInPlace(text.data(), text.size());
    EXPECT_EQ(text, "\xFD");  // dotless i, never mapped
  }
}

TEST(FileNameFromInterfaceTest, ConvertsCodePageNamesToUtf8) {
  EXPECT_EQ(FileNameFromInterface("caf\xC3\xA9.vexa", true),
            "caf\xC3\xA9.vexa");
  ScopedCodePage cp1252("windows-1252");
  ASSERT_TRUE(cp1252.ok());
  EXPECT_EQ(FileNameFromInterface("caf\xE9.vexa", false), "caf\xC3\xA9.vexa");
  EXPECT_EQ(FileNameFromInterface("plain.vexa", false), "plain.vexa");
}

TEST(FileNameFromInterfaceTest, PassesThroughWhenNotConvertible) {
  ScopedCodePage sjis("Shift_JIS");
  ASSERT_TRUE(sjis.ok());
  // A lone lead byte at the end does not decode.
  EXPECT_EQ(FileNameFromInterface("x\x82", false), "x\x82");
  ScopedCodePage utf8("UTF-8");
  ASSERT_TRUE(utf8.ok());
  EXPECT_EQ(FileNameFromInterface("x\xFF", false), "x\xFF");
}

}  // namespace
}  // namespace vexa::text
