// Opening the sample file from disk: the whole dictionary as the sample
// builder describes it.
#include <gtest/gtest.h>

#include <string>

#include "dict/format_code.h"
#include "support/errors.h"
#include "support/sample_file.h"
#include "io/posix_file.h"
#include "support/temp_dir.h"
#include "sysfile/system_file_data_source.h"

namespace vexa {
namespace {

class OpenSampleTest : public ::testing::TestWithParam<bool> {
 protected:
  std::unique_ptr<SystemFileDataSource> Open() {
    std::string path =
        dir_.Write("sample.vexa", testing::BuildSampleFile(GetParam()));
    return SystemFileDataSource::OpenForReading(path);
  }
  testing::TempDir dir_;
};

TEST_P(OpenSampleTest, ReadsTheWholeDictionary) {
  auto source = Open();
  const Dictionary& d = source->GetDictionary();
  ASSERT_EQ(d.Count(), testing::kSampleVariables);
  EXPECT_EQ(d.SlotCount(), testing::kSampleSlots);
  EXPECT_EQ(d.At(2).Name(), "city");
  EXPECT_EQ(d.At(2).Label(), "City of residence");
  EXPECT_EQ(FormatToString(UnpackFormat(d.At(3).PrintFormat())), "DATE11");
  EXPECT_EQ(FormatToString(UnpackFormat(d.At(4).PrintFormat())), "DOLLAR10.2");
  EXPECT_EQ(d.At(4).MissingCode(), -2);
  EXPECT_EQ(d.At(4).MissingNumber(0), -99999.0);
  EXPECT_EQ(d.At(6).MissingCode(), -3);
  EXPECT_TRUE(d.At(5).ValueLabels().SharesImplWith(d.At(6).ValueLabels()));
  EXPECT_EQ(*d.At(6).ValueLabels().FindNumber(2), "Medium");
  EXPECT_EQ(*d.At(1).ValueLabels().FindText("S"), "South");
  EXPECT_EQ(d.WeightIndex(), 8);
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

TEST(OpenPathTest, AMissingFileIsAReadError) {
  testing::TempDir dir;
  try {
    SystemFileDataSource::OpenForReading(dir.File("absent.vexa"));
    FAIL() << "opened";
  } catch (const ErrorText& e) {
    EXPECT_EQ(e.number(), kErrReadFailed);
  }
}

TEST(OpenPathTest, CreatingForWritingTouchesNoFile) {
  testing::TempDir dir;
  auto source = SystemFileDataSource::CreateForWriting(dir.File("new.vexa"));
  EXPECT_TRUE(source->IsWriter());
  EXPECT_EQ(source->Header().product, kDefaultProductText);
  EXPECT_FALSE(FileExists(dir.File("new.vexa")));
}

}  // namespace
}  // namespace vexa
