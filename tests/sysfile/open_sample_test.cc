// Opening the sample file from disk: what of its dictionary the C API does
// not show.
#include <gtest/gtest.h>

#include <string>

#include "dict/format_code.h"
#include "support/sample_file.h"
#include "support/temp_dir.h"
#include "sysfile/system_file_data_source.h"

namespace vexa {
namespace {

class OpenSampleTest : public ::testing::TestWithParam<bool> {};

TEST_P(OpenSampleTest, ReadsTheWholeDictionary) {
  testing::TempDir dir;
  auto source = SystemFileDataSource::OpenForReading(
      dir.Write("sample.vexa", testing::BuildSampleFile(GetParam())));
  const Dictionary& d = source->GetDictionary();
  ASSERT_EQ(d.Count(), testing::kSampleVariables);
  EXPECT_EQ(d.SlotCount(), testing::kSampleSlots);
  EXPECT_EQ(FormatToString(UnpackFormat(d.At(3).PrintFormat())), "DATE11");
  EXPECT_TRUE(d.At(5).ValueLabels().SharesImplWith(d.At(6).ValueLabels()));
  EXPECT_EQ(d.IdString(), "Vexa sample survey");
  EXPECT_GT(d.TimeStamp(), 0.0);
  ASSERT_NE(d.Extensions().Get(kDocumentsType), nullptr);
  EXPECT_EQ(d.Extensions().Get(kDocumentsType)->contents.size(), 160u);
  ASSERT_NE(d.Extensions().Get(99), nullptr);
  EXPECT_EQ(d.Extensions().Get(99)->contents, "opaque bytes");
  EXPECT_FALSE(d.Modified());

  const FileHeader& h = source->Header();
  EXPECT_EQ(h.byte_swapped, GetParam());
  EXPECT_EQ(h.case_count, testing::kSampleCases);
  EXPECT_EQ(h.nominal_case_size, testing::kSampleSlots);
  EXPECT_EQ(source->Stream()->Size() - source->DataStart(),
            testing::kSampleCases * testing::kSampleSlots * 8);
}

INSTANTIATE_TEST_SUITE_P(BothOrders, OpenSampleTest, ::testing::Bool());

}  // namespace
}  // namespace vexa
