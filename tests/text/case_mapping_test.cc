// Case mapping in place, in UTF-8 mode and through code-page converters, and
// file names converted from the interface encoding.
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include "text/interface_encoding.h"
#include "text_test_util.h"

namespace vexa::text {
namespace {

using namespace testing;  // the scoped text settings

struct MapCase {
  const char* label;
  const char* code_page;  // nullptr: UTF-8 mode
  bool upper;
  std::string input, expected;
  int status;
};

constexpr bool kUp = true, kDown = false;
const char* const kUtf8 = nullptr;
const MapCase kCases[] = {
    {"ascii_upper", kUtf8, kUp, "abc xyz_09", "ABC XYZ_09", 0},
    {"ascii_lower", kUtf8, kDown, "ABC xyz", "abc xyz", 0},
    {"two_byte", kUtf8, kUp, "\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", 0},
    {"cyrillic_lower", kUtf8, kDown, "\xD0\x90\xD0\x91", "\xD0\xB0\xD0\xB1", 0},
    {"sharp_s_has_no_simple_upper", kUtf8, kUp, "stra\xC3\x9F" "e",
                "STRA\xC3\x9F" "E", 0},
    {"four_byte_deseret", kUtf8, kUp, "\xF0\x90\x90\xA8", "\xF0\x90\x90\x80", 0},
        // U+0250 maps to U+2C6F, which takes three bytes: kept.
    {"longer_result_kept", kUtf8, kUp, "a\xC9\x90z", "A\xC9\x90Z", 0},
        // U+1E9E maps to U+00DF, which takes two bytes: kept.
    {"shorter_result_kept", kUtf8, kDown, "\xE1\xBA\x9E" "A", "\xE1\xBA\x9E" "a", 0},
    {"dotless_i_never_upper", kUtf8, kUp, "\xC4\xB1", "\xC4\xB1", 0},
    {"long_s_never_upper", kUtf8, kUp, "\xC5\xBF", "\xC5\xBF", 0},
    {"prosgegrammeni_never_upper", kUtf8, kUp, "\xE1\xBE\xBE", "\xE1\xBE\xBE", 0},
    {"dotted_I_never_lower", kUtf8, kDown, "\xC4\xB0", "\xC4\xB0", 0},
    {"ohm_never_lower", kUtf8, kDown, "\xE2\x84\xA6", "\xE2\x84\xA6", 0},
    {"kelvin_never_lower", kUtf8, kDown, "\xE2\x84\xAA", "\xE2\x84\xAA", 0},
    {"angstrom_never_lower", kUtf8, kDown, "\xE2\x84\xAB", "\xE2\x84\xAB", 0},
    {"greek_omega_lower", kUtf8, kDown, "\xCE\xA9", "\xCF\x89", 0},
    {"invalid_stops_walk", kUtf8, kUp, "ab\xFF" "cd", "AB\xFF" "cd", 3},
    {"truncated_at_end", kUtf8, kUp, "ab\xC3", "AB\xC3", 3},
    {"cp1252_ascii", "windows-1252", kUp, "name_1", "NAME_1", 0},
    {"cp1252_accented", "windows-1252", kUp, "caf\xE9", "CAF\xC9", 0},
        // U+00FF upper-cases to U+0178, which is 0x9F in windows-1252 ...
    {"cp1252_y_diaeresis", "windows-1252", kUp, "\xFF", "\x9F", 0},
        // ... but does not exist in ISO-8859-1: the byte is kept.
    {"latin1_unencodable_kept", "ISO-8859-1", kUp, "a\xFF", "A\xFF", 0},
    {"cp1252_micro_unencodable_kept", "windows-1252", kUp, "\xB5", "\xB5", 0},
        // In the Turkish code page the exceptions are one byte either way.
    {"cp1254_dotless_i_kept", "windows-1254", kUp, "i\xFD", "I\xFD", 0},
    {"cp1254_dotted_I_kept", "windows-1254", kDown, "I\xDD", "i\xDD", 0},
    {"cp1254_s_cedilla", "windows-1254", kUp, "\xFE", "\xDE", 0},
        // Full-width a (82 81) upper-cases to full-width A (82 60).
    {"sjis_fullwidth", "Shift_JIS", kUp, "a\x82\x81", "A\x82\x60", 0},
        // Katakana A is 83 41: its trail byte is not an ASCII "A".
    {"sjis_trail_byte_not_ascii", "Shift_JIS", kDown, "\x83\x41" "B",
                "\x83\x41" "b", 0},
    {"sjis_truncated", "Shift_JIS", kUp, "a\x82", "A\x82", 3},
    {"utf8_code_page", "UTF-8", kUp, "\xC3\xA9", "\xC3\x89", 0}};

TEST(CaseMappingTest, MapsInPlace) {
  for (const MapCase& c : kCases) {
    SCOPED_TRACE(c.label);
    ScopedInterfaceMode mode(InterfaceMode::kUtf8);
    std::optional<ScopedCodePage> code_page;
    ASSERT_TRUE(!c.code_page || code_page.emplace(c.code_page).ok());
    std::string text = c.input;
    EXPECT_EQ(c.upper ? UpperCaseInPlace(text.data(), text.size())
                      : LowerCaseInPlace(text.data(), text.size()),
              c.status);
    EXPECT_EQ(text, c.expected);
  }
}

// The mapping follows a converter replaced since the last call.
TEST(CaseMappingCacheTest, FollowsReplacedConverter) {
  for (auto [code_page, expected] : {std::pair{"windows-1252", "\xDD"},   // y acute
                                     std::pair{"windows-1254", "\xFD"}}) {  // dotless i
    ScopedCodePage converter(code_page);
    ASSERT_TRUE(converter.ok());
    std::string text = "\xFD";
    UpperCaseInPlace(text.data(), text.size());
    EXPECT_EQ(text, expected) << code_page;
  }
}

// Names in a code page become UTF-8; names that do not decode pass through.
TEST(FileNameFromInterfaceTest, ConvertsCodePageNamesToUtf8) {
  EXPECT_EQ(FileNameFromInterface("caf\xC3\xA9.vexa", true), "caf\xC3\xA9.vexa");
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"windows-1252", "caf\xE9.vexa", "caf\xC3\xA9.vexa"},
      {"windows-1252", "plain.vexa", "plain.vexa"},
      {"Shift_JIS", "x\x82", "x\x82"},  // a lone lead byte at the end
      {"UTF-8", "x\xFF", "x\xFF"}};
  for (const auto& [code_page, name, expected] : cases) {
    ScopedCodePage converter(code_page);
    ASSERT_TRUE(converter.ok());
    EXPECT_EQ(FileNameFromInterface(name, false), expected) << code_page << " " << name;
  }
}

}  // namespace
}  // namespace vexa::text
