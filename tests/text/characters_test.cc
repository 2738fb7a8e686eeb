// Characters: the length of the first and whole-character prefixes in both
// interface modes; case mapping in place, in UTF-8 mode and through
// code-page converters; file names converted from the interface encoding.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "text/interface_encoding.h"
#include "text_test_util.h"

namespace vexa::text {
namespace {

using namespace testing;  // the scoped text settings

struct LengthCase {
  const char* label;
  InterfaceMode mode;  // code-page mode follows the current converter, here UTF-8
  std::string bytes;
  size_t limit;
  int expected;
};

constexpr InterfaceMode kU8 = InterfaceMode::kUtf8, kCP = InterfaceMode::kCodePage;
const LengthCase kLengths[] = {
    {"ascii", kU8, "Ab", 2, 1}, {"limit_zero", kU8, "A", 0, 0},
    {"nul_first", kU8, std::string("\0A", 2), 2, 0}, {"two_byte", kU8, "\xC3\xA9x", 3, 2},
    {"two_byte_cut_by_limit", kU8, "\xC3\xA9", 1, -1},
    {"two_byte_missing_trail", kU8, "\xC3" "A", 2, -1},
    {"three_byte_fast_lead", kU8, "\xE2\x82\xAC", 3, 3},
    {"three_byte_cut_by_limit", kU8, "\xE2\x82\xAC", 2, -1},
    {"three_byte_e0_lead", kU8, "\xE0\xA4\x85", 3, 3},
    {"three_byte_ef_lead", kU8, "\xEF\xBF\xBD", 3, 3},
    {"overlong_two_byte", kU8, "\xC0\xAF", 2, -1}, {"four_byte", kU8, "\xF0\x9F\x98\x80!", 5, 4},
    {"lone_trail", kU8, "\x80", 1, -1}, {"locale_two_byte", kCP, "\xC3\xA9", 2, 2},
    {"locale_invalid", kCP, "\xFF", 1, -1}};

TEST(CharLengthTest, MeasuresTheFirstCharacter) {
  for (const LengthCase& c : kLengths) {
    ScopedCodePage utf8("UTF-8");
    ScopedInterfaceMode mode(c.mode);
    EXPECT_EQ(CharLength(c.bytes.data(), c.limit), c.expected) << c.label;
  }
}

TEST(WholeCharPrefixTest, NeverSplitsACharacterAndStopsAtInvalidOnes) {
  ScopedInterfaceMode mode{InterfaceMode::kUtf8};
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // 1+2+3+4
  const size_t expected[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10, 10};
  for (size_t max = 0; max < std::size(expected); ++max) {
    EXPECT_EQ(WholeCharPrefix(text.data(), text.size(), max), expected[max]) << "max " << max;
  }
  const std::pair<std::string, size_t> cases[] = {
      {"ab\xFF" "cd", 2},
      {"ab\xE2\x82", 2},            // a character cut by the end is not whole either
      {std::string("a\0b", 3), 3},  // an embedded NUL is one byte
  };
  for (const auto& [bytes, prefix] : cases) {
    EXPECT_EQ(WholeCharPrefix(bytes.data(), bytes.size(), 10), prefix);
  }
}

struct MapCase {
  const char* label;
  const char* code_page;  // nullptr: UTF-8 mode
  bool upper;
  std::string input, expected;
  int status;
};

constexpr bool kUp = true, kDown = false;
const char* const kUtf8 = nullptr;
const MapCase kMaps[] = {
    {"ascii_upper", kUtf8, kUp, "abc xyz_09", "ABC XYZ_09", 0},
    {"two_byte", kUtf8, kUp, "\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", 0},
    {"four_byte_deseret", kUtf8, kUp, "\xF0\x90\x90\xA8", "\xF0\x90\x90\x80", 0},
        // U+0250 maps to U+2C6F, which takes three bytes: kept.
    {"longer_result_kept", kUtf8, kUp, "a\xC9\x90z", "A\xC9\x90Z", 0},
        // U+1E9E maps to U+00DF, which takes two bytes: kept.
    {"shorter_result_kept", kUtf8, kDown, "\xE1\xBA\x9E" "A", "\xE1\xBA\x9E" "a", 0},
        // Dotless i, long s and prosgegrammeni; dotted I, ohm, kelvin and
        // angstrom: their simple mappings fold distinct letters together.
    {"never_upper", kUtf8, kUp, "\xC4\xB1\xC5\xBF\xE1\xBE\xBE", "\xC4\xB1\xC5\xBF\xE1\xBE\xBE", 0},
    {"never_lower", kUtf8, kDown, "\xC4\xB0\xE2\x84\xA6\xE2\x84\xAA\xE2\x84\xAB",
                "\xC4\xB0\xE2\x84\xA6\xE2\x84\xAA\xE2\x84\xAB", 0},
    {"invalid_stops_walk", kUtf8, kUp, "ab\xFF" "cd", "AB\xFF" "cd", 3},
    {"truncated_at_end", kUtf8, kUp, "ab\xC3", "AB\xC3", 3},
    {"cp1252_accented", "windows-1252", kUp, "caf\xE9", "CAF\xC9", 0},
        // U+00FF upper-cases to U+0178, which is 0x9F in windows-1252 ...
    {"cp1252_y_diaeresis", "windows-1252", kUp, "\xFF", "\x9F", 0},
        // ... but does not exist in ISO-8859-1: the byte is kept.
    {"latin1_unencodable_kept", "ISO-8859-1", kUp, "a\xFF", "A\xFF", 0},
        // In the Turkish code page the exceptions are one byte.
    {"cp1254_dotless_i_kept", "windows-1254", kUp, "i\xFD", "I\xFD", 0},
        // Full-width a (82 81) upper-cases to full-width A (82 60).
    {"sjis_fullwidth", "Shift_JIS", kUp, "a\x82\x81", "A\x82\x60", 0},
        // Katakana A is 83 41: its trail byte is not an ASCII "A".
    {"sjis_trail_byte_not_ascii", "Shift_JIS", kDown, "\x83\x41" "B",
                "\x83\x41" "b", 0},
    {"sjis_truncated", "Shift_JIS", kUp, "a\x82", "A\x82", 3},
    {"utf8_code_page", "UTF-8", kUp, "\xC3\xA9", "\xC3\x89", 0}};

// Rows of one code page follow rows of another: the mapping must follow a
// converter replaced since the last call (in windows-1252 0xFD is y acute,
// in windows-1254 the dotless i).
TEST(CaseMappingTest, MapsInPlace) {
  for (const MapCase& c : kMaps) {
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

// Names that do not decode pass through (names in a code page become UTF-8:
// the open calls' test).
TEST(FileNameFromInterfaceTest, NamesThatDoNotDecodePassThrough) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
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
