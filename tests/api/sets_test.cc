// Multiple-response set and variable set calls: the text form handed out
// and taken in, definition records, the refusals, and the sets after write,
// read, copy and read.
#include <gtest/gtest.h>

#include <string>

#include "api/api_fixture.h"

namespace vexa::testing {
namespace {

std::string Text(int code, char* text, int (*release)(char*)) {
  std::string out = std::to_string(code) + ":" + (text ? text : "");
  release(text);
  return out;
}

std::string Defs(int h, bool ex) {
  char* text = nullptr;
  const int code = ex ? vexaGetMultRespDefsEx(h, &text) : vexaGetMultRespDefs(h, &text);
  return Text(code, text, vexaFreeMultRespDefs);
}

std::string VarSets(int h) {
  char* text = nullptr;
  const int code = vexaGetVariableSets(h, &text);
  return Text(code, text, vexaFreeVariableSets);
}

using SetCallsTest = WriteHandleTest;

TEST_F(SetCallsTest, AddGetRefuse) {
  const int h = handle_;
  for (const char* v : {"a", "b"}) ASSERT_EQ(vexaSetVarName(h, v, 0), VEXA_OK);
  ASSERT_EQ(vexaSetVarName(h, "s", 4), VEXA_OK);
  const char* nums[] = {"a", "b"};
  const char* mixed[] = {"a", "s"};
  EXPECT_EQ(Defs(h, true), "-13:");
  EXPECT_EQ(vexaAddMultRespDefN(h, "$ext", "", 1, 1, nums, 2), VEXA_OK);
  VEXA_MultRespDef* def = nullptr;
  ASSERT_EQ(vexaGetMultRespDefByIndex(h, 0, &def), VEXA_OK);
  def->extended = 1;
  def->labelFromVariables = 1;
  std::strcpy(def->name, "$ext2");
  EXPECT_EQ(vexaAddMultRespDefExt(h, def), VEXA_OK);
  EXPECT_EQ(vexaFreeMultRespDefStruct(def), VEXA_OK);
  ASSERT_EQ(vexaSetMultRespDefs(h, "$ext=E 1 1 1 0  A\n"), VEXA_E_BAD_MULT_RESP);
  EXPECT_EQ(Defs(h, false), "0:$ext=D1 1 0  a b\n");
  EXPECT_EQ(Defs(h, true), "0:$ext=D1 1 0  a b\n$ext2=E 11 1 1 0  a b\n");

  struct {
    const char* name;
    int dichotomy;
    const char* counted;
    const char** vars;
    int count;
    int code;
  } adds[] = {
      {"ext", 1, "x", nums, 2, VEXA_E_BAD_MULT_RESP_NAME},
      {"$ext", 1, "x", nums, 2, VEXA_E_DUPLICATE_MULT_RESP},
      {"$t", 1, "", nums, 2, VEXA_E_BAD_MULT_RESP},
      {"$t", 1, "x", nums, 2, VEXA_E_BAD_MULT_RESP},  // numeric variables, text value
      {"$t", 0, "", mixed, 2, VEXA_E_BAD_MULT_RESP},
      {"$t", 0, "", nums, 0, VEXA_E_BAD_MULT_RESP},
      {"$t", 0, "", mixed + 1, 1, VEXA_OK},
  };
  for (const auto& a : adds) {
    EXPECT_EQ(vexaAddMultRespDefC(h, a.name, "L", a.dichotomy, a.counted, a.vars, a.count),
              a.code)
        << a.name;
  }
  int count = 0;
  EXPECT_EQ(vexaGetMultRespCount(h, &count), VEXA_OK);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(vexaGetMultRespDefByIndex(h, 3, &def), VEXA_E_BAD_MULT_RESP_INDEX);
  EXPECT_EQ(def, nullptr);

  EXPECT_EQ(VarSets(h), "-7:");
  EXPECT_EQ(vexaSetVariableSets(h, "$x= a\n"), VEXA_E_BAD_VARIABLE_SETS);
  EXPECT_EQ(vexaSetVariableSets(h, "Both= a b\nnone=\n"), VEXA_E_BAD_VARIABLE_SETS);
  EXPECT_EQ(vexaSetVariableSets(h, "Both= a b\nOne= s"), VEXA_OK);
  EXPECT_EQ(VarSets(h), "0:Both= a b\nOne= s\n");
}

TEST_F(SetCallsTest, SurviveWriteReadCopyRead) {
  const int h = handle_;
  for (const char* v : {"Apple", "Pear"}) ASSERT_EQ(vexaSetVarName(h, v, 0), VEXA_OK);
  ASSERT_EQ(vexaSetMultRespDefs(h, "$fruit=C 5 Fruit Apple Pear\n$d=D1 1 3 Yes Pear\n"),
            VEXA_OK);
  const char* vars[] = {"Pear", "Apple"};
  ASSERT_EQ(vexaAddMultRespDefN(h, "$e", "Extended", 1, 7, vars, 2), VEXA_OK);
  ASSERT_EQ(vexaSetVariableSets(h, "Fruits= Apple Pear\n"), VEXA_OK);
  for (const std::string& path : CommitAndCopy()) {
    int r = -1;
    ASSERT_EQ(vexaOpenRead(path.c_str(), &r), VEXA_OK);
    // The plain record names short names, and the long names come back.
    EXPECT_EQ(Defs(r, true),
              "0:$fruit=C 5 Fruit Apple Pear\n$d=D1 1 3 Yes Pear\n"
              "$e=D1 7 8 Extended Pear Apple\n");
    EXPECT_EQ(VarSets(r), "0:Fruits= Apple Pear\n");
    EXPECT_EQ(vexaCloseRead(r), VEXA_OK);
  }
}

}  // namespace
}  // namespace vexa::testing
