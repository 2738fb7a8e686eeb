// The write sides of the extension records: which records the writer emits,
// what the reader makes of them, and the exact texts of the long names, the
// very long string and the long-string value labels.
#include <gtest/gtest.h>

#include <string>

#include "dict/case.h"
#include "sysfile/test_files.h"

namespace vexa {
namespace {

using namespace std::string_literals;

class ExtensionRoundTripTest : public ::testing::TestWithParam<int> {
 protected:
  // income (numeric), LongStringVar (A1000), city (A20, labelled),
  // AgeInYearsAtInterview (numeric); two cases.
  void SetUp() override {
    f_.AddVar("income", 0);
    f_.AddVar("LongStringVar", 1000);
    VEXA_Variable city(20);
    city.SetName("city");
    city.MutableValueLabels().SetWidth(20);
    city.MutableValueLabels().AddText("a", "Apple");
    city.MutableValueLabels().AddText("bbbbbbbbbbbbbbbbbbbb", "Bees");
    f_.Dict().Add(city);
    f_.AddVar("AgeInYearsAtInterview", 0);
    f_.Writer().CommitHeader();
    VEXA_Case empty(f_.Dict());  // system-missing numerics, blank strings
    for (int c = 0; c < 2; ++c) f_.Writer().WriteCase(empty.Data());
    f_.Finish();
  }

  testing::WriterFile f_{GetParam()};
};

TEST_P(ExtensionRoundTripTest, EveryRecordIsWrittenWithTheShortNames) {
  auto source = f_.Read();
  const FileHeader& h = source->Header();
  EXPECT_TRUE(h.long_names);
  EXPECT_EQ(h.case_count, 2);
  EXPECT_EQ(h.machine.major, 24);
  EXPECT_EQ(h.sysmis, SysmisValue());
  for (int subtype : {3, 4, 11, 13, 14, 16, 21}) {
    EXPECT_TRUE(h.subtypes_seen.test(static_cast<size_t>(subtype))) << subtype;
  }
  // The reader answers from the file's names, the writer from its own map.
  std::string short_name;
  EXPECT_TRUE(source->FindShortName("AgeInYearsAtInterview", &short_name));
  EXPECT_EQ(short_name, "AGEINYEA");
  EXPECT_TRUE(f_.Writer().FindShortName("LongStringVar", &short_name));
  EXPECT_EQ(short_name, "LONGSTRI");
  EXPECT_FALSE(f_.Writer().FindShortName("absent", &short_name));

  const std::string bytes = f_.Bytes();
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
