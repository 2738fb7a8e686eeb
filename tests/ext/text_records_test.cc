// Text records: data file attributes (17), variable attributes (18),
// variable sets (5), plain (7) and extended (19) multiple-response sets, as
// written, as read in both byte orders, and when damaged; roles and
// measurement levels that travel as attributes.
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
using testing::OpenError;
using testing::SysFileBuilder;

std::vector<std::string> Lines(const Dictionary& d) {
  std::vector<std::string> out;
  for (const VariableSet& set : d.Meta().sets) out.push_back(SetLine(set, false));
  return out;
}

// One file of attributes and sets: what the golden files and the round
// trips of the attribute and set calls leave out. The plain set records name
// variables by short names and drop names of no variable (the long names
// come back on reading: the set calls' round trip). Roles as attributes:
// the golden files and the attribute calls' round trip.
TEST(TextRecordTest, WrittenTextsReadBack) {
  testing::WriterFile f;
  Dictionary& d = f.Dict();
  for (const char* name : {"Income", "Apple", "LongFruitName", "a", "b"}) f.AddVar(name, 0);
  AttributeSet file;
  file.Set("Origin", {"a'b", "two\nlines"});
  file.Set("Unwritten", {});
  d.SetFileAttributes(file);
  d.MutableAt(0).SetMeasureLevel(5);
  auto& sets = d.MutableMeta().sets;
  sets.push_back({VariableSet::kVariables, 0, "Fruits", "", "", {"Apple", "LongFruitName", "Ghost"}});
  sets.push_back({VariableSet::kCategories, 0, "$fruit", "Fruit", "", {"apple", "longfruitname"}});
  sets.push_back({VariableSet::kCategories, 0, "$gone", "Gone", "", {"Ghost"}});
  sets.push_back({VariableSet::kDichotomies, VariableSet::kLabelFromVariables, "$set", "unused",
                  "1", {"a", "b"}});
  sets.push_back({VariableSet::kDichotomies, 3, "$ext", "", "yes", {"Apple", "b"}});
  sets.push_back({VariableSet::kDichotomies, 1, "$ext2", "Both", "1", {"a"}});
  f.Finish();
  const std::string bytes = f.Bytes();
  EXPECT_NE(bytes.find("Origin('a'b'\n'twolines'\n)"), std::string::npos);
  EXPECT_EQ(bytes.find("Unwritten"), std::string::npos);
  EXPECT_NE(bytes.find("Fruits= APPLE LONGFRUI\n"), std::string::npos);
  EXPECT_NE(bytes.find("$fruit=C 5 Fruit APPLE LONGFRUI\n$set=D1 1 0  A B\n"), std::string::npos);
  EXPECT_NE(bytes.find("$ext=E 11 3 yes 0  Apple b\n$ext2=E 1 1 1 4 Both a\n"),
            std::string::npos);
  EXPECT_EQ(bytes.find("$gone"), std::string::npos);

  EXPECT_EQ(f.Read()->GetDictionary().At(0).MeasureLevel(), 1);  // 5 is read as nominal
}

// (short name, text of record 18): variables A, B and #X (renamed when read);
// some of the files carry data file attributes too (record 17).
struct Case18 {
  const char* what;
  int32_t unit_size;
  std::string text;
  long error;
  std::vector<std::string> a_tag;  // A's "Tag" values, empty when absent
  int b_role;
  std::vector<std::string> repaired_tag;  // of #X, read as v1
  std::string file_text = "";  // record 17, none when empty
  std::vector<std::string> file_names = {};  // the file attributes read
};

class TextRecordReadTest : public ::testing::TestWithParam<bool> {};

TEST_P(TextRecordReadTest, AttributeDamageTable) {
  const Case18 cases[] = {
      {"well formed", 1, "A:Tag('1'\n)/B:$@Role('4'\n)", 0, {"1"}, 4, {},
       "$VariableView('1'\n)$VariableView2('old'\n)Keep('k'\n)", {"Keep", "$VariableView2"}},
      {"unit size 2", 2, "A:Tag('1'\n)/B", 1204, {}, 0, {}},
      {"no closing parenthesis", 1, "A:Tag('1'\n", 0, {}, 0, {}, "Keep('k'\n)Broken('x'", {}},
      {"unquoted value: the next name is lost", 1, "A:Tag(1\n)/B:$@Role('1'\n)", 0, {}, 0, {}},
      {"unknown variable skipped", 1, "Z:Tag('1'\n)/A:Tag('2'\n)", 0, {"2"}, 0, {},
       "Keep('k'\n)/ignored", {"Keep"}},
      {"empty name", 1, ":Tag('1'\n)", 0, {}, 0, {}},
      {"invalid attribute name dropped", 1, "A:1x('1'\n)Tag('3'\n)", 0, {"3"}, 0, {}},
      {"renamed variable keeps them", 1, "#X:Tag('r'\n)", 0, {}, 0, {"r"}},
      {"measurement level stays", 1, "B:$@MeasurementLevel('4'\n)", 0, {}, 0, {}},
  };
  for (const Case18& c : cases) {
    SysFileBuilder b(GetParam());
    b.Header().NumericVar("A").NumericVar("B").NumericVar("#X");
    if (!c.file_text.empty()) b.Extension(17, c.file_text);
    const std::string bytes = b.Extension(18, c.text, c.unit_size).End().Bytes();
    if (c.error != 0) {
      EXPECT_EQ(OpenError(bytes), c.error) << c.what;
      continue;
    }
    const auto source = OpenBytes(bytes);
    const Dictionary& d = source->GetDictionary();
    const Attribute* tag = d.At(0).Attributes().Find("TAG");
    EXPECT_EQ(tag ? tag->values : std::vector<std::string>{}, c.a_tag) << c.what;
    EXPECT_EQ(d.At(1).Role(), c.b_role) << c.what;
    const Attribute* repaired = d.At(2).Attributes().Find("Tag");
    EXPECT_EQ(repaired ? repaired->values : std::vector<std::string>{}, c.repaired_tag)
        << c.what;
    std::vector<std::string> names;
    for (const Attribute& a : d.FileAttributes().List()) names.push_back(a.name);
    EXPECT_EQ(names, c.file_names) << c.what;
  }
}


// Every line that breaks the grammar is skipped; the others are kept.
TEST_P(TextRecordReadTest, BadSetLinesAreSkippedOneByOne) {
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
  // A name of no variable stays as the file has it.
  const std::string variable_sets = "vs= A B #X GHOST\n=x\n";
  SysFileBuilder b(GetParam());
  b.Header().NumericVar("A").NumericVar("B").NumericVar("#X");  // #X is read as v1
  b.Extension(5, variable_sets).Extension(7, plain).Extension(19, extended);
  const auto source = OpenBytes(b.End().Bytes());
  EXPECT_EQ(Lines(source->GetDictionary()),
            (std::vector<std::string>{"vs= A B v1 GHOST\n", "$good=C 3 new B\n", "$nodollar=D1 1 0  A\n",
                                      "$e=E 1 1 1 0  A\n"}));
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, TextRecordReadTest, ::testing::Bool());

}  // namespace
}  // namespace vexa
