// Encoding names and code page numbers, the encoding scope and the locale
// call, and character lengths that follow the current code page.
#include <clocale>
#include <string>

#include <gtest/gtest.h>

#include "text/code_pages.h"
#include "text/encoding_scope.h"
#include "text/interface_encoding.h"
#include "text/library_load.h"
#include "text/runtime_locale.h"
#include "text_test_util.h"
#include "test_locales.h"

namespace vexa::text {
namespace {

using namespace testing;

TEST(CodePagesTest, NumbersAndNamesMapBothWays) {
  // ICU's IANA name of the library's choice; back to the number.
  const std::pair<long, const char*> names[] = {
      {1252, "windows-1252"}, {65001, "UTF-8"}, {932, "Shift_JIS"}, {28591, "ISO_8859-1:1987"},
      {437, "IBM437"}, {1250, "windows-1250"}, {2, ""}, {0, ""}, {-1252, ""}, {123456, ""}};
  for (const auto& [number, name] : names) {
    EXPECT_EQ(NameOfCodePage(number), name) << number;
    EXPECT_EQ(CodePageOfName(name), *name ? number : 0) << name;
  }
  // windows aliases win over cp ones; ICU's aliases count.
  const std::pair<const char*, int> numbers[] = {
      {"utf8", 65001}, {"CP1252", 1252}, {"latin1", 28591}, {"windows-28591", 28591},
      {"WINDOWS-28591", 28591}, {"windows-31j", 932}, {"Big5", 950}, {"US-ASCII", 20127},
      {"no-such-encoding", 0}};
  for (const auto& [name, number] : numbers) EXPECT_EQ(CodePageOfName(name), number) << name;
  const std::pair<const char*, const char*> preferred[] = {
      {"cp1252", "windows-1252"}, {"1252", "windows-1252"}, {"utf8", "UTF-8"},
      {"Shift_JIS", "windows-31j"}, {"iso-ir-149", "KS_C_5601-1987"}, {"65001", "UTF-8"},
      {"windows-28591", "ISO_8859-1:1987"}, {"no-such-encoding", ""}, {"99999", ""}};
  for (const auto& [name, want] : preferred) EXPECT_EQ(PreferredEncodingName(name), want) << name;
  EXPECT_TRUE(CompatibleEncodings("UTF-8", "utf8"));
  EXPECT_TRUE(CompatibleEncodings("cp1252", "windows-1252"));
  EXPECT_FALSE(CompatibleEncodings("windows-1252", "ISO-8859-1"));
  EXPECT_FALSE(CompatibleEncodings("bogus", "bogus"));
  // Every name the library writes maps back to its own encoding.
  for (long cp : {932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258,
                  28591, 65001}) {
    const std::string name = PreferredEncodingName(NameOfCodePage(cp));
    EXPECT_TRUE(CompatibleEncodings(name, NameOfCodePage(cp))) << cp;
    EXPECT_EQ(CodePageOfName(name), cp) << name;
  }
}

TEST(EncodingScopeTest, SwitchesAndRestoresTheCodePageAndMode) {
  ScopedCodePage start("UTF-8");
  {
    EncodingScope scope("windows-1252", InterfaceMode::kCodePage);
    EXPECT_TRUE(scope.ok());
    EXPECT_EQ(CurrentEncodingName(), "windows-1252");
    EXPECT_EQ(ToUpper("\xE9t\xE9"), "\xC9T\xC9");
    {
      EncodingScope inner("", InterfaceMode::kUtf8);  // the mode only
      EXPECT_EQ(InterfaceEncodingName(), "UTF-8");
      EXPECT_EQ(CurrentEncodingName(), "windows-1252");
    }
    EXPECT_EQ(InterfaceEncodingName(), "windows-1252");
    EXPECT_FALSE(EncodingScope("no-such-encoding", InterfaceMode::kCodePage).ok());
  }
  EXPECT_EQ(CurrentEncodingName(), "UTF-8");
  EXPECT_EQ(GetInterfaceMode(), InterfaceMode::kCodePage);
  // In code-page mode the current code page, not the locale, measures.
  struct Row { const char* code_page; std::string bytes; int length; bool multibyte; };
  const Row rows[] = {{"Shift_JIS", "\x82\xA0", 2, true}, {"Shift_JIS", "\x82", -1, true},
                      {"GBK", "\xC4\xE3", 2, true},       {"windows-1252", "\xE9", 1, false},
                      {"US-ASCII", "\xE9", -1, false},    {"UTF-8", "\xE9", -1, true}};
  for (const Row& r : rows) {
    EncodingScope scope(r.code_page, InterfaceMode::kCodePage);
    EXPECT_EQ(CharLength(r.bytes.data(), r.bytes.size()), r.length) << r.code_page;
    EXPECT_EQ(CharactersMayBeMultibyte(), r.multibyte) << r.code_page;
  }
}

TEST(LocaleTest, TheCharacterTypeLocaleMovesTheCurrentCodePage) {
  VEXA_REQUIRE_LOCALE(cp1252, "CP1252");
  VEXA_REQUIRE_LOCALE(latin1, "ISO-8859-1");
  ScopedLocale restore;
  EXPECT_EQ(SetRuntimeLocale(LC_ALL, cp1252.c_str()), cp1252);
  EXPECT_EQ(CurrentEncodingName(), "windows-1252");
  EXPECT_FALSE(SetRuntimeLocale(LC_NUMERIC, latin1.c_str()).empty());
  EXPECT_EQ(CurrentEncodingName(), "windows-1252");
  EXPECT_EQ(SetRuntimeLocale(LC_CTYPE, latin1.c_str()), latin1);
  EXPECT_EQ(CodePageOfName(CurrentEncodingName()), 28591);
  EXPECT_EQ(SetRuntimeLocale(LC_CTYPE, "xx_NOWHERE.CP1252"), "");  // refused: no change
  EXPECT_EQ(RuntimeLocale(LC_CTYPE), latin1);
  // Loading keeps a single-byte locale from the environment, and replaces
  // the C locale by C.UTF-8.
  const char* saved = std::getenv("LC_ALL");
  const std::string saved_value = saved ? saved : "";
  setenv("LC_ALL", cp1252.c_str(), 1);
  ApplyLoadLocale();
  EXPECT_EQ(RuntimeLocale(LC_CTYPE), cp1252);
  setenv("LC_ALL", "C", 1);
  ApplyLoadLocale();
  EXPECT_EQ(RuntimeLocale(LC_CTYPE), kFallbackLocale);
  EXPECT_STREQ(std::getenv("LC_ALL"), kFallbackLocale);
  saved ? setenv("LC_ALL", saved_value.c_str(), 1) : unsetenv("LC_ALL");
}

}  // namespace
}  // namespace vexa::text
