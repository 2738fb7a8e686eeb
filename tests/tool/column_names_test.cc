// Names made from awkward CSV header cells must be accepted by the library
// and unique without regard to case.
#include "column_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "text_util.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

class ColumnNamesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(vexaSetInterfaceEncoding(1), VEXA_OK); }
  void TearDown() override { vexaSetInterfaceEncoding(saved_); }

 private:
  int saved_ = vexaGetInterfaceEncoding();
};

// A name longer than 64 bytes is cut on a whole character.
TEST_F(ColumnNamesTest, RepairsEachKindOfFault) {
  const std::pair<std::string, std::string> cells[] = {
      {"age", "age"},      {"  first name ", "first_name"}, {"1st", "v1st"},
      {"_x", "v_x"},       {".x", "v.x"},   {"#tmp", "v#tmp"}, {"$sys", "v$sys"},
      {"with", "with_"},   {"To", "To_"},   {"income (€)", "income__€_"},
      {"a-b/c", "a_b_c"},  {"   ", "v1"}, {"bad\xFFutf8", "bad_utf8"},
      {std::string(63, 'a') + "\xC3\xA9" + "tail", std::string(63, 'a')}};
  for (const auto& [cell, name] : cells) EXPECT_EQ(MakeVariableName(cell, 1), name) << cell;
  EXPECT_EQ(MakeVariableName("", 4), "v4");
}

TEST_F(ColumnNamesTest, DuplicatesGetSuffixesWithoutRegardToCase) {
  auto names = MakeVariableNames({"Age", "age", "AGE", "age_2", "", "v5", "é", "É"});
  EXPECT_EQ(names, (std::vector<std::string>{"Age", "age_2", "AGE_3", "age_2_2",
                                             "v5", "v5_2", "é", "É_2"}));
  names = MakeVariableNames({std::string(80, 'q'), std::string(80, 'q')});
  EXPECT_EQ(names[1], std::string(62, 'q') + "_2");
  EXPECT_EQ(NameKey(" ça Ω\xFF "), "ÇA Ω\xFF");
  // Many repeats of one name, among names that take suffixes of theirs:
  // each gets the next free suffix.
  std::vector<std::string> many(16000, "x");
  many[5] = "X_3";
  names = MakeVariableNames(many);
  EXPECT_EQ((std::vector{names[5], names[6], names.back()}),
            (std::vector<std::string>{"X_3_2", "x_6", "x_15999"}));
}

// The library has the last word: every name of a hostile header goes into
// one dictionary without a complaint.
TEST_F(ColumnNamesTest, EveryNameOfAHostileHeaderIsAcceptedByTheLibrary) {
  std::vector<std::string> header = {
      "",  "",  "1", "1",   "all", "ALL", "by", "x y", "x_y", "\"", ",",  "é",
      "É", "ǆ", "ǅ", "@at", "a.",  "9.5", "_",  "NOT", "not_", "ok", "ß", "SS",
      std::string(63, 'a') + "\xC3\xA9"};
  testing::TempDir dir;
  int h = -1;
  ASSERT_EQ(vexaOpenWriteU8(dir.File("names.vexa").c_str(), &h), VEXA_OK);
  for (const std::string& n : MakeVariableNames(header)) {
    EXPECT_EQ(vexaSetVarName(h, n.c_str(), 0), VEXA_OK) << n;
  }
  vexaCloseWrite(h);
}

}  // namespace
}  // namespace vexa::tool
