// The converting data sources over files the library writes: the case
// layout and widths, converted values, the dictionary's texts, the warnings,
// and the multiple-response set lines with their byte counts.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "convert/converting_data_source.h"
#include "convert/set_lines.h"
#include "dict/case.h"
#include "sysfile/test_files.h"
#include "text/text_test_util.h"

namespace vexa {
namespace {

using text::testing::ScopedCodePage;
using text::testing::ScopedInterfaceMode;
using Segment = ConvertingDataSource::Segment;

struct Warnings : VEXA_DataSource::Observer {
  void Warning(long number, std::string_view first, std::string_view) override {
    got.push_back(std::to_string(number) + " " + std::string(first));
  }
  std::vector<std::string> got;
};

// Sets a string value of the case being written.
void SetText(const Dictionary& d, std::vector<char>& c, int index, const std::string& text) {
  std::memcpy(c.data() + d.FirstSlot(index) * 8, text.data(), text.size());
}

std::string ValueOf(const Dictionary& d, const char* data, int index) {
  return std::string(data + d.FirstSlot(index) * 8, static_cast<size_t>(d.At(index).Type()));
}

std::string Padded(const std::string& text, size_t width) {
  return text + std::string(width - text.size(), ' ');
}

// n1 n2 n3 s8 n4 big(20000) s3, one case, written in `code_page`.
std::unique_ptr<SystemFileDataSource> LayoutFile(testing::WriterFile& f, const char* code_page,
                                                 const std::string& s8, const std::string& big) {
  ScopedCodePage written_in(code_page);
  for (const char* n : {"n1", "n2", "n3"}) f.AddVar(n, 0);
  f.AddVar("s8", 8);
  f.AddVar("n4", 0);
  f.AddVar("big", 20000);
  f.AddVar("s3", 3);
  f.Writer().CommitHeader();
  VEXA_Case empty(f.Dict());
  std::vector<char> c(empty.Data(), empty.Data() + empty.Bytes());
  SetText(f.Dict(), c, 3, s8);
  SetText(f.Dict(), c, 5, big);
  SetText(f.Dict(), c, 6, "abc");
  f.Write(c);
  f.Finish();
  return f.Read();
}

std::vector<int> Widths(const Dictionary& d) {
  std::vector<int> w;
  for (int i = 0; i < d.Count(); ++i) w.push_back(d.At(i).Type());
  return w;
}

TEST(ConvertingDataSourceTest, Utf8ViewTriplesWidthsAndConvertsEveryCase) {
  testing::WriterFile f;
  const std::string big(20000, '\xE9');
  Warnings warnings;
  UTF8DataSource view(LayoutFile(f, "windows-1252", "\xE9t\xE9", big), "windows-1252", &warnings);
  const std::vector<Segment> want = {
      {0, 3, 0, 0}, {3, 3, 8, 24}, {4, 1, 0, 0}, {5, 4096, 20000, 32767}, {2505, 2, 3, 9}};
  EXPECT_EQ(view.Segments(), want);
  EXPECT_EQ(Widths(view.GetDictionary()), (std::vector<int>{0, 0, 0, 24, 0, 32767, 9}));

  const Dictionary& d = view.GetDictionary();
  std::vector<char> buffer(static_cast<size_t>(d.SlotCount()) * 8, '#');
  auto it = view.CreateIterator(buffer.data());
  ASSERT_TRUE(it && it->ReadNext());
  EXPECT_EQ(ValueOf(d, buffer.data(), 3), Padded("\xC3\xA9t\xC3\xA9", 24));
  std::string cut;
  for (int i = 0; i < 16383; ++i) cut += "\xC3\xA9";  // 32,766 bytes: whole characters
  EXPECT_EQ(ValueOf(d, buffer.data(), 5), Padded(cut, 32767));
  EXPECT_EQ(std::string(buffer.data() + d.FirstSlot(5) * 8 + 32767, 1), " ");
  EXPECT_EQ(ValueOf(d, buffer.data(), 6), Padded("abc", 9));
  double n1;
  std::memcpy(&n1, buffer.data(), 8);
  EXPECT_EQ(n1, SysmisValue());
  EXPECT_FALSE(it->ReadNext());
  ASSERT_TRUE(it->Seek(0) && it->ReadNext());  // passed through to the reader
  EXPECT_EQ(ValueOf(d, buffer.data(), 3), Padded("\xC3\xA9t\xC3\xA9", 24));
  EXPECT_TRUE(warnings.got.empty());  // case values are not reported
}

TEST(ConvertingDataSourceTest, CodePageViewKeepsWidthsAndCutsOnCharacters) {
  testing::WriterFile f;
  std::string big;
  for (int i = 0; i < 4000; ++i) big += "\xE2\x82\xAC\xCE\xA9";  // euro, omega
  // s8 holds two IPA letters, a euro sign and "!": 8 bytes.
  CodePageDataSource view(LayoutFile(f, "UTF-8", "\xCA\x92\xCA\x92\xE2\x82\xAC!", big),
                          "windows-1252", nullptr, false);
  const Dictionary& d = view.GetDictionary();
  EXPECT_EQ(Widths(d), (std::vector<int>{0, 0, 0, 8, 0, 20000, 3}));
  for (const Segment& s : view.Segments()) EXPECT_EQ(s.output_width, s.source_width);
  std::vector<char> buffer(static_cast<size_t>(d.SlotCount()) * 8);
  auto it = view.CreateIterator(buffer.data());
  ASSERT_TRUE(it && it->ReadNext());
  EXPECT_EQ(ValueOf(d, buffer.data(), 3), Padded("??\x80!", 8));
  std::string shrunk;
  for (int i = 0; i < 4000; ++i) shrunk += "\x80?";
  EXPECT_EQ(ValueOf(d, buffer.data(), 5), Padded(shrunk, 20000));

  // In GB18030 the IPA letters take four bytes each: the value outgrows its
  // width and is cut before the character that would not fit.
  CodePageDataSource gb(f.Read(), "GB18030", nullptr, false);
  it = gb.CreateIterator(buffer.data());
  ASSERT_TRUE(it && it->ReadNext());
  const std::string value = ValueOf(gb.GetDictionary(), buffer.data(), 3);
  EXPECT_EQ(text::Converter::Open("GB18030").ConvertText(text::Direction::kToUtf8, value),
            "\xCA\x92\xCA\x92");
}

TEST(ConvertingDataSourceTest, DictionaryTextsAreConvertedOnce) {
  testing::WriterFile f;
  {
    ScopedCodePage written_in("windows-1252");
    Dictionary& d = f.Dict();
    f.AddVar("caf\xE9", 0);
    f.AddVar(std::string(60, '\xE9'), 0);  // 120 bytes in UTF-8: cut to 64
    f.AddVar("city", 6);
    f.AddVar("town", 6);
    d.MutableAt(0).SetLabel("Pr\xEF" "x \x80");
    d.MutableAt(2).SetMissingTexts(2, "\xE9\xE9\xE9\xE9\xE9", "ab", nullptr);
    ValueLabelMap shared(6);
    shared.AddText("\xE9t\xE9", "summer \x80");
    d.MutableAt(2).SetValueLabels(shared);
    d.MutableAt(3).SetValueLabels(shared);
    d.SetIdString("Fichier \xE9t\xE9");
    const std::string line = "Note: 5 \x80" + std::string(71, ' ');
    d.Extensions().Set(kDocumentsType, 1, 80, line.data());
    const std::string sets = "$s=C 3 \xE9t\xE9 CITY TOWN\n";
    d.Extensions().Set(7, 1, static_cast<int64_t>(sets.size()), sets.data());
    const std::string attributes = "city:lang('fran\xE7" "ais'\n)";
    d.Extensions().Set(18, 1, static_cast<int64_t>(attributes.size()), attributes.data());
    f.Writer().CommitHeader();
    f.Finish();
  }
  std::unique_ptr<SystemFileDataSource> reader;
  {
    ScopedCodePage file_encoding("windows-1252");  // as the open reads it
    reader = f.Read();
  }
  ScopedInterfaceMode utf8(text::InterfaceMode::kUtf8);
  Warnings warnings;
  UTF8DataSource view(std::move(reader), "windows-1252", &warnings);
  const Dictionary& d = view.GetDictionary();
  EXPECT_EQ(d.At(0).Name(), "caf\xC3\xA9");
  EXPECT_EQ(d.At(0).Label(), "Pr\xC3\xAF" "x \xE2\x82\xAC");
  std::string cut_name;
  for (int i = 0; i < 32; ++i) cut_name += "\xC3\xA9";
  EXPECT_EQ(d.At(1).Name(), cut_name);
  EXPECT_EQ(d.At(2).MissingCode(), 1);  // the first value needs 10 bytes now
  EXPECT_EQ(std::string(d.At(2).MissingRaw()[0].data(), 8), "ab      ");
  EXPECT_TRUE(d.At(2).ValueLabels().SharesImplWith(d.At(3).ValueLabels()));
  const std::string* label = d.At(3).ValueLabels().FindText("\xC3\xA9t\xC3\xA9");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(*label, "summer \xE2\x82\xAC");
  EXPECT_EQ(d.IdString(), "Fichier \xC3\xA9t\xC3\xA9");
  EXPECT_EQ(d.Extensions().Get(kDocumentsType)->contents,
            "Note: 5 \xE2\x82\xAC" + std::string(69, ' '));
  EXPECT_EQ(d.Extensions().Get(7)->contents, "$s=C 5 \xC3\xA9t\xC3\xA9 CITY TOWN\n");
  EXPECT_EQ(d.Extensions().Get(18)->contents, "city:lang('fran\xC3\xA7" "ais'\n)");
  EXPECT_EQ(warnings.got, (std::vector<std::string>{"1701 windows-1252"}));

  // The other way, names that do not convert are repaired; the variant flag
  // picks the warning.
  for (bool variant : {false, true}) {
    testing::WriterFile g;
    {
      ScopedInterfaceMode written_in(text::InterfaceMode::kUtf8);
      g.AddVar("\xCE\xA9mega", 0);
      g.AddVar("ok", 0);
      g.Writer().CommitHeader();
      g.Finish();
    }
    auto utf8_reader = g.Read();  // in UTF-8 mode, as the open reads it
    ScopedCodePage reading("windows-1252");
    Warnings w;
    CodePageDataSource cp(std::move(utf8_reader), "windows-1252", &w, variant);
    EXPECT_EQ(cp.GetDictionary().At(0).Name(), "v1");
    EXPECT_EQ(cp.GetDictionary().At(1).Name(), "ok");
    EXPECT_EQ(w.got, (std::vector<std::string>{variant ? "1712 windows-1252" : "1711 windows-1252"}));
  }
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
      {"$bad=X 1 #\n", "$bad=X 1 ##\n"},
      {"", ""}};
  for (const auto& [in, out] : rows) EXPECT_EQ(ConvertSetLines(in, twice), out) << in;
}

}  // namespace
}  // namespace vexa
