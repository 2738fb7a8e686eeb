// Long variable names (subtype 13) as read from a file.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ext/ext_test_util.h"
#include "support/sysfile_builder.h"

namespace vexa {
namespace {

using testing::OpenBytes;
using testing::SysFileBuilder;

std::string FileWithNames(std::string_view text, int32_t unit_size = 1) {
  SysFileBuilder b;
  b.Header().NumericVar("INCOME").NumericVar("AGE").StringVar("CITY", 12);
  if (!text.empty()) {
    b.Extension(13, unit_size, static_cast<int32_t>(text.size()) / unit_size,
                text);
  }
  return b.End().Bytes();
}

std::vector<std::string> Names(const SystemFileDataSource& source) {
  std::vector<std::string> names;
  const Dictionary& d = source.GetDictionary();
  for (int i = 0; i < d.Count(); ++i) names.push_back(d.At(i).Name());
  return names;
}

TEST(LongNamesTest, RestoresNamesAndKeepsTheirCase) {
  auto source =
      OpenBytes(FileWithNames("INCOME=income\tAGE=AgeInYearsAtInterview"));
  // CITY is not listed: it keeps its file name, not lower-cased either.
  EXPECT_EQ(Names(*source), (std::vector<std::string>{
                                "income", "AgeInYearsAtInterview", "CITY"}));
  EXPECT_TRUE(source->Header().long_names);
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(source->NameTable(),
            (Pairs{{"INCOME", "income"}, {"AGE", "AgeInYearsAtInterview"}}));
  std::string short_name;
  EXPECT_TRUE(source->FindShortName("AgeInYearsAtInterview", &short_name));
  EXPECT_EQ(short_name, "AGE");
}

TEST(LongNamesTest, WithoutTheRecordNamesAreLowerCased) {
  auto source = OpenBytes(FileWithNames(""));
  EXPECT_EQ(Names(*source), (std::vector<std::string>{"income", "age", "city"}));
  EXPECT_FALSE(source->Header().long_names);
  EXPECT_TRUE(source->NameTable().empty());
}

TEST(LongNamesTest, TrailingTabEndsTheWalkAndRestoredNamesAreRepaired) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"AGE=Age\t", {"INCOME", "Age", "CITY"}},
      // A duplicate (regardless of case) and an invalid first character.
      {"INCOME=city\tAGE=_age", {"city", "v1", "v2"}},
  };
  for (const auto& [text, names] : cases) {
    EXPECT_EQ(Names(*OpenBytes(FileWithNames(text))), names) << text;
  }
}

TEST(LongNamesTest, DamagedTextsAreStructureErrors) {
  const std::pair<const char*, int32_t> damaged[] = {
      {"INCOME=income\tAGE", 1},     {"INCOME", 1},
      {"\tINCOME=income", 1},        {"INCOME=income\t\t", 1},
      {"INCOME=in=come", 1},         {"INCOME=income\tAGE=a=", 1},
      {"INCOME=x", 2}};
  for (const auto& [text, unit_size] : damaged) {
    EXPECT_EQ(testing::OpenError(FileWithNames(text, unit_size)),
              kErrBadStructure)
        << text;
  }
}

}  // namespace
}  // namespace vexa
