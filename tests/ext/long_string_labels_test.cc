// Value labels of long strings (subtype 21) as read from a file.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ext/ext_test_util.h"
#include "support/sysfile_builder.h"

namespace vexa {
namespace {

using testing::Int32Bytes;
using testing::OpenBytes;
using testing::SysFileBuilder;

using Labels = std::vector<std::pair<std::string, std::string>>;

std::string Entry(std::string_view name, int32_t width, const Labels& labels,
                  bool big) {
  std::string out = Int32Bytes(static_cast<int32_t>(name.size()), big);
  out.append(name);
  out += Int32Bytes(width, big) +
         Int32Bytes(static_cast<int32_t>(labels.size()), big);
  for (const auto& [value, label] : labels) {
    out += Int32Bytes(static_cast<int32_t>(value.size()), big) + value;
    out += Int32Bytes(static_cast<int32_t>(label.size()), big) + label;
  }
  return out;
}

// Strings s (width 20) and t (width 12), a numeric n; subtype 21 as given.
std::string FileWith(const std::string& contents, bool big = false) {
  SysFileBuilder b(big);
  b.Header().StringVar("s", 20).StringVar("t", 12).NumericVar("n");
  b.Extension(21, 1, static_cast<int32_t>(contents.size()), contents);
  return b.End().Bytes();
}

class LongStringLabelsTest : public ::testing::TestWithParam<bool> {};

// Entries for a missing variable or of the wrong width are passed over;
// values up to the full width are kept; names match without regard to case.
TEST_P(LongStringLabelsTest, LabelsAttachByNameAndWidth) {
  const bool big = GetParam();
  const std::string full(20, 'z');
  auto source = OpenBytes(
      FileWith(Entry("s", 12, {{"x", "wrong width"}}, big) +
                   Entry("ghost", 12, {{"x", "no such variable"}}, big) +
                   Entry("S", 20, {{"a", "Apple"}, {full, "Zeds"}}, big),
               big));
  const Dictionary& d = source->GetDictionary();
  EXPECT_FALSE(d.At(1).ValueLabels().IsValid());
  const ValueLabelMap& s = d.At(0).ValueLabels();
  ASSERT_TRUE(s.IsValid());
  EXPECT_EQ(s.Width(), 20);
  ASSERT_EQ(s.Count(), 2);
  EXPECT_EQ(*s.FindText("a"), "Apple");
  EXPECT_EQ(*s.FindText(full), "Zeds");
}

INSTANTIATE_TEST_SUITE_P(BothOrders, LongStringLabelsTest, ::testing::Bool());

std::string I32(int32_t v) { return Int32Bytes(v, false); }
// Name, width and count of an entry for s with `count` labels.
std::string Head(int32_t count) { return I32(1) + "s" + I32(20) + I32(count); }

TEST(LongStringLabelsDamageTest, DamagedEntriesAreStructureErrors) {
  const std::string good = Entry("s", 20, {{"a", "Apple"}}, false);
  const std::pair<const char*, std::string> damaged[] = {
      {"13 bytes left", good + std::string(13, '\0')},
      {"name too long", I32(7) + "s" + I32(20) + I32(0) + "xx"},
      {"negative name length", I32(-4) + std::string(16, '\0')},
      {"no value length", Head(2) + I32(1) + "a" + I32(1) + "A"},
      {"value wider than the map",
       Head(1) + I32(21) + std::string(21, 'v') + I32(0)},
      {"value past the end", Head(1) + I32(12) + "abc"},
      {"negative value length", Head(1) + I32(-8) + I32(0)},
      {"no label length", Head(1) + I32(1) + "a"},
      {"label past the end", Head(1) + I32(1) + "a" + I32(9) + "ab"},
      {"negative label length", Head(1) + I32(1) + "a" + I32(-1)},
      {"huge count, no labels", Head(0x7FFFFFFF) + I32(0) + I32(0)}};
  for (const auto& [what, contents] : damaged) {
    EXPECT_EQ(testing::OpenError(FileWith(contents)), kErrBadStructure) << what;
  }
}

}  // namespace
}  // namespace vexa
