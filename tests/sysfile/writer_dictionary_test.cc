// The dictionary part as the writer lays it out, checked byte for byte where
// the layout is fixed and by reading the file back everywhere else.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <regex>
#include <string>

#include "dict/format_code.h"
#include "support/calendar.h"
#include "sysfile/writer_files.h"

namespace vexa {
namespace {

using testing::CaseCountUnit;
using testing::ErrorNumberOf;
using testing::ExtensionRecords;
using testing::I32At;
using testing::ListRecords;
using testing::WriterFile;

TEST(WriterHeaderTest, FieldsAreLaidOutAndTheCountIsPatchedAtFinish) {
  WriterFile f;
  f.AddVar("a", 0);
  f.AddVar("s", 20);
  const int w = f.AddVar("w", 0);
  f.Dict().SetWeightIndex(w);
  f.Dict().SetIdString("survey 2024");
  f.Writer().MutableHeader().product = kWriteProductText;
  f.Writer().CommitHeader();
  EXPECT_EQ(f.Writer().State(), SystemFileDataSource::kWriting);

  std::string bytes = f.Bytes();
  EXPECT_EQ(bytes.substr(0, 4), "$FL2");
  std::string product = kWriteProductText;
  product.resize(60, ' ');
  EXPECT_EQ(bytes.substr(4, 60), product);
  EXPECT_EQ(I32At(bytes, 64), 2);
  EXPECT_EQ(I32At(bytes, 68), 5);  // a, s (3 slots), w
  EXPECT_EQ(I32At(bytes, 72), 0);
  EXPECT_EQ(I32At(bytes, 76), 5);  // w's 1-based slot
  EXPECT_EQ(I32At(bytes, 80), -1);  // not known before the finish
  double bias;
  std::memcpy(&bias, bytes.data() + 84, 8);
  EXPECT_EQ(bias, 100.0);
  EXPECT_TRUE(std::regex_match(bytes.substr(92, 9),
                               std::regex("[0-3][0-9] [A-Z][a-z][a-z] [0-9]{2}")));
  EXPECT_TRUE(std::regex_match(bytes.substr(101, 8),
                               std::regex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9]")));
  EXPECT_EQ(bytes.substr(109, 64), "survey 2024" + std::string(53, ' '));
  EXPECT_EQ(bytes.substr(173, 3), std::string(3, '\0'));

  f.Finish();
  bytes = f.Bytes();
  EXPECT_EQ(I32At(bytes, 80), 0);
  auto source = f.Read();
  // The creation stamp is now, give or take the clock's resolution.
  const double days = source->GetDictionary().TimeStamp() / 86400.0;
  const double now_days =
      DayNumber(1970, 1, 1) + std::time(nullptr) / 86400.0;
  EXPECT_NEAR(days, now_days, 1.1);
}

// Zlib compression is asked for and byte code is written; with no cases,
// both counts are patched to zero at the finish.
TEST(WriterHeaderTest, ZlibBecomesByteCodeAndZeroCasesPatchBothCounts) {
  WriterFile f(2);
  f.AddVar("a", 0);
  f.Writer().CommitHeader();
  EXPECT_EQ(I32At(f.Bytes(), 72), 1);
  EXPECT_EQ(f.Writer().Compression(), 1);
  EXPECT_EQ(CaseCountUnit(f.Bytes(), 0), 1);
  EXPECT_EQ(CaseCountUnit(f.Bytes()), -1);
  f.Finish();
  EXPECT_EQ(I32At(f.Bytes(), 80), 0);
  EXPECT_EQ(CaseCountUnit(f.Bytes()), 0);
  EXPECT_EQ(f.Writer().FinishWriting(), 32);
}

// Continuation records, format codes, labels with and without filler, and
// missing values of every shape.
TEST(WriterDictionaryTest, VariableRecordsAreLaidOutAndReadBack) {
  WriterFile f;
  VEXA_Variable n(0);
  n.SetName("Income");
  n.SetLabel("Net");  // 3 bytes + 1 filler
  n.SetPrintFormat(PackFormat({10, kFormatNumeric, 3}));
  n.SetWriteFormat(PackFormat({12, kFormatNumeric, 0}) | 0x01000000u);
  n.SetMissingNumbers(kMissingRangeAndValue, 1.5, 2.5, -7.0);
  n.SetMeasureLevel(2);
  n.SetDisplayWidth(17);
  n.SetAlignment(1);
  f.Dict().Add(n);
  VEXA_Variable s(20);
  s.SetName("city");
  s.SetLabel("12345678");  // no filler
  s.SetMissingTexts(2, "abc", "12345678", nullptr);
  f.Dict().Add(s);
  VEXA_Variable r(0);
  r.SetName("r");
  r.SetMissingNumbers(kMissingRange, 0.0, 9.0, 0.0);
  f.Dict().Add(r);
  f.Writer().CommitHeader();
  f.Finish();

  const std::string bytes = f.Bytes();
  const auto records = ListRecords(bytes);
  ASSERT_GE(records.size(), 5u);
  // city's record and its two continuation records.
  EXPECT_EQ(records[1].subtype_or_width, 20);
  EXPECT_EQ(records[2].subtype_or_width, -1);
  EXPECT_EQ(records[3].subtype_or_width, -1);
  EXPECT_EQ(I32At(bytes, records[2].contents + 16), 0x11D01);
  EXPECT_EQ(I32At(bytes, records[0].contents + 20), 0x0C00 | (5 << 16));

  auto source = f.Read();
  const Dictionary& d = source->GetDictionary();
  ASSERT_EQ(d.Count(), 3);
  EXPECT_EQ(d.At(0).Label(), "Net");
  EXPECT_EQ(d.At(1).Label(), "12345678");
  EXPECT_FALSE(d.At(2).HasLabel());
  EXPECT_EQ(d.At(0).WriteFormat(), f.Dict().At(0).WriteFormat() & 0x3FFFFF);
  for (int i = 0; i < 3; ++i) {
    const VEXA_Variable& want = f.Dict().At(i);
    ASSERT_EQ(d.At(i).MissingCode(), want.MissingCode()) << i;
    for (int v = 0; v < std::abs(want.MissingCode()); ++v) {
      EXPECT_EQ(d.At(i).MissingRaw()[v], want.MissingRaw()[v]) << i;
    }
  }
}

TEST(WriterDictionaryTest, ValueLabelsAreWrittenOncePerMapObject) {
  WriterFile f;
  ValueLabelMap shared(0);
  shared.AddNumber(1, "one");
  shared.AddNumber(2, std::string(300, 'x'));  // capped at 255 bytes
  ValueLabelMap equal(0);
  equal.AddNumber(1, "one");
  equal.AddNumber(2, std::string(300, 'x'));
  ValueLabelMap text(4);
  text.AddText("ab", "ay bee");
  for (const char* name : {"a", "b", "c", "d"}) f.AddVar(name, 0);
  f.AddVar("t", 4);
  f.Dict().MutableAt(0).SetValueLabels(shared);
  f.Dict().MutableAt(2).SetValueLabels(shared);
  f.Dict().MutableAt(3).SetValueLabels(equal);
  f.Dict().MutableAt(4).SetValueLabels(text);
  f.Writer().CommitHeader();
  f.Finish();

  const std::string bytes = f.Bytes();
  std::vector<std::pair<int32_t, int32_t>> label_records;
  for (const auto& r : ListRecords(bytes)) {
    if (r.type == 3 || r.type == 4) label_records.emplace_back(r.type, r.subtype_or_width);
  }
  const std::vector<std::pair<int32_t, int32_t>> want = {
      {3, 2}, {4, 2}, {3, 2}, {4, 1}, {3, 1}, {4, 1}};
  EXPECT_EQ(label_records, want);

  auto source = f.Read();
  const Dictionary& d = source->GetDictionary();
  EXPECT_TRUE(d.At(0).ValueLabels().SharesImplWith(d.At(2).ValueLabels()));
  EXPECT_FALSE(d.At(0).ValueLabels().SharesImplWith(d.At(3).ValueLabels()));
  EXPECT_FALSE(d.At(1).ValueLabels().IsValid() && d.At(1).ValueLabels().Count() > 0);
  ASSERT_NE(d.At(0).ValueLabels().FindNumber(2), nullptr);
  EXPECT_EQ(*d.At(0).ValueLabels().FindNumber(2), std::string(255, 'x'));
  ASSERT_NE(d.At(4).ValueLabels().FindText("ab"), nullptr);
  EXPECT_EQ(*d.At(4).ValueLabels().FindText("ab"), "ay bee");
}

TEST(WriterDictionaryTest, DocumentsKeepWholeLinesOnly) {
  WriterFile f;
  f.AddVar("a", 0);
  std::string docs(170, 'd');
  docs[80] = 'e';
  f.Dict().Extensions().Set(kDocumentsType, 1, 170, docs.data());
  f.Writer().CommitHeader();
  f.Finish();
  auto source = f.Read();
  const VEXA_ExtensionImpl* got =
      source->GetDictionary().Extensions().Get(kDocumentsType);
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(got->contents, docs.substr(0, 160));
}

TEST(WriterDictionaryTest, RawExtensionsAreWrittenBackInSubtypeOrder) {
  WriterFile f;
  f.AddVar("a", 0);
  const std::string eight = "\x01\x02\x03\x04\x05\x06\x07\x08";
  const std::string forty = "raw forty";
  f.Dict().Extensions().Set(40, 1, 9, forty.data());
  f.Dict().Extensions().Set(8, 4, 2, eight.data());
  f.Writer().CommitHeader();
  f.Finish();

  std::vector<int32_t> subtypes;
  for (const auto& r : ExtensionRecords(f.Bytes())) {
    subtypes.push_back(r.subtype_or_width);
  }
  ASSERT_FALSE(subtypes.empty());
  EXPECT_TRUE(std::is_sorted(subtypes.begin(), subtypes.end()));
  EXPECT_EQ(subtypes.front(), 3);  // 3 and 4 are always written
  EXPECT_EQ(subtypes.back(), 40);

  auto source = f.Read();
  const auto& ext = source->GetDictionary().Extensions();
  ASSERT_NE(ext.Get(8), nullptr);
  EXPECT_EQ(ext.Get(8)->element_size, 4);
  EXPECT_EQ(ext.Get(8)->contents, eight);
  ASSERT_NE(ext.Get(40), nullptr);
  EXPECT_EQ(ext.Get(40)->contents, forty);
}

TEST(WriterDictionaryTest, CommitRefusesDuplicateNamesAndASecondCommit) {
  WriterFile dup;
  dup.AddVar("Age", 0);
  dup.AddVar("AGE", 0);
  EXPECT_EQ(ErrorNumberOf([&] { dup.Writer().CommitHeader(); }), kErrDuplicateName);
  EXPECT_EQ(dup.Writer().State(), SystemFileDataSource::kDefining);
  WriterFile twice;
  twice.AddVar("a", 0);
  twice.Writer().CommitHeader();
  EXPECT_EQ(ErrorNumberOf([&] { twice.Writer().CommitHeader(); }), kErrBadState);
}

}  // namespace
}  // namespace vexa
