// Attribute, multiple-response set and variable set calls: the text forms
// handed out and taken in, the name rules and the refusals; then every role,
// a measurement level of 5 and a subscripted attribute after write, read,
// copy and read (sets and attributes in every form of file are the
// combination test's).
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "api/api_fixture.h"

namespace vexa::testing {
namespace {

using SetsAndAttributesTest = WriteHandleTest;

TEST_F(SetsAndAttributesTest, AttributesAndSetsAddedGotAndRefused) {
  const int h = handle_;
  ASSERT_EQ(Each({vexaSetVarName(h, "v", 0), vexaSetVarName(h, "a", 0), vexaSetVarName(h, "b", 0),
                  vexaSetVarName(h, "s", 4)}), VEXA_OK);
  EXPECT_EQ(Attributes(h), "0:");
  const char* names[] = {"Tag[1]", "Tag[3]", "skipped", "One"};
  const char* texts[] = {"a", "c", "", "x"};
  EXPECT_EQ(vexaSetFileAttributes(h, names, texts, 4), VEXA_OK);
  EXPECT_EQ(Attributes(h), "0:Tag[1]=a;Tag[3]=c;One=x;");
  for (int k = 1; k <= 12; ++k)
    EXPECT_EQ(vexaAddVarAttribute(h, "v", "Many", k, std::to_string(k).c_str()), VEXA_OK);
  EXPECT_EQ(Attributes(h, "v").substr(0, 26), "0:Many[01]=1;Many[02]=2;Ma");
  EXPECT_EQ(vexaAddVarAttribute(h, "v", "Many", -1, "only"), VEXA_OK);
  EXPECT_EQ(Attributes(h, "v"), "0:Many=only;");
  const std::tuple<const char*, int, int> adds[] = {  // name, subscript, code
      {"Tag", 0, VEXA_E_BAD_ATTRIBUTE_ARGS}, {"Tag", -2, VEXA_E_BAD_ATTRIBUTE_ARGS},
      {"", -1, VEXA_E_BAD_ATTRIBUTE_ARGS},   {"a_", -1, VEXA_E_BAD_ATTRIBUTE_NAME},
      {"$creationdate", -1, VEXA_OK},          {"$@Role", -1, VEXA_E_BAD_ATTRIBUTE_NAME},
  };
  for (const auto& [name, subscript, code] : adds)
    EXPECT_EQ(vexaAddFileAttribute(h, name, subscript, "v"), code) << name;
  EXPECT_EQ(vexaAddVarAttribute(h, "nope", "Tag", -1, "v"), VEXA_E_VAR_NOT_FOUND);
  EXPECT_EQ(vexaSetFileAttributes(h, names, nullptr, 1), VEXA_E_BAD_ATTRIBUTE_ARGS);
  EXPECT_EQ(vexaSetFileAttributes(h, nullptr, texts, 1), VEXA_E_BAD_ATTRIBUTE_ARGS);
  for (const char* bad : {"Tag[0]", "Tag[2147483647]", "Tag[1]x", "Tag[]", "Tag[-1]"}) {
    const char* one[] = {bad};
    EXPECT_EQ(vexaSetFileAttributes(h, one, texts, 1), VEXA_E_BAD_ATTRIBUTE_NAME) << bad;
  }
  EXPECT_EQ(Attributes(h), "0:Tag[1]=a;Tag[3]=c;One=x;$creationdate=v;");
  EXPECT_EQ(vexaSetFileAttributes(h, nullptr, nullptr, 0), VEXA_OK);  // none: both may be null
  EXPECT_EQ(Attributes(h), "0:");

  // Sets, in their text forms and one by one.
  const char* nums[] = {"a", "b"};
  const char* mixed[] = {"a", "s"};
  EXPECT_EQ(DefsEx(h), "-13:");
  EXPECT_EQ(vexaAddMultRespDefN(h, "$ext", "", 1, 1, nums, 2), VEXA_OK);
  VEXA_MultRespDef* def = nullptr;
  ASSERT_EQ(vexaGetMultRespDefByIndex(h, 0, &def), VEXA_OK);
  // A label from the variables needs an extended set; a name in use is
  // reported first.
  def->labelFromVariables = 1;
  EXPECT_EQ(vexaAddMultRespDefExt(h, def), VEXA_E_DUPLICATE_MULT_RESP);
  std::strcpy(def->name, "$ext2");
  EXPECT_EQ(vexaAddMultRespDefExt(h, def), VEXA_E_BAD_MULT_RESP);
  def->extended = 1;
  EXPECT_EQ(Each({vexaAddMultRespDefExt(h, def), vexaFreeMultRespDefStruct(def)}), VEXA_OK);
  ASSERT_EQ(vexaSetMultRespDefs(h, "$ext=E 1 1 1 0  A\n"), VEXA_E_BAD_MULT_RESP);
  EXPECT_EQ(Defs(h), "0:$ext=D1 1 0  a b\n");
  EXPECT_EQ(DefsEx(h), "0:$ext=D1 1 0  a b\n$ext2=E 11 1 1 0  a b\n");
  // Name, dichotomy, counted value, variables and their count, code.
  const std::tuple<const char*, int, const char*, const char**, int, int> defs[] = {
      {"$ext", 1, "x", nums, 2, VEXA_E_DUPLICATE_MULT_RESP},
      {"$t", 1, "", nums, 2, VEXA_E_BAD_MULT_RESP},
      {"$t", 1, "x", nums, 2, VEXA_E_BAD_MULT_RESP},  // numeric variables, text value
      {"$t", 0, "", mixed, 2, VEXA_E_BAD_MULT_RESP},
      {"$t", 0, "", nums, 0, VEXA_E_BAD_MULT_RESP},
      {"$t", 0, "", mixed + 1, 1, VEXA_OK},
  };
  for (const auto& [name, dichotomy, counted, vars, count, code] : defs)
    EXPECT_EQ(vexaAddMultRespDefC(h, name, "L", dichotomy, counted, vars, count), code) << name;
  RunSteps(h, {STEP(vexaGetMultRespCount(h, &o.i[0]), VEXA_OK, " i0=3")});
  EXPECT_EQ(vexaGetMultRespDefByIndex(h, 3, &def), VEXA_E_BAD_MULT_RESP_INDEX);
  EXPECT_EQ(def, nullptr);
  EXPECT_EQ(Each({vexaGetMultRespDefByIndex(h, 2, &def), vexaFreeMultRespDefStruct(def)}), VEXA_OK);
  EXPECT_EQ(VarSets(h), "-7:");
  EXPECT_EQ(vexaSetVariableSets(h, "Both= a b\nnone=\n"), VEXA_E_BAD_VARIABLE_SETS);
  EXPECT_EQ(vexaSetVariableSets(h, "Both= a b\nOne= s"), VEXA_OK);
  EXPECT_EQ(VarSets(h), "0:Both= a b\nOne= s\n");
  // A set naming no variable is refused (not dropped at the commit).
  EXPECT_EQ(vexaSetVariableSets(h, "Two words= a\n"), VEXA_E_BAD_VARIABLE_SETS);
  EXPECT_EQ(vexaSetMultRespDefs(h, "$t=C 1 L a Aple\n"), VEXA_E_BAD_MULT_RESP);
  EXPECT_EQ(vexaSetVariableSets(h, "Typo= a Aple\n"), VEXA_E_BAD_VARIABLE_SETS);
  EXPECT_EQ(VarSets(h), "0:Both= a b\nOne= s\n");
}

TEST_F(SetsAndAttributesTest, SurviveWriteReadCopyRead) {
  const int h = handle_;
  const int roles[] = {VEXA_ROLE_INPUT,     VEXA_ROLE_TARGET, VEXA_ROLE_BOTH,
                       VEXA_ROLE_NONE,      VEXA_ROLE_PARTITION, VEXA_ROLE_SPLIT,
                       VEXA_ROLE_FREQUENCY, VEXA_ROLE_RECORD_ID};
  for (int role : roles) {
    const std::string name = "r" + std::to_string(role);
    ASSERT_EQ(Each({vexaSetVarName(h, name.c_str(), 0), vexaSetVarRole(h, name.c_str(), role)}),
              VEXA_OK);
  }
  ASSERT_EQ(Each({vexaSetVarName(h, "Apple", 0), vexaSetVarName(h, "Pear", 0),
                  vexaSetVarMeasureLevel(h, "r1", 5), vexaAddVarAttribute(h, "r2", "Note", 2, "it's"),
                  vexaAddFileAttribute(h, "Source", -1, "survey"),
                  // A carriage return before a line feed is part of the separator.
                  vexaSetMultRespDefs(h, "$fruit=C 5 Fruit Apple Pear\r\n$d=D1 1 3 Yes Pear\r\n"),
                  vexaSetVariableSets(h, "Fruits= Apple Pear\r\nOne= Pear\r\n")}), VEXA_OK);
  const char* vars[] = {"Pear", "Apple"};
  // The set records are one line per set: a line feed in a label is left out.
  ASSERT_EQ(vexaAddMultRespDefN(h, "$e", "Exten\nded", 1, 7, vars, 2), VEXA_OK);
  // What the getters show before the commit is what the file holds.
  const std::string sets = "0:$fruit=C 5 Fruit Apple Pear\n$d=D1 1 3 Yes Pear\n"
                           "$e=D1 7 8 Extended Pear Apple\n0:Fruits= Apple Pear\nOne= Pear\n";
  EXPECT_EQ(DefsEx(h) + VarSets(h), sets);
  for (const std::string& path : CommitAndCopy()) {
    SCOPED_TRACE(path);
    int r = -1;
    ASSERT_EQ(vexaOpenRead(path.c_str(), &r), VEXA_OK);
    std::vector<int> got;
    for (int role : roles) {
      int out = -1;
      EXPECT_EQ(vexaGetVarRole(r, ("r" + std::to_string(role)).c_str(), &out), VEXA_OK);
      got.push_back(out);
    }
    // Frequency and record id are read as "none", with their own role kept
    // as an attribute.
    EXPECT_EQ(got, (std::vector<int>{0, 1, 2, 3, 4, 5, 3, 3}));
    EXPECT_EQ(Attributes(r, "r1") + Attributes(r, "r2") + Attributes(r, "r6") + Attributes(r),
              "0:$@MeasurementLevel=5;0:Note[2]=it's;0:$@ExtendRole=6;0:Source=survey;");
    // The plain record names short names, and the long names come back.
    EXPECT_EQ(DefsEx(r) + VarSets(r), sets);
    EXPECT_EQ(vexaSetFileAttributes(r, nullptr, nullptr, 0), VEXA_E_OPENED_FOR_READ);
    EXPECT_EQ(vexaCloseRead(r), VEXA_OK);
  }
}

// Every call that refuses a name for breaking a naming rule says which rule
// in its detail, never the sentence of an unrelated result code (the
// variable names' details are the dictionary test's).
TEST_F(SetsAndAttributesTest, RefusedNamesSayWhichRuleTheyBreak) {
  const int h = handle_;
  ASSERT_EQ(vexaSetVarName(h, "v", 0), VEXA_OK);
  auto add_var = [h](const char* n) { return vexaAddVarAttribute(h, "v", n, -1, "x"); };
  auto add_file = [h](const char* n) { return vexaAddFileAttribute(h, n, -1, "x"); };
  auto set_var = [h](const char* n) {
    const char* texts[] = {"x"};
    return vexaSetVarAttributes(h, "v", &n, texts, 1);
  };
  auto mr_set = [h](const char* n) {
    const char* vars[] = {"v"};
    return vexaAddMultRespDefN(h, n, "", 1, 1, vars, 1);
  };
  auto var_set = [h](const char* n) { return vexaSetVariableSets(h, (std::string(n) + "= v").c_str()); };
  using Call = std::function<int(const char*)>;
  const std::tuple<Call, const char*, int, const char*> cases[] = {
      {add_var, "my col", VEXA_E_BAD_ATTRIBUTE_NAME, "holds a character"},
      {add_var, "Tag.", VEXA_E_BAD_ATTRIBUTE_NAME, "ends with its first \".\""},
      {add_var, "$Foo", VEXA_E_BAD_ATTRIBUTE_NAME, "none of the reserved variable"},
      {add_file, "$ODBC.Name", VEXA_E_BAD_ATTRIBUTE_NAME, "none of the reserved data file"},
      {add_file, "#tmp", VEXA_E_BAD_ATTRIBUTE_NAME, "scratch name"},
      {set_var, "Tag[0]", VEXA_E_BAD_ATTRIBUTE_NAME, "subscript"},
      {set_var, "1st[2]", VEXA_E_BAD_ATTRIBUTE_NAME, "begins with a digit"},
      {mr_set, "$a b", VEXA_E_BAD_MULT_RESP_NAME, "holds a character"},
      {mr_set, "set", VEXA_E_BAD_MULT_RESP_NAME, "does not begin with \"$\""},
      {var_set, "AND", VEXA_E_BAD_VARIABLE_SETS, "reserved word"},
  };
  for (const auto& [call, name, code, why] : cases) {
    EXPECT_EQ(call(name), code) << name;
    const std::string detail = LastErrorDetail();
    EXPECT_NE(detail.find(why), std::string::npos) << name << ": " << detail;
  }
}

}  // namespace
}  // namespace vexa::testing
