// The write sides of the extension records, read back by the reader: long
// names, a very long string, display properties, long-string value labels,
// the case count and the machine records.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dict/format_code.h"
#include "support/temp_dir.h"
#include "sysfile/case_iterator.h"
#include "sysfile/system_file_data_source.h"

namespace vexa {
namespace {

using namespace std::string_literals;

std::string Long(char seed) {
  std::string v;
  for (int i = 0; i < 1000; ++i) v.push_back(static_cast<char>(seed + i % 19));
  return v;
}

class ExtensionRoundTripTest : public ::testing::TestWithParam<int> {
 protected:
  // income (numeric), LongStringVar (A1000), city (A20, labelled),
  // AgeInYearsAtInterview (numeric); two cases.
  void SetUp() override {
    path_ = dir_.File("ext.vexa");
    auto writer = SystemFileDataSource::CreateForWriting(path_);
    writer->SetCompression(GetParam());
    Dictionary& d = writer->GetDictionary();
    VEXA_Variable income(0);
    income.SetName("income");
    income.SetMeasureLevel(3);
    income.SetDisplayWidth(10);
    income.SetAlignment(1);
    d.Add(income);
    VEXA_Variable text(1000);
    text.SetName("LongStringVar");
    text.SetDisplayWidth(60);
    d.Add(text);
    VEXA_Variable city(20);
    city.SetName("city");
    city.MutableValueLabels().SetWidth(20);
    city.MutableValueLabels().AddText("a", "Apple");
    city.MutableValueLabels().AddText("bbbbbbbbbbbbbbbbbbbb", "Bees");
    d.Add(city);
    VEXA_Variable age(0);
    age.SetName("AgeInYearsAtInterview");
    age.SetAlignment(2);
    d.Add(age);

    writer->CommitHeader();
    std::vector<char> row(static_cast<size_t>(d.SlotCount()) * 8, ' ');
    for (int c = 0; c < 2; ++c) {
      const double income_value = 1000.5 * (c + 1), age_value = 30 + c;
      std::memcpy(row.data(), &income_value, 8);
      const std::string value = Long(static_cast<char>('A' + c));
      std::memcpy(row.data() + d.FirstSlot(1) * 8, value.data(), value.size());
      std::memcpy(row.data() + d.FirstSlot(2) * 8, "bbbbbbbbbbbbbbbbbbbb", 20);
      std::memcpy(row.data() + d.FirstSlot(3) * 8, &age_value, 8);
      writer->WriteCase(row.data());
    }
    ASSERT_EQ(writer->FinishWriting(), 0);
  }

  std::string Bytes() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  testing::TempDir dir_;
  std::string path_;
};

TEST_P(ExtensionRoundTripTest, TheDictionaryComesBack) {
  auto source = SystemFileDataSource::OpenForReading(path_);
  const Dictionary& d = source->GetDictionary();
  ASSERT_EQ(d.Count(), 4);
  EXPECT_EQ(d.At(0).Name(), "income");
  EXPECT_EQ(d.At(0).MeasureLevel(), 3);
  EXPECT_EQ(d.At(0).DisplayWidth(), 10);
  EXPECT_EQ(d.At(0).Alignment(), 1);
  EXPECT_EQ(d.At(1).Name(), "LongStringVar");
  EXPECT_EQ(d.At(1).Type(), 1000);
  EXPECT_EQ(d.At(1).PrintFormat(), PackFormat({1000, kFormatString, 0}));
  EXPECT_EQ(d.At(1).DisplayWidth(), 60);
  EXPECT_EQ(d.At(3).Name(), "AgeInYearsAtInterview");
  EXPECT_EQ(d.At(3).Alignment(), 2);

  const ValueLabelMap& labels = d.At(2).ValueLabels();
  ASSERT_TRUE(labels.IsValid());
  EXPECT_EQ(labels.Count(), 2);
  ASSERT_NE(labels.FindText("a"), nullptr);
  EXPECT_EQ(*labels.FindText("a"), "Apple");
  EXPECT_EQ(*labels.FindText("bbbbbbbbbbbbbbbbbbbb"), "Bees");

  const FileHeader& h = source->Header();
  EXPECT_TRUE(h.long_names);
  EXPECT_EQ(h.case_count, 2);
  EXPECT_EQ(h.machine.major, 24);
  EXPECT_EQ(h.sysmis, SysmisValue());
  for (int subtype : {3, 4, 11, 13, 14, 16, 21}) {
    EXPECT_TRUE(h.subtypes_seen.test(static_cast<size_t>(subtype))) << subtype;
  }
  std::string short_name;
  EXPECT_TRUE(source->FindShortName("AgeInYearsAtInterview", &short_name));
  EXPECT_EQ(short_name, "AGEINYEA");
}

TEST_P(ExtensionRoundTripTest, CasesComeBackWhole) {
  auto source = SystemFileDataSource::OpenForReading(path_);
  const Dictionary& d = source->GetDictionary();
  std::vector<char> buffer(static_cast<size_t>(d.SlotCount()) * 8);
  auto it = source->CreateIterator(buffer.data());
  for (int c = 0; c < 2; ++c) {
    ASSERT_TRUE(it->ReadNext());
    double income, age;
    std::memcpy(&income, buffer.data(), 8);
    std::memcpy(&age, buffer.data() + d.FirstSlot(3) * 8, 8);
    EXPECT_EQ(income, 1000.5 * (c + 1));
    EXPECT_EQ(age, 30 + c);
    EXPECT_EQ(std::string(buffer.data() + d.FirstSlot(1) * 8, 1000),
              Long(static_cast<char>('A' + c)));
    EXPECT_EQ(std::string(buffer.data() + d.FirstSlot(2) * 8, 24),
              "bbbbbbbbbbbbbbbbbbbb    ");
  }
  EXPECT_FALSE(it->ReadNext());
}

TEST_P(ExtensionRoundTripTest, RecordsCarryShortNames) {
  const std::string bytes = Bytes();
  // Variable records name the short forms; subtype 13 pairs them.
  EXPECT_NE(bytes.find("INCOME  "), std::string::npos);
  EXPECT_NE(bytes.find("INCOME=income\tLONGSTRI=LongStringVar\tCITY=city\t"
                       "AGEINYEA=AgeInYearsAtInterview"),
            std::string::npos);
  EXPECT_NE(bytes.find("LONGSTRI=1000\0\t"s), std::string::npos);
  EXPECT_NE(bytes.find("LONGS0  "), std::string::npos);
  // The labels of the A20 variable travel only in subtype 21, at full
  // width: name length 4, "city", width 20, two labels.
  EXPECT_NE(bytes.find("\x04\0\0\0city\x14\0\0\0\x02\0\0\0"s),
            std::string::npos);
  EXPECT_NE(bytes.find("\x14\0\0\0bbbbbbbbbbbbbbbbbbbb\x04\0\0\0Bees"s),
            std::string::npos);
  EXPECT_EQ(bytes.find("Apple"), bytes.rfind("Apple"));
}

INSTANTIATE_TEST_SUITE_P(Compression, ExtensionRoundTripTest,
                         ::testing::Values(0, 1));

}  // namespace
}  // namespace vexa
