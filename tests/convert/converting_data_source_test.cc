// The converting data sources over files the library writes: the case
// layout and widths, converted values cut on characters, the dictionary's
// texts, the warnings, and the multiple-response set lines' byte counts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "convert/converting_data_source.h"
#include "convert/set_lines.h"
#include "dict/case.h"
#include "support/warnings.h"
#include "sysfile/test_files.h"
#include "text/text_test_util.h"

namespace vexa {
namespace {

using text::testing::ScopedCodePage;
using text::testing::ScopedInterfaceMode;

using testing::Padded;
using testing::Repeat;
using testing::Warnings;

// A file of n1 n2 n3 s8 n4 big (A20000) s3 and one case, written in
// `code_page`.
std::unique_ptr<SystemFileDataSource> LayoutFile(testing::WriterFile& f, const char* code_page,
                                                 const std::string& s8, const std::string& big) {
  ScopedCodePage written_in(code_page);
  for (auto [name, width] : {std::pair{"n1", 0}, {"n2", 0}, {"n3", 0}, {"s8", 8}, {"n4", 0},
                             {"big", 20000}, {"s3", 3}}) {
    f.AddVar(name, width);
  }
  f.Writer().CommitHeader();
  VEXA_Case c(f.Dict());
  for (auto [index, text] : {std::pair{3, s8}, {5, big}, {6, std::string("abc")}}) {
    std::memcpy(c.Data() + f.Dict().FirstSlot(index) * 8, text.data(), text.size());
  }
  f.Writer().WriteCase(c.Data());
  f.Finish();
  return f.Read();
}

// The string values (all their width) of the first case of `view`.
std::vector<std::string> FirstCaseStrings(VEXA_DataSource& view) {
  const Dictionary& d = view.GetDictionary();
  std::vector<char> buffer(static_cast<size_t>(d.SlotCount()) * 8, '#');
  auto it = view.CreateIterator(buffer.data());
  std::vector<std::string> values;
  if (!it || !it->ReadNext()) return values;
  for (int i = 0; i < d.Count(); ++i) {
    if (d.At(i).Type() > 0) values.emplace_back(buffer.data() + d.FirstSlot(i) * 8, d.At(i).Type());
  }
  return values;
}

TEST(ConvertingDataSourceTest, Utf8ViewTriplesWidthsAndConvertsEveryCase) {
  testing::WriterFile f;
  Warnings warnings;
  UTF8DataSource view(LayoutFile(f, "windows-1252", "\xE9t\xE9", std::string(20000, '\xE9')),
                      "windows-1252", &warnings);
  // The very long value keeps 16,383 whole characters of its 20,000.
  EXPECT_EQ(FirstCaseStrings(view),
            (std::vector<std::string>{Padded("\xC3\xA9t\xC3\xA9", 24),
                                      Padded(Repeat("\xC3\xA9", 16383), 32767), Padded("abc", 9)}));
  EXPECT_EQ(warnings.got, "");  // case values are not reported
}

TEST(ConvertingDataSourceTest, CodePageViewKeepsWidthsAndCutsOnCharacters) {
  testing::WriterFile f;
  // s8: two IPA letters, a euro sign and "!"; big: euro and omega signs.
  CodePageDataSource view(LayoutFile(f, "UTF-8", "\xCA\x92\xCA\x92\xE2\x82\xAC!",
                                     Repeat("\xE2\x82\xAC\xCE\xA9", 4000)),
                          "windows-1252", nullptr, false);
  EXPECT_EQ(FirstCaseStrings(view),
            (std::vector<std::string>{Padded("??\x80!", 8), Padded(Repeat("\x80?", 4000), 20000),
                                      "abc"}));
  // In GB18030 the IPA letters take four bytes each: the value outgrows its
  // width and is cut before the character that would not fit.
  CodePageDataSource gb(f.Read(), "GB18030", nullptr, false);
  EXPECT_EQ(text::Converter::Open("GB18030").ConvertText(text::Direction::kToUtf8,
                                                         FirstCaseStrings(gb).at(0)),
            "\xCA\x92\xCA\x92");
}

// Names, labels, value labels, attributes and the file label converted in
// every kind of file are the combination test's; here what it cannot show.
TEST(ConvertingDataSourceTest, DictionaryTextsAreConvertedOnce) {
  testing::WriterFile f;
  std::unique_ptr<SystemFileDataSource> reader;
  {
    ScopedCodePage file_encoding("windows-1252");  // written, and read as the open reads it
    Dictionary& d = f.Dict();
    f.AddVar("city", 6);
    f.AddVar("town", 6);
    d.MutableAt(0).SetMissingTexts(2, "\xE9\xE9\xE9\xE9\xE9", "ab", nullptr);
    ValueLabelMap shared(6);
    shared.AddText("\xE9t\xE9", "summer");
    d.MutableAt(0).SetValueLabels(shared);
    d.MutableAt(1).SetValueLabels(shared);
    const std::string note = "Note: 5 \x80" + std::string(71, ' ');
    d.Extensions().Set(kDocumentsType, 1, static_cast<int64_t>(note.size()), note.data());
    f.Finish();
    reader = f.Read();
  }
  ScopedInterfaceMode utf8(text::InterfaceMode::kUtf8);
  Warnings warnings;
  UTF8DataSource view(std::move(reader), "windows-1252", &warnings);
  const Dictionary& d = view.GetDictionary();
  EXPECT_EQ(d.At(0).MissingCode(), 1);  // the first value needs 10 bytes now
  EXPECT_EQ(d.At(0).ValueLabels().Identity(), d.At(1).ValueLabels().Identity());
  EXPECT_NE(d.At(1).ValueLabels().FindText("\xC3\xA9t\xC3\xA9"), nullptr);
  EXPECT_EQ(d.Extensions().Get(kDocumentsType)->contents, Padded("Note: 5 \xE2\x82\xAC", 80));
  EXPECT_EQ(warnings.got, "1701 windows-1252;");

  // The other way a name that does not convert is repaired; the variant
  // flag picks the warning.
  testing::WriterFile g;
  g.AddVar("\xCE\xA9mega", 0);
  g.Finish();
  CodePageDataSource cp(g.Read(), "windows-1252", &warnings, true);
  EXPECT_EQ(cp.GetDictionary().At(0).Name(), "v1");
  EXPECT_EQ(warnings.got, "1701 windows-1252;1712 windows-1252;");
}

TEST(SetLinesTest, CountsFollowTheConvertedTexts) {
  // A conversion that doubles "#": counted texts grow by their "#"s.
  const TextConversion twice = [](std::string_view t) {
    std::string out;
    for (char c : t) out += c == '#' ? "##" : std::string(1, c);
    return out;
  };
  const std::pair<std::string, std::string> rows[] = {
      {"$a#=C 3 x#y A# B\n", "$a##=C 4 x##y A## B\n"},
      {"$d=D2 1# 0  A B\n", "$d=D3 1## 0  A B\n"},
      {"$e=E 11 1 1 2 ## A\r\n", "$e=E 11 1 1 4 #### A\r\n"},
      {"vs= A# B", "vs= A## B"},                                 // a variable set
      {"$bad=C 9 #\n$ok=C 1 # X\n", "$bad=C 9 ##\n$ok=C 2 ## X\n"},  // a count past the end
      {"$bad=X 1 #\n", "$bad=X 1 ##\n"}};
  for (const auto& [in, out] : rows) EXPECT_EQ(ConvertSetLines(in, twice), out) << in;
}

}  // namespace
}  // namespace vexa
