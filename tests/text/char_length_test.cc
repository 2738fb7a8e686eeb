// Character length and whole-character prefixes in both interface modes.
#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "text/interface_encoding.h"
#include "text/library_load.h"
#include "text_test_util.h"

namespace vexa::text {
namespace {

using testing::ScopedCtypeLocale;
using testing::ScopedInterfaceMode;

struct LengthCase {
  const char* label;
  std::string bytes;
  size_t limit;
  int expected;
};

void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.label; }

class Utf8CharLengthTest : public ::testing::TestWithParam<LengthCase> {
 protected:
  ScopedInterfaceMode mode_{InterfaceMode::kUtf8};
};

TEST_P(Utf8CharLengthTest, DecodesFirstCharacter) {
  const LengthCase& c = GetParam();
  EXPECT_EQ(CharLength(c.bytes.data(), c.limit), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8CharLengthTest,
    ::testing::Values(
        LengthCase{"ascii", "Ab", 2, 1},
        LengthCase{"limit_zero", "A", 0, 0},
        LengthCase{"nul_first", std::string("\0A", 2), 2, 0},
        LengthCase{"two_byte", "\xC3\xA9x", 3, 2},
        LengthCase{"two_byte_cut_by_limit", "\xC3\xA9", 1, -1},
        LengthCase{"two_byte_missing_trail", "\xC3" "A", 2, -1},
        LengthCase{"three_byte_fast_lead", "\xE2\x82\xAC", 3, 3},
        LengthCase{"three_byte_cut_by_limit", "\xE2\x82\xAC", 2, -1},
        LengthCase{"three_byte_e0_lead", "\xE0\xA4\x85", 3, 3},
        LengthCase{"three_byte_ef_lead", "\xEF\xBF\xBD", 3, 3},
        LengthCase{"overlong_three_byte", "\xE0\x80\x80", 3, -1},
        LengthCase{"surrogate", "\xED\xA0\x80", 3, -1},
        LengthCase{"overlong_two_byte", "\xC0\xAF", 2, -1},
        LengthCase{"four_byte", "\xF0\x9F\x98\x80!", 5, 4},
        LengthCase{"four_byte_cut_by_limit", "\xF0\x9F\x98\x80", 3, -1},
        LengthCase{"above_unicode", "\xF4\x90\x80\x80", 4, -1},
        LengthCase{"lone_trail", "\x80", 1, -1},
        LengthCase{"byte_ff", "\xFF", 1, -1}));

// Code-page mode follows the runtime library's locale; the UTF-8 C locale is
// the one multibyte locale that every Linux system has.
class CodePageCharLengthTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!locale_.ok()) GTEST_SKIP() << "no C.UTF-8 locale";
  }
  ScopedInterfaceMode mode_{InterfaceMode::kCodePage};
  ScopedCtypeLocale locale_{"C.UTF-8"};
};

TEST_F(CodePageCharLengthTest, FollowsLocaleMultibyteRules) {
  const std::pair<const char*, size_t> text_and_limit[] = {
      {"A", 1}, {"\xC3\xA9", 2}, {"\xE2\x82\xAC", 3}, {"\xF0\x9F\x98\x80", 4},
      {"", 1},  {"A", 0},          {"\xFF", 1},         {"\xE2\x82\xAC", 2}};
  const int expected[] = {1, 2, 3, 4, 0, 0, -1, -1};
  for (size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(CharLength(text_and_limit[i].first, text_and_limit[i].second),
              expected[i]) << "case " << i;
  }
}

TEST(WholeCharPrefixTest, NeverSplitsACharacterAndStopsAtInvalidOnes) {
  ScopedInterfaceMode mode{InterfaceMode::kUtf8};
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // 1+2+3+4
  const size_t expected[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10, 10};
  for (size_t max = 0; max < std::size(expected); ++max) {
    EXPECT_EQ(WholeCharPrefix(text.data(), text.size(), max), expected[max])
        << "max_bytes " << max;
  }
  const std::pair<std::string, size_t> cases[] = {
      {"ab\xFF" "cd", 2},
      {"ab\xE2\x82", 2},  // a character cut by the end is not whole either
      {std::string("a\0b", 3), 3},  // an embedded NUL is one byte
  };
  for (const auto& [bytes, prefix] : cases) {
    EXPECT_EQ(WholeCharPrefix(bytes.data(), bytes.size(), 10), prefix);
  }
}

// Saves and restores the environment variables and the locale that the load
// step reads and writes.
class LibraryLoadTest : public ::testing::Test {
 protected:
  static constexpr const char* kVars[] = {"LC_ALL", "LC_CTYPE", "LANG"};

  void SetUp() override {
    for (const char* var : kVars) {
      const char* value = std::getenv(var);
      saved_env_.emplace_back(value != nullptr, value ? value : "");
    }
    saved_locale_ = std::setlocale(LC_ALL, nullptr);
  }
  void TearDown() override {
    for (size_t i = 0; i < std::size(kVars); ++i) {
      if (saved_env_[i].first) {
        setenv(kVars[i], saved_env_[i].second.c_str(), 1);
      } else {
        unsetenv(kVars[i]);
      }
    }
    std::setlocale(LC_ALL, saved_locale_.c_str());
  }

  std::vector<std::pair<bool, std::string>> saved_env_;
  std::string saved_locale_;
};

TEST_F(LibraryLoadTest, PlainEnvironmentFallsBackToAMultibyteLocale) {
  locale_t probe = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  if (probe == nullptr) GTEST_SKIP() << "no C.UTF-8 locale on this system";
  freelocale(probe);
  for (const char* var : kVars) unsetenv(var);

  ApplyLoadLocale();

  const std::string ctype = std::setlocale(LC_CTYPE, nullptr);
  EXPECT_NE(ctype, "C");
  EXPECT_NE(ctype, "POSIX");
  const char* env = std::getenv("LC_ALL");
  ASSERT_NE(env, nullptr);
  EXPECT_EQ(ctype, env);
}

}  // namespace
}  // namespace vexa::text
