#include "layout/short_names.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/errors.h"
#include "text/text_test_util.h"

namespace vexa {
namespace {

std::vector<std::string> ShortNames(const std::vector<std::string>& names) {
  Dictionary dict;
  for (const auto& name : names) {
    VEXA_Variable var(0);
    var.SetName(name);
    dict.Add(var);
  }
  std::vector<std::string> out;
  for (const auto& [name, short_name] : BuildNameMap(dict)) {
    out.push_back(short_name);
  }
  return out;
}

TEST(ShortNameTest, FollowsTheRules) {
  const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
      {{"income", "Age"}, {"INCOME", "AGE"}},
      // A cut that collides falls back to V<position>_<suffix>.
      {{"LongVariableOne", "LongVariableTwo"}, {"LONGVARI", "V2_A"}},
      // Short names come first: the cut of the first long name is taken.
      {{"LongVariableOne", "LONGVARI"}, {"V1_A", "LONGVARI"}},
      {{"abcdefg._x", "abcdef__zz"}, {"ABCDEFG", "ABCDEF"}},
      // The formed name is taken already: the next suffix.
      {{"V3_A", "x", "LongVariableOne", "LongVariableTwo"}, {"V3_A", "X", "LONGVARI", "V4_A"}},
      {{"LongVariableOne", "LongVariableTwo", "V2_A"}, {"LONGVARI", "V2_B", "V2_A"}}};
  for (const auto& [names, short_names] : cases) {
    EXPECT_EQ(ShortNames(names), short_names) << names[0];
  }
}

TEST(ShortNameTest, CutsOnWholeCharactersInUtf8) {
  text::testing::ScopedInterfaceMode utf8(text::InterfaceMode::kUtf8);
  // "é" takes bytes 8 and 9: the cut keeps 7 bytes.
  EXPECT_EQ(ShortNames({"abcdefg\xc3\xa9xyz"}),
            std::vector<std::string>{"ABCDEFG"});
  EXPECT_EQ(SegmentStem("ABCD\xc3\x89XYZ"), "ABCD");
  EXPECT_EQ(SegmentStem("ABC\xc3\x89XYZ"), "ABC\xc3\x89");
}

TEST(ShortNameTest, Counters) {
  const std::pair<uint64_t, const char*> base26[] = {
      {0, "A"}, {25, "Z"}, {26, "AA"}, {27, "AB"}, {701, "ZZ"}, {702, "AAA"}};
  for (const auto& [n, text] : base26) EXPECT_EQ(BijectiveBase26(n), text) << n;
  const std::pair<uint64_t, const char*> base36[] = {
      {0, "0"}, {9, "9"}, {10, "A"}, {35, "Z"}, {36, "10"}, {1295, "ZZ"}};
  for (const auto& [n, text] : base36) EXPECT_EQ(Base36(n), text) << n;
}

}  // namespace
}  // namespace vexa
