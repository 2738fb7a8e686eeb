// Encodings: names and code page numbers, the encoding scope and the locale
// call, character lengths that follow the current code page; the conversion
// primitive in both directions, fixed fields, single-byte tables against
// ICU and whole texts.
#include <gtest/gtest.h>
#include <unicode/putil.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <clocale>
#include <string>

#include "test_locales.h"
#include "text/code_pages.h"
#include "text/converter.h"
#include "text/encoding_scope.h"
#include "text/interface_encoding.h"
#include "text/library_load.h"
#include "text/runtime_locale.h"
#include "text_test_util.h"

namespace vexa::text {
namespace {

using namespace testing;

TEST(CodePagesTest, NumbersAndNamesMapBothWays) {
  // ICU's IANA name of the library's choice; back to the number.
  const std::pair<long, const char*> names[] = {
      {1252, "windows-1252"}, {65001, "UTF-8"}, {932, "Shift_JIS"}, {28591, "ISO_8859-1:1987"},
      {2, ""}, {0, ""}, {-1252, ""}, {123456, ""}};
  for (const auto& [number, name] : names) {
    EXPECT_EQ(NameOfCodePage(number), name) << number;
    EXPECT_EQ(CodePageOfName(name), *name ? number : 0) << name;
  }
  // windows aliases win over cp ones; ICU's aliases count.
  const std::pair<const char*, int> numbers[] = {
      {"utf8", 65001}, {"WINDOWS-28591", 28591}, {"windows-31j", 932}, {"no-such-encoding", 0}};
  for (const auto& [name, number] : numbers) EXPECT_EQ(CodePageOfName(name), number) << name;
  EXPECT_TRUE(CompatibleEncodings("cp1252", "windows-1252"));
  EXPECT_FALSE(CompatibleEncodings("windows-1252", "ISO-8859-1"));
  EXPECT_FALSE(CompatibleEncodings("bogus", "bogus"));
  // Every name the library writes maps back to its own encoding.
  for (long cp : {932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258,
                  28591, 65001}) {
    ScopedCodePage code_page(NameOfCodePage(cp).c_str());
    const std::string name = CurrentEncodingName();
    EXPECT_TRUE(CompatibleEncodings(name, NameOfCodePage(cp))) << cp;
    EXPECT_EQ(CodePageOfName(name), cp) << name;
  }
  // A code page without an IANA name is named by an alias of its kind (cp,
  // windows, any other), never by ICU's own table name.
  const std::pair<const char*, const char*> unnamed[] = {
      {"1125", "cp1125"}, {"x-iscii-de", "windows-57002"}, {"gsm-03.38-2009", "GSM0338"}};
  for (const auto& [asked, name] : unnamed) {
    ScopedCodePage restore("UTF-8");
    ASSERT_TRUE(SetCurrentCodePage(asked)) << asked;
    EXPECT_EQ(CurrentEncodingName(), name) << asked;
  }
}

TEST(EncodingScopeTest, SwitchesAndRestoresTheCodePageAndMode) {
  ScopedCodePage start("UTF-8");
  {
    EncodingScope scope("windows-1252", InterfaceMode::kCodePage);
    EXPECT_TRUE(scope.ok());
    EXPECT_EQ(CurrentEncodingName(), "windows-1252");
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
                      {"windows-1252", "\xE9", 1, false}, {"US-ASCII", "\xE9", -1, false},
                      {"UTF-8", "\xE9", -1, true}};
  for (const Row& r : rows) {
    EncodingScope scope(r.code_page, InterfaceMode::kCodePage);
    EXPECT_EQ(CharLength(r.bytes.data(), r.bytes.size()), r.length) << r.code_page;
    EXPECT_EQ(CharactersMayBeMultibyte(), r.multibyte) << r.code_page;
  }
}

TEST(LocaleTest, TheCharacterTypeLocaleMovesTheCurrentCodePage) {
  // LC_ALL and a refused locale: the locale call's test.
  VEXA_REQUIRE_LOCALE(cp1252, "CP1252");
  VEXA_REQUIRE_LOCALE(latin1, "ISO-8859-1");
  ScopedLocale restore;
  ScopedCodePage start("windows-1252");
  // The code set ends at a modifier.
  EXPECT_EQ(SetRuntimeLocale(LC_CTYPE, (latin1 + "@euro").c_str()), latin1 + "@euro");
  EXPECT_EQ(CodePageOfName(CurrentEncodingName()), 28591);
  // Loading keeps a single-byte locale from the environment, and replaces
  // the C locale by C.UTF-8.
  vexa::testing::ScopedEnv lc_all("LC_ALL", cp1252.c_str());
  ApplyLoadLocale();
  EXPECT_EQ(RuntimeLocale(LC_CTYPE), cp1252);
  setenv("LC_ALL", "C", 1);
  ApplyLoadLocale();
  EXPECT_EQ(RuntimeLocale(LC_CTYPE), kFallbackLocale);
  EXPECT_STREQ(std::getenv("LC_ALL"), kFallbackLocale);
}


constexpr Direction kTo = Direction::kToUtf8, kFrom = Direction::kFromUtf8;
constexpr int kNul = -1;  // source length: NUL-terminated

// `length` is kNul or 0 (the source's size); `dest` is what the destination
// holds afterwards ('#' where nothing was written).
struct PrimitiveCase {
  const char* what;
  const char* code_page;
  Direction dir;
  std::string source;
  int length;
  size_t capacity;
  std::string dest;
  size_t kept;
  int status;
};

const PrimitiveCase kPrimitive[] = {
    {"accented letters", "windows-1252", kTo, "caf\xE9", 0, 8, "caf\xC3\xA9 ###", 5, kConvertClean},
    {"euro sign cut whole", "windows-1252", kTo, "ab\x80", 0, 4, "ab  ", 2, kConvertCut},
    {"euro sign fits", "windows-1252", kTo, "ab\x80", 0, 5, "ab\xE2\x82\xAC", 5, kConvertClean},
    {"byte outside the code page", "US-ASCII", kTo, "a\x81", 0, 4, "a? #", 2, kConvertSubstituted},
    {"NUL-terminated cut", "windows-1252", kTo, "\xE9t\xE9", kNul, 5, std::string("\xC3\xA9t\0 ", 5), 3, kConvertCut},
    {"omega has no byte", "windows-1252", kFrom, "\xCE\xA9 x", 0, 4, "? x ", 3, kConvertSubstituted},
    {"invalid UTF-8", "windows-1252", kFrom, "a\xFF" "b", 0, 4, "a?b ", 3, kConvertSubstituted},
    {"to double-byte, cut", "Shift_JIS", kFrom, "\xE6\x97\xA5\xE6\x9C\xAC", 0, 3, "\x93\xFA ", 2, kConvertCut},
    {"from double-byte", "Shift_JIS", kTo, "\x93\xFA\x96{", 0, 7, "\xE6\x97\xA5\xE6\x9C\xAC ", 6, kConvertClean},
    {"capacity 0 measures", "windows-1252", kTo, "\xE9\xE9", 0, 0, "", 4, kConvertCut},
};

TEST(ConvertTest, ConversionPrimitive) {
  for (const PrimitiveCase& c : kPrimitive) {
    Converter conv = Converter::Open(c.code_page);
    ASSERT_TRUE(conv.IsOpen()) << c.code_page;
    std::string dest(c.capacity + 4, '#');
    int status = -1;
    const size_t kept = conv.Convert(c.dir, c.capacity ? dest.data() : nullptr, c.capacity,
                                     c.source.c_str(), c.length == kNul ? -1 : static_cast<int>(c.source.size()),
                                     &status);
    EXPECT_EQ(kept, c.kept) << c.what;
    EXPECT_EQ(status, c.status) << c.what;
    EXPECT_EQ(dest.substr(0, c.dest.size()), c.dest) << c.what;
    EXPECT_EQ(dest.substr(c.capacity), "####") << c.what << ": wrote past the capacity";
  }
}

TEST(ConvertTest, FieldsAreCutOnCharactersAndPadded) {
  struct FieldCase { const char* code_page; Direction dir; std::string value; size_t size; std::string field; int status; };
  const FieldCase cases[] = {
      {"windows-1252", kTo, "\xFC" "ber   ", 6, "\xC3\xBC" "ber ", kConvertClean},
      {"windows-1252", kTo, "\x80\x80\x80", 8, "\xE2\x82\xAC\xE2\x82\xAC  ", kConvertCut},
      {"US-ASCII", kTo, "\x81", 3, "?  ", kConvertSubstituted},
      {"windows-1252", kFrom, "\xF0\x9F\x98\x80!", 3, "?! ", kConvertSubstituted},
      {"Shift_JIS", kTo, "\x93\xFA\x93\xFA", 5, "\xE6\x97\xA5  ", kConvertCut},
      {"UTF-8", kFrom, "\xE2\x82\xAC\xE2\x82\xAC", 5, "\xE2\x82\xAC  ", kConvertCut},
      {"windows-1252", kTo, "", 2, "  ", kConvertClean}};
  for (const FieldCase& c : cases) {
    Converter conv = Converter::Open(c.code_page);
    std::string field(c.size + 2, '#');
    EXPECT_EQ(conv.ConvertField(c.dir, c.value.data(), c.value.size(), field.data(), c.size),
              c.status) << c.code_page << " " << c.value;
    EXPECT_EQ(field, c.field + "##") << c.code_page << " " << c.value;
  }
}

// A single-byte code page's table holds each byte's UTF-8 form, also for a
// character outside the basic plane (two UTF-16 units from ICU): a code page
// of the tests' own, as no installed one has such a character.
TEST(ConvertTest, SingleByteTableHoldsCharactersOutsideTheBasicPlane) {
#ifndef VEXA_TEST_CODE_PAGES
  GTEST_SKIP() << "ICU's makeconv was not found to build the code page";
#else
  const std::string old_directory = u_getDataDirectory();
  u_setDataDirectory(VEXA_TEST_CODE_PAGES);
  Converter conv = Converter::Open("vexa-astral");
  u_setDataDirectory(old_directory.c_str());
  ASSERT_TRUE(conv.IsOpen());
  ASSERT_NE(conv.TableFor(kTo), nullptr);
  std::string field(8, '#');
  EXPECT_EQ(ConvertFieldByTable(*conv.TableFor(kTo), "\x80\xE9", 2, field.data(), 7), kConvertClean);
  EXPECT_EQ(field, "\xF0\x9F\x98\x80\xC3\xA9 #");
#endif
}

// Every single-byte code page the library names converts each of its 256
// bytes through its table exactly as ICU converts the byte alone; a byte
// ICU refuses is a substituted "?".
TEST(ConvertTest, SingleByteTablesAgreeWithIcuOnEveryByte) {
  for (long cp : {1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 28591}) {
    const std::string name = NameOfCodePage(cp);
    Converter conv = Converter::Open(name);
    ASSERT_NE(conv.TableFor(kTo), nullptr) << name;
    const SingleByteTable& table = *conv.TableFor(kTo);
    UErrorCode err = U_ZERO_ERROR;
    UConverterPtr icu(ucnv_open(name.c_str(), &err));
    ucnv_setToUCallBack(icu.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    ASSERT_TRUE(U_SUCCESS(err)) << name;
    for (size_t b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      UChar units[4];
      char utf8[8];
      int32_t length = 0;
      err = U_ZERO_ERROR;
      const int32_t n = ucnv_toUChars(icu.get(), units, 4, &byte, 1, &err);
      const bool refused = U_FAILURE(err);
      if (!refused) u_strToUTF8(utf8, sizeof utf8, &length, units, n, &err);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(&table.forms[b]), table.lengths[b]),
                refused ? "?" : std::string(utf8, static_cast<size_t>(length)))
          << name << " byte " << b;
      EXPECT_EQ(table.substituted[b] != 0, refused) << name << " byte " << b;
    }
  }
}

// ISO-2022-JP switches back and forth with escapes: texts can grow by more
// than three bytes per character.
TEST(ConvertTest, WholeTextsRoundTrip) {
  int status = -1;
  std::string jis;
  for (int i = 0; i < 50; ++i) jis += "\xE6\x97\xA5" "a";
  Converter conv = Converter::Open("ISO-2022-JP");
  EXPECT_EQ(conv.ConvertText(kTo, conv.ConvertText(kFrom, jis, &status), &status), jis);
  EXPECT_EQ(status, kConvertClean);
  EXPECT_FALSE(Converter::Open("no-such-encoding").IsOpen());
  EXPECT_EQ(Converter().ConvertText(kTo, "abc", &status), "");
  EXPECT_EQ(status, kConvertSubstituted);
}

}  // namespace
}  // namespace vexa::text
