// Character length and whole-character prefixes in both interface modes, and
// the locale chosen when the library is loaded.
#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "text/interface_encoding.h"
#include "text/library_load.h"
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
const LengthCase kCases[] = {
    {"ascii", kU8, "Ab", 2, 1},
    {"limit_zero", kU8, "A", 0, 0},
    {"nul_first", kU8, std::string("\0A", 2), 2, 0},
    {"two_byte", kU8, "\xC3\xA9x", 3, 2},
    {"two_byte_cut_by_limit", kU8, "\xC3\xA9", 1, -1},
    {"two_byte_missing_trail", kU8, "\xC3" "A", 2, -1},
    {"three_byte_fast_lead", kU8, "\xE2\x82\xAC", 3, 3},
    {"three_byte_cut_by_limit", kU8, "\xE2\x82\xAC", 2, -1},
    {"three_byte_e0_lead", kU8, "\xE0\xA4\x85", 3, 3},
    {"three_byte_ef_lead", kU8, "\xEF\xBF\xBD", 3, 3},
    {"overlong_three_byte", kU8, "\xE0\x80\x80", 3, -1},
    {"surrogate", kU8, "\xED\xA0\x80", 3, -1},
    {"overlong_two_byte", kU8, "\xC0\xAF", 2, -1},
    {"four_byte", kU8, "\xF0\x9F\x98\x80!", 5, 4},
    {"four_byte_cut_by_limit", kU8, "\xF0\x9F\x98\x80", 3, -1},
    {"above_unicode", kU8, "\xF4\x90\x80\x80", 4, -1},
    {"lone_trail", kU8, "\x80", 1, -1},
    {"byte_ff", kU8, "\xFF", 1, -1},
    {"locale_ascii", kCP, "A", 1, 1},
    {"locale_two_byte", kCP, "\xC3\xA9", 2, 2},
    {"locale_three_byte", kCP, "\xE2\x82\xAC", 3, 3},
    {"locale_four_byte", kCP, "\xF0\x9F\x98\x80", 4, 4},
    {"locale_empty", kCP, "", 1, 0},
    {"locale_limit_zero", kCP, "A", 0, 0},
    {"locale_invalid", kCP, "\xFF", 1, -1},
    {"locale_cut_by_limit", kCP, "\xE2\x82\xAC", 2, -1}};

TEST(CharLengthTest, MeasuresTheFirstCharacter) {
  for (const LengthCase& c : kCases) {
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

// Without locale variables the load step picks a multibyte locale and
// exports it; the variables and the locale are restored afterwards.
TEST(LibraryLoadTest, PlainEnvironmentFallsBackToAMultibyteLocale) {
  locale_t probe = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  if (probe == nullptr) GTEST_SKIP() << "no C.UTF-8 locale on this system";
  freelocale(probe);
  std::vector<std::pair<const char*, std::optional<std::string>>> saved;
  for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(var);
    saved.emplace_back(var, value ? std::optional<std::string>(value) : std::nullopt);
    unsetenv(var);
  }
  const std::string saved_locale = std::setlocale(LC_ALL, nullptr);

  ApplyLoadLocale();
  const std::string ctype = std::setlocale(LC_CTYPE, nullptr);
  const char* env = std::getenv("LC_ALL");
  EXPECT_NE(ctype, "C");
  EXPECT_NE(ctype, "POSIX");
  EXPECT_EQ(env ? env : "(unset)", ctype);

  for (const auto& [var, value] : saved) value ? setenv(var, value->c_str(), 1) : unsetenv(var);
  std::setlocale(LC_ALL, saved_locale.c_str());
}

}  // namespace
}  // namespace vexa::text
