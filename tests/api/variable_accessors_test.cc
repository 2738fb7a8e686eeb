// The variable accessors on write handles, where every property can be set.
#include <cstring>
#include <string>

#include "api/api_fixture.h"

namespace vexa::testing {
namespace {

class VariableAccessorsTest : public WriteHandleTest {
 protected:
  void SetUp() override {
    WriteHandleTest::SetUp();
    ASSERT_EQ(vexaSetVarName(handle_, "num", 0), VEXA_OK);
    ASSERT_EQ(vexaSetVarName(handle_, "str", 20), VEXA_OK);
    ASSERT_EQ(vexaSetVarName(handle_, "third", 0), VEXA_OK);
  }
};

// One name for each result; the rules themselves are the name checker's.
TEST(ValidateVarnameTest, GivesOneResultPerRule) {
  const std::pair<const char*, int> cases[] = {
      {"  age  ", VEXA_NAME_OK},   {"   ", VEXA_NAME_BAD_LENGTH},
      {"a b", VEXA_NAME_BAD_CHAR}, {"1abc", VEXA_NAME_BAD_FIRST},
      {"To", VEXA_NAME_RESERVED},  {"#tmp", VEXA_NAME_SCRATCH},
      {"$sys", VEXA_NAME_SYSTEM}};
  for (const auto& [name, expected] : cases) {
    EXPECT_EQ(vexaValidateVarname(name), expected) << "'" << name << "'";
  }
}

TEST_F(VariableAccessorsTest, SetVarNameRefusesBadNamesTypesAndDuplicates) {
  EXPECT_EQ(vexaSetVarName(handle_, "#tmp", 0), VEXA_E_BAD_VAR_NAME);
  EXPECT_EQ(vexaSetVarName(handle_, "$sys", 0), VEXA_E_BAD_VAR_NAME);
  EXPECT_EQ(vexaSetVarName(handle_, "new", 32768), VEXA_E_BAD_VAR_TYPE);
  EXPECT_EQ(vexaSetVarName(handle_, "new", -1), VEXA_E_BAD_VAR_TYPE);
  EXPECT_EQ(vexaSetVarName(handle_, " NUM ", 0), VEXA_E_DUPLICATE_VAR);
  EXPECT_EQ(vexaSetVarName(handle_, "wide", 32767), VEXA_OK);
  int count = 0;
  EXPECT_EQ(vexaGetNumberofVariables(handle_, &count), VEXA_OK);
  EXPECT_EQ(count, 4);
}

TEST_F(VariableAccessorsTest, NamesAreMatchedWithoutCaseOrBlanks) {
  double h = -1;
  EXPECT_EQ(vexaGetVarHandle(handle_, "  THIRD ", &h), VEXA_OK);
  EXPECT_EQ(h, 3.0);
  EXPECT_EQ(vexaGetVarHandle(handle_, "missing", &h), VEXA_E_VAR_NOT_FOUND);
  EXPECT_EQ(h, 0.0);
  char name[VEXA_NAME_BUFFER];
  int type = -1;
  EXPECT_EQ(vexaGetVarInfo(handle_, 1, name, &type), VEXA_OK);
  EXPECT_STREQ(name, "str");
  EXPECT_EQ(type, 20);
  EXPECT_EQ(vexaGetVarInfo(handle_, 3, name, &type), VEXA_E_VAR_NOT_FOUND);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(type, 0);
}

TEST_F(WriteHandleTest, VarNamesOfAnEmptyDictionaryIsAnError) {
  int count = 7;
  char** names = reinterpret_cast<char**>(1);
  int* types = reinterpret_cast<int*>(1);
  EXPECT_EQ(vexaGetVarNames(handle_, &count, &names, &types), VEXA_E_DICTIONARY);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(names, nullptr);
  EXPECT_EQ(types, nullptr);
}

TEST_F(VariableAccessorsTest, LongLabelsAreCutOnWholeCharacters) {
  std::string label(300, 'x');
  EXPECT_EQ(vexaSetVarLabel(handle_, "num", label.c_str()),
            VEXA_W_LABEL_TRUNCATED);
  char buf[512];
  int len = 0;
  EXPECT_EQ(vexaGetVarLabelLong(handle_, "num", buf, sizeof buf, &len), VEXA_OK);
  EXPECT_EQ(len, 256);
  char shortBuf[121];
  EXPECT_EQ(vexaGetVarLabel(handle_, "num", shortBuf), VEXA_OK);
  EXPECT_EQ(std::strlen(shortBuf), 120u);

  // A buffer of 6 bytes keeps 5, and a cut never splits a character.
  ASSERT_EQ(vexaSetVarLabel(handle_, "str", "abcd\xC3\xA9"), VEXA_OK);
  EXPECT_EQ(vexaGetVarLabelLong(handle_, "str", buf, 6, &len), VEXA_OK);
  EXPECT_EQ(len, 4);
  EXPECT_STREQ(buf, "abcd");

  EXPECT_EQ(vexaSetVarLabel(handle_, "str", ""), VEXA_OK);
  EXPECT_EQ(vexaGetVarLabelLong(handle_, "str", buf, sizeof buf, &len),
            VEXA_W_NO_LABEL);
  EXPECT_EQ(len, 0);
  EXPECT_STREQ(buf, "");
}

// The validity rules are the format table's; here, the order of the checks,
// the arguments that do not fit a format, and what the getters give.
TEST_F(VariableAccessorsTest, FormatsAreValidatedAgainstTheVariable) {
  EXPECT_EQ(vexaSetVarPrintFormat(handle_, "str", 1, 0, 19),
            VEXA_E_BAD_PRINT_FORMAT);
  EXPECT_EQ(vexaSetVarWriteFormat(handle_, "num", 6, 0, 9),
            VEXA_E_BAD_WRITE_FORMAT);
  EXPECT_EQ(vexaSetVarPrintFormat(handle_, "absent", 13, 0, 8),
            VEXA_E_BAD_PRINT_FORMAT);
  EXPECT_EQ(vexaSetVarPrintFormat(handle_, "absent", 5, 0, 8),
            VEXA_E_VAR_NOT_FOUND);
  EXPECT_EQ(vexaSetVarPrintFormat(handle_, "num", 5, -1, 8),
            VEXA_E_BAD_PRINT_FORMAT);
  EXPECT_EQ(vexaSetVarPrintFormat(handle_, "num", 5, 0, 65536 + 8),
            VEXA_E_BAD_PRINT_FORMAT);
  EXPECT_EQ(vexaSetVarPrintFormat(handle_, "num", 20, 0, 11), VEXA_OK);
  EXPECT_EQ(vexaSetVarWriteFormat(handle_, "num", 6, 0, 8), VEXA_OK);

  int t, d, w;
  EXPECT_EQ(vexaGetVarPrintFormat(handle_, "num", &t, &d, &w), VEXA_OK);
  EXPECT_EQ(t * 10000 + d * 100 + w, 200011);
  EXPECT_EQ(vexaGetVarWriteFormat(handle_, "num", &t, &d, &w), VEXA_OK);
  EXPECT_EQ(t * 10000 + d * 100 + w, 60008);
  EXPECT_EQ(vexaGetVarPrintFormat(handle_, "absent", &t, &d, &w),
            VEXA_E_VAR_NOT_FOUND);
  EXPECT_EQ(t * 10000 + d * 100 + w, 50208);  // the preset F8.2
}

TEST_F(VariableAccessorsTest, LevelAlignmentWidthAndRoleRules) {
  int v = -1;
  EXPECT_EQ(vexaGetVarMeasureLevel(handle_, "str", &v), VEXA_OK);
  EXPECT_EQ(v, VEXA_MEASURE_NOMINAL);
  EXPECT_EQ(vexaSetVarMeasureLevel(handle_, "str", VEXA_MEASURE_SCALE),
            VEXA_E_BAD_MEASURE_LEVEL);
  EXPECT_EQ(vexaSetVarMeasureLevel(handle_, "num", 6), VEXA_E_BAD_MEASURE_LEVEL);
  EXPECT_EQ(vexaSetVarMeasureLevel(handle_, "num", VEXA_MEASURE_SCALE), VEXA_OK);
  EXPECT_EQ(vexaGetVarMeasureLevel(handle_, "num", &v), VEXA_OK);
  EXPECT_EQ(v, VEXA_MEASURE_SCALE);

  EXPECT_EQ(vexaSetVarAlignment(handle_, "num", VEXA_ALIGN_CENTER), VEXA_OK);
  EXPECT_EQ(vexaSetVarAlignment(handle_, "num", 7), VEXA_OK);
  EXPECT_EQ(vexaGetVarAlignment(handle_, "num", &v), VEXA_OK);
  EXPECT_EQ(v, VEXA_ALIGN_CENTER);

  EXPECT_EQ(vexaSetVarColumnWidth(handle_, "num", 0), VEXA_OK);
  EXPECT_EQ(vexaGetVarColumnWidth(handle_, "num", &v), VEXA_OK);
  EXPECT_EQ(v, 8);
  EXPECT_EQ(vexaSetVarColumnWidth(handle_, "num", 100000), VEXA_OK);
  EXPECT_EQ(vexaGetVarColumnWidth(handle_, "num", &v), VEXA_OK);
  EXPECT_EQ(v, 32767);

  EXPECT_EQ(vexaSetVarRole(handle_, "num", 8), VEXA_E_BAD_ROLE);
  EXPECT_EQ(vexaSetVarRole(handle_, "num", VEXA_ROLE_RECORD_ID), VEXA_OK);
  EXPECT_EQ(vexaGetVarRole(handle_, "num", &v), VEXA_OK);
  EXPECT_EQ(v, VEXA_ROLE_RECORD_ID);
}

TEST_F(VariableAccessorsTest, WeightMustBeNumeric) {
  char name[VEXA_NAME_BUFFER] = "junk";
  EXPECT_EQ(vexaGetCaseWeightVar(handle_, name), VEXA_W_NO_WEIGHT);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(vexaSetCaseWeightVar(handle_, "str"), VEXA_E_NOT_NUMERIC);
  EXPECT_EQ(vexaSetCaseWeightVar(handle_, "absent"), VEXA_E_VAR_NOT_FOUND);
  EXPECT_EQ(vexaSetCaseWeightVar(handle_, "THIRD"), VEXA_OK);
  EXPECT_EQ(vexaGetCaseWeightVar(handle_, name), VEXA_OK);
  EXPECT_STREQ(name, "third");
}

TEST_F(VariableAccessorsTest, CompatNameNeedsTheCommittedDictionary) {
  char shortName[VEXA_COMPAT_NAME_BUFFER] = "junk";
  EXPECT_EQ(vexaGetVarCompatName(handle_, "num", shortName),
            VEXA_E_HEADER_NOT_COMMITTED);
  EXPECT_STREQ(shortName, "");
}

}  // namespace
}  // namespace vexa::testing
