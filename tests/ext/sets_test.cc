// Set records: variable sets (5), plain (7) and extended (19) multiple-
// response sets as written, read back in both byte orders, and read from
// lines that break the grammar one by one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dict/set_lines.h"
#include "support/open_bytes.h"
#include "support/sysfile_builder.h"
#include "sysfile/test_files.h"

namespace vexa {
namespace {

using testing::OpenBytes;
using testing::SysFileBuilder;

std::vector<std::string> Lines(const Dictionary& d) {
  std::vector<std::string> out;
  for (const VariableSet& set : d.Meta().sets) out.push_back(SetLine(set, false));
  return out;
}

// The plain records name variables by short names and drop names of no
// variable; the long names record restores the names on reading.
TEST(SetRecordTest, WrittenLinesReadBack) {
  testing::WriterFile f;
  for (const char* name : {"Apple", "LongFruitName", "a", "b"}) f.AddVar(name, 0);
  auto& sets = f.Dict().MutableMeta().sets;
  sets.push_back({VariableSet::kVariables, 0, "Fruits", "", "", {"Apple", "LongFruitName", "Ghost"}});
  sets.push_back({VariableSet::kCategories, 0, "$fruit", "Fruit", "", {"apple", "longfruitname"}});
  sets.push_back({VariableSet::kCategories, 0, "$gone", "Gone", "", {"Ghost"}});
  sets.push_back({VariableSet::kDichotomies, VariableSet::kLabelFromVariables, "$set", "unused",
                  "1", {"a", "b"}});
  sets.push_back({VariableSet::kDichotomies, 3, "$ext", "", "yes", {"Apple", "b"}});
  sets.push_back({VariableSet::kDichotomies, 1, "$ext2", "Both", "1", {"a"}});
  f.Writer().CommitHeader();
  f.Finish();
  const std::string bytes = f.Bytes();
  EXPECT_NE(bytes.find("Fruits= APPLE LONGFRUI\n"), std::string::npos);
  EXPECT_NE(bytes.find("$fruit=C 5 Fruit APPLE LONGFRUI\n$set=D1 1 0  A B\n"), std::string::npos);
  EXPECT_NE(bytes.find("$ext=E 11 3 yes 0  Apple b\n$ext2=E 1 1 1 4 Both a\n"),
            std::string::npos);
  EXPECT_EQ(bytes.find("$gone"), std::string::npos);

  const auto back = f.Read();
  EXPECT_EQ(Lines(back->GetDictionary()),
            (std::vector<std::string>{"Fruits= Apple LongFruitName\n",
                                      "$fruit=C 5 Fruit Apple LongFruitName\n",
                                      "$set=D1 1 0  a b\n", "$ext=E 11 3 yes 0  Apple b\n",
                                      "$ext2=E 1 1 1 4 Both a\n"}));
}

class SetLinesReadTest : public ::testing::TestWithParam<bool> {};

// Every line that breaks the grammar is skipped; the others are kept.
TEST_P(SetLinesReadTest, BadLinesAreSkippedOneByOne) {
  const std::string plain =
      "$good=C 2 ok A B\r\n"
      "nodollar=D1 1 0  A\n"
      "$badtype=X 2 ok A\n"
      "$nospace=C2 ok A\n"
      "$toolong=C 99 ok A\n"
      "$zerolabel=C 00  A\n"
      "$zerovalue=D0  2 ok A\n"
      "x\n"
      "$good=C 3 new B\n";
  const std::string extended = "$e=E 1 1 1 0 A\n$f=E1 1 1 0  A\n";
  const std::string variable_sets = "vs= A B #X\n=x\n";
  SysFileBuilder b(GetParam());
  b.Header().NumericVar("A").NumericVar("B").NumericVar("#X");  // #X is read as v1
  b.Extension(5, 1, static_cast<int32_t>(variable_sets.size()), variable_sets);
  b.Extension(7, 1, static_cast<int32_t>(plain.size()), plain);
  b.Extension(19, 1, static_cast<int32_t>(extended.size()), extended);
  const auto source = OpenBytes(b.End().Bytes());
  EXPECT_EQ(Lines(source->GetDictionary()),
            (std::vector<std::string>{"vs= A B v1\n", "$good=C 3 new B\n", "$nodollar=D1 1 0  A\n",
                                      "$e=E 1 1 1 0  A\n"}));
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, SetLinesReadTest, ::testing::Bool());

}  // namespace
}  // namespace vexa
