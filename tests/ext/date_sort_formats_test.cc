// Date variables information (6), sort key (23), data entry formatting (24)
// and extended formats (25): a renamed date variable and round trips (raw
// contents set by callers: the golden files). Their damaged forms are in the
// extension read tests; date information read back, in the date calls' tests.
#include <gtest/gtest.h>

#include <string>

#include "dict/format_code.h"
#include "support/open_bytes.h"
#include "support/sysfile_builder.h"
#include "sysfile/test_files.h"

namespace vexa {
namespace {

using testing::OpenBytes;
using testing::SysFileBuilder;

// A date variable renamed after the date information was set: the
// information no longer names it, and the writer drops it (written and read
// back: the date calls' tests and the combination test). The sort keys, the
// data entry text and the extended formats of the same file come back.
TEST(DateSortAndFormatsRecordTest, RenamedDateVariableDropsItsInfoTheOthersRoundTrip) {
  testing::WriterFile f;
  f.AddVar("YEAR_", 0);
  f.AddVar("DATE_", 8);
  f.Dict().MutableMeta().date_info = {true, 1, 7, 8, 9, 1,
                                      {{0, f.Dict().At(0).Id(), 2, 5}, {1, f.Dict().At(1).Id(), 11, 0}}};
  f.Dict().MutableAt(0).SetName("YEARS");
  const uint32_t ymdhms = PackFormat({16, 85, 0});
  f.Dict().MutableAt(0).SetPrintFormat(ymdhms);
  f.Dict().MutableAt(0).SetWriteFormat(ymdhms);
  Metadata& meta = f.Dict().MutableMeta();
  meta.sort_info = {{{1, 1, 0}, {4, 0, 2}}, {{"by", -5}}};
  meta.data_entry = "entry form";
  f.Writer().CommitHeader();
  EXPECT_FALSE(f.Dict().Meta().date_info.present);  // forgotten by the writer too
  f.Finish();
  const std::string bytes = f.Bytes();
  EXPECT_NE(bytes.find("1:1:0!4:0:2!\x1D" "by\x1F-5"), std::string::npos);
  const auto back = f.Read();
  const Dictionary& d = back->GetDictionary();
  EXPECT_TRUE(d.Meta().date_info.slots.empty());
  EXPECT_EQ(d.At(0).PrintFormat(), ymdhms);
  EXPECT_EQ(d.At(0).WriteFormat(), ymdhms);
  EXPECT_EQ(d.Meta().sort_info, meta.sort_info);
  EXPECT_EQ(d.Meta().data_entry, "entry form");

  // Keys without named entries; raw contents kept beside the model.
  SysFileBuilder b;
  b.Header().NumericVar("A").Extension(23, 1, 6, "7:8:9!");
  const auto keys = OpenBytes(b.End().Bytes());
  EXPECT_EQ(keys->GetDictionary().Meta().sort_info, (SortInfo{{{7, 8, 9}}, {}}));
  EXPECT_NE(keys->GetDictionary().Extensions().Get(23), nullptr);
  // Texts of one byte say nothing: neither applied nor kept for a copy.
  const auto one = OpenBytes(SysFileBuilder(true).Header().NumericVar("A").Extension(23, "!")
                                 .Extension(24, "e").End().Bytes());
  EXPECT_EQ(one->GetDictionary().Extensions().Get(23), nullptr);
  EXPECT_EQ(one->GetDictionary().Extensions().Get(24), nullptr);
}

}  // namespace
}  // namespace vexa
