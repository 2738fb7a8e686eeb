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
  // number -> name, as ICU's IANA name of the library's choice
  const std::pair<long, const char*> names[] = {
      {1252, "windows-1252"}, {65001, "UTF-8"},      {932, "Shift_JIS"},
      {28591, "ISO_8859-1:1987"}, {437, "IBM437"}, {1250, "windows-1250"},
      {2, ""}, {0, ""}, {-1252, ""}, {123456, ""}};
  for (const auto& [number, name] : names) {
    EXPECT_EQ(NameOfCodePage(number), name) << number;
    if (name[0] != '\0') {
      EXPECT_EQ(CodePageOfName(name), number) << name;
    }
  }
  // name -> number: windows aliases win over cp ones; ICU's aliases count.
  const std::pair<const char*, int> numbers[] = {
      {"utf8", 65001},          {"CP1252", 1252},     {"ISO-8859-1", 28591},
      {"latin1", 28591},        {"windows-28591", 28591}, {"WINDOWS-28591", 28591},
      {"windows-31j", 932},     {"Big5", 950},        {"US-ASCII", 20127},
      {"no-such-encoding", 0},  {"", 0}};
  for (const auto& [name, number] : numbers) EXPECT_EQ(CodePageOfName(name), number) << name;
}

TEST(CodePagesTest, PreferredNamesAndCompatibility) {
  const std::pair<const char*, const char*> preferred[] = {
      {"cp1252", "windows-1252"}, {"1252", "windows-1252"}, {"utf8", "UTF-8"},
      {"Shift_JIS", "windows-31j"}, {"iso-ir-149", "KS_C_5601-1987"},
      {"windows-28591", "ISO_8859-1:1987"}, {"65001", "UTF-8"},
      {"no-such-encoding", ""}, {"99999", ""}};
  for (const auto& [name, want] : preferred) EXPECT_EQ(PreferredEncodingName(name), want) << name;

  struct Pair { const char* a; const char* b; bool compatible; };
  const Pair pairs[] = {{"UTF-8", "utf8", true},          {"cp1252", "windows-1252", true},
                        {"windows-1252", "ISO-8859-1", false}, {"UTF-8", "cp1252", false},
                        {"bogus", "bogus", false},         {"", "", false}};
  for (const Pair& p : pairs) {
    EXPECT_EQ(CompatibleEncodings(p.a, p.b), p.compatible) << p.a << " / " << p.b;
  }
  // Every name the library writes maps back to its own encoding.
  for (long cp : {932L, 936L, 949L, 950L, 1250L, 1251L, 1252L, 1253L, 1254L, 1255L,
                  1256L, 1257L, 1258L, 28591L, 65001L}) {
    const std::string name = NameOfCodePage(cp);
    ASSERT_FALSE(name.empty()) << cp;
    EXPECT_TRUE(CompatibleEncodings(PreferredEncodingName(name), name)) << cp;
    EXPECT_EQ(CodePageOfName(PreferredEncodingName(name)), cp) << name;
  }
}

TEST(EncodingScopeTest, SwitchesAndRestoresTheCodePageAndMode) {
  ScopedCodePage start("UTF-8");
  ASSERT_TRUE(start.ok());
  {
    EncodingScope scope("windows-1252", InterfaceMode::kCodePage);
    EXPECT_TRUE(scope.ok());
    EXPECT_EQ(CurrentEncodingName(), "windows-1252");
    EXPECT_EQ(CharLength("\xE9", 1), 1);  // one byte, whatever the locale says
    EXPECT_EQ(ToUpper("\xE9t\xE9"), "\xC9T\xC9");
    EXPECT_FALSE(CharactersMayBeMultibyte());
    {
      EncodingScope inner("", InterfaceMode::kUtf8);  // mode only
      EXPECT_EQ(InterfaceEncodingName(), "UTF-8");
      EXPECT_EQ(CurrentEncodingName(), "windows-1252");
    }
    EXPECT_EQ(InterfaceEncodingName(), "windows-1252");
    EncodingScope unknown("no-such-encoding", InterfaceMode::kCodePage);
    EXPECT_FALSE(unknown.ok());
    EXPECT_EQ(CurrentEncodingName(), "windows-1252");
  }
  EXPECT_EQ(CurrentEncodingName(), "UTF-8");
  EXPECT_EQ(GetInterfaceMode(), InterfaceMode::kCodePage);
  EXPECT_EQ(CharLength("\xE9", 1), -1);
}

TEST(EncodingScopeTest, CharacterLengthsFollowTheCurrentCodePage) {
  struct Row { const char* code_page; std::string bytes; int length; };
  const Row rows[] = {
      {"Shift_JIS", "\x82\xA0", 2},  {"Shift_JIS", "\x82", -1}, {"Shift_JIS", "A\x82", 1},
      {"GBK", "\xC4\xE3", 2},        {"windows-1252", "\x80", 1},
      {"US-ASCII", "\xE9", -1},      {"UTF-8", "\xE2\x82\xAC", 3}};
  for (const Row& r : rows) {
    EncodingScope scope(r.code_page, InterfaceMode::kCodePage);
    ASSERT_TRUE(scope.ok()) << r.code_page;
    EXPECT_EQ(CharLength(r.bytes.data(), r.bytes.size()), r.length) << r.code_page;
    EXPECT_EQ(CharactersMayBeMultibyte(), std::string(r.code_page) != "windows-1252" &&
                                              std::string(r.code_page) != "US-ASCII");
  }
}

TEST(LocaleTest, SettingTheLocaleMovesTheCurrentCodePage) {
  VEXA_REQUIRE_LOCALE(cp1252, "CP1252");
  VEXA_REQUIRE_LOCALE(latin1, "ISO-8859-1");
  ScopedLocale restore;
  EXPECT_EQ(SetRuntimeLocale(LC_ALL, cp1252.c_str()), cp1252);
  EXPECT_EQ(CurrentEncodingName(), "windows-1252");
  // Only the character type says how text is encoded.
  EXPECT_FALSE(SetRuntimeLocale(LC_NUMERIC, latin1.c_str()).empty());
  EXPECT_EQ(CurrentEncodingName(), "windows-1252");
  EXPECT_EQ(SetRuntimeLocale(LC_CTYPE, latin1.c_str()), latin1);
  EXPECT_EQ(CodePageOfName(CurrentEncodingName()), 28591);
  // A locale the runtime library rejects changes nothing.
  EXPECT_EQ(SetRuntimeLocale(LC_CTYPE, "xx_NOWHERE.CP1252"), "");
  EXPECT_EQ(RuntimeLocale(LC_CTYPE), latin1);
  EXPECT_EQ(SetRuntimeLocale(LC_ALL, "C.UTF-8"), "C.UTF-8");
  EXPECT_EQ(CurrentEncodingName(), "UTF-8");
}

TEST(LocaleTest, LoadingKeepsASingleByteLocaleFromTheEnvironment) {
  VEXA_REQUIRE_LOCALE(cp1252, "CP1252");
  ScopedLocale restore;
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
