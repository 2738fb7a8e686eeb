// Defining a dictionary on a write handle: names, labels, formats, display
// properties, the weight, missing values and value labels; what each setter
// refuses, and what the getters give back before anything is written.
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>

#include "api/api_fixture.h"

namespace vexa::testing {
namespace {

class DictionaryTest : public WriteHandleTest {
 protected:
  void SetUp() override {
    WriteHandleTest::SetUp();
    for (auto [name, width] : {std::pair{"num", 0}, {"str", 20}, {"third", 0}, {"s4", 4},
                               {"s8", 8}, {"s8b", 8}, {"s10", 10}, {"s12", 12}}) {
      ASSERT_EQ(vexaSetVarName(handle_, name, width), VEXA_OK);
    }
  }
};

// All labels of a variable as "value=label,..." in the order handed out: in
// s0 for a numeric variable, in s1 for a string.
int All(int h, const char* var, Out& o, bool numeric) {
  const int r = numeric ? vexaGetVarNValueLabels(h, var, &o.values, &o.labels, &o.i[0])
                        : vexaGetVarCValueLabels(h, var, &o.texts, &o.labels, &o.i[0]);
  std::string all;
  for (int k = 0; k < o.i[0]; ++k) {
    all += (numeric ? Out::Number(o.values[k]) : o.texts[k]) + "=" + o.labels[k] + ",";
  }
  std::snprintf(o.s[numeric ? 0 : 1], sizeof o.s[0], "%s", all.c_str());
  return r;
}

// One name for each result (the rules themselves are the name checker's),
// and what the detail of vexaSetVarName says about it.
using NameCheckTest = WriteHandleTest;
TEST_F(NameCheckTest, OneResultPerRuleAndADetailThatSaysWhy) {
  const std::string long_name(70, 'a');
  const std::tuple<const char*, int, const char*> cases[] = {
      {"  age  ", VEXA_NAME_OK, ""}, {"   ", VEXA_NAME_BAD_LENGTH, "is empty or longer than 64"},
      {long_name.c_str(), VEXA_NAME_BAD_LENGTH, "longer than 64"},
      {long_name.c_str() + 6, VEXA_NAME_OK, ""},
      {"my col", VEXA_NAME_BAD_CHAR, "holds a character"},
      {"my\tcol\x7F", VEXA_NAME_BAD_CHAR, "\"my\\x09col\\x7F\" holds"},  // shown escaped
      {"1abc", VEXA_NAME_BAD_FIRST, "begins with a digit"},
      {"ALL", VEXA_NAME_RESERVED, "reserved word"}, {"#tmp", VEXA_NAME_SCRATCH, "scratch name"},
      {"$sys", VEXA_NAME_SYSTEM, "system name"}};
  for (const auto& [name, expected, why] : cases) {
    EXPECT_EQ(vexaValidateVarname(name), expected) << name;
    EXPECT_EQ(vexaSetVarName(handle_, name, 0), expected ? VEXA_E_BAD_VAR_NAME : VEXA_OK) << name;
    EXPECT_NE(LastErrorDetail().find(why), std::string::npos) << name;
  }
}

#define PRINT(var) vexaGetVarPrintFormat(h, var, &o.i[0], &o.i[1], &o.i[2])
#define WRITE(var) vexaGetVarWriteFormat(h, var, &o.i[0], &o.i[1], &o.i[2])
#define LEVEL(var) vexaGetVarMeasureLevel(h, var, &o.i[0])
#define WIDTH vexaGetVarColumnWidth(h, "num", &o.i[0])

TEST_F(DictionaryTest, VariablesNamesLabelsTheWeightFormatsAndDisplay) {
  RunSteps(handle_, {
      STEP(vexaSetVarName(h, "new", 32768), VEXA_E_BAD_VAR_TYPE, ""),
      STEP(vexaSetVarName(h, "new", -1), VEXA_E_BAD_VAR_TYPE, ""),
      STEP(vexaSetVarName(h, " NUM ", 0), VEXA_E_DUPLICATE_VAR, ""),
      STEP(vexaSetVarName(h, "wide", 32767), VEXA_OK, ""),
      STEP(vexaGetNumberofVariables(h, &o.i[0]), VEXA_OK, " i0=9"),
      // Names are matched without case or surrounding blanks.
      STEP(vexaGetVarHandle(h, "  THIRD ", &o.d[0]), VEXA_OK, " d0=3"),
      STEP(vexaGetVarInfo(h, 9, o.s[0], &o.i[0]), VEXA_E_VAR_NOT_FOUND, " s0= i0=0"),
      STEP(vexaGetVarInfo(h, 8, o.s[0], &o.i[0]), VEXA_OK, " s0=wide i0=32767"),
      // Labels are kept for 256 bytes, and a cut never splits a character.
      STEP(vexaSetVarLabel(h, "num", std::string(300, 'x').c_str()), VEXA_W_LABEL_TRUNCATED, ""),
      STEP(vexaGetVarLabelLong(h, "num", o.s[0], 300, &o.i[0]), VEXA_OK,
           " s0=" + std::string(256, 'x') + " i0=256"),
      STEP(vexaGetVarLabel(h, "num", o.s[0]), VEXA_OK, " s0=" + std::string(120, 'x')),
      STEP(vexaSetVarLabel(h, "third", std::string(256, 'x').c_str()), VEXA_OK, ""),
      STEP(vexaSetVarLabel(h, "str", "abcd\xC3\xA9"), VEXA_OK, ""),
      STEP(vexaGetVarLabelLong(h, "str", o.s[0], 6, &o.i[0]), VEXA_OK, " s0=abcd i0=4"),
      STEP(vexaSetVarLabel(h, "str", ""), VEXA_OK, ""),
      STEP(vexaGetVarLabelLong(h, "str", o.s[0], 300, &o.i[0]), VEXA_W_NO_LABEL, " s0= i0=0"),
      // The weight must be numeric.
      STEP(vexaGetCaseWeightVar(h, o.s[0]), VEXA_W_NO_WEIGHT, " s0="),
      STEP(vexaSetCaseWeightVar(h, "str"), VEXA_E_NOT_NUMERIC, ""),
      STEP(vexaSetCaseWeightVar(h, "THIRD"), VEXA_OK, ""),
      STEP(vexaGetCaseWeightVar(h, o.s[0]), VEXA_OK, " s0=third"),
      // The validity rules are the format table's; here, the order of the
      // checks, the arguments that do not fit a format, and what the getters
      // give. Then levels, alignments, widths and roles, each call followed
      // by the getter: a refused or ignored value leaves what was there.
      STEP(vexaSetVarPrintFormat(h, "str", 1, 0, 19), VEXA_E_BAD_PRINT_FORMAT, ""),
      STEP(vexaSetVarWriteFormat(h, "num", 6, 0, 9), VEXA_E_BAD_WRITE_FORMAT, ""),
      STEP(vexaSetVarPrintFormat(h, "absent", 5, 0, 8), VEXA_E_VAR_NOT_FOUND, ""),
      STEP(vexaSetVarPrintFormat(h, "num", 5, -1, 8), VEXA_E_BAD_PRINT_FORMAT, ""),
      STEP(vexaSetVarPrintFormat(h, "num", 5, 0, 65536 + 8), VEXA_E_BAD_PRINT_FORMAT, ""),
      STEP(Each({vexaSetVarPrintFormat(h, "num", 20, 0, 11), PRINT("num")}), VEXA_OK,
           " i0=20 i1=0 i2=11"),
      STEP(Each({vexaSetVarWriteFormat(h, "num", 6, 0, 8), WRITE("num")}), VEXA_OK,
           " i0=6 i1=0 i2=8"),
      STEP(PRINT("absent"), VEXA_E_VAR_NOT_FOUND, " i0=5 i1=2 i2=8"),  // the preset F8.2
      STEP(Each({vexaSetVarMeasureLevel(h, "str", VEXA_MEASURE_SCALE), LEVEL("str")}),
           VEXA_E_BAD_MEASURE_LEVEL, " i0=1"),
      STEP(Each({vexaSetVarMeasureLevel(h, "num", 5), LEVEL("num")}), VEXA_OK, " i0=5"),
      STEP(Each({vexaSetVarMeasureLevel(h, "num", 6), LEVEL("num")}), VEXA_E_BAD_MEASURE_LEVEL,
           " i0=5"),
      STEP(Each({vexaSetVarAlignment(h, "num", VEXA_ALIGN_CENTER), vexaSetVarAlignment(h, "num", 7),
                 vexaGetVarAlignment(h, "num", &o.i[0])}),
           VEXA_OK, " i0=2"),
      STEP(Each({vexaSetVarColumnWidth(h, "num", 0), WIDTH}), VEXA_OK, " i0=8"),
      STEP(Each({vexaSetVarColumnWidth(h, "num", 1), WIDTH}), VEXA_OK, " i0=1"),
      STEP(Each({vexaSetVarColumnWidth(h, "num", 100000), WIDTH}), VEXA_OK, " i0=32767"),
      STEP(vexaSetVarRole(h, "num", VEXA_ROLE_RECORD_ID), VEXA_OK, ""),
      STEP(Each({vexaSetVarRole(h, "num", 8), vexaGetVarRole(h, "num", &o.i[0])}),
           VEXA_E_BAD_ROLE, " i0=7"),
  });
}

#define SET_N(count, v1, v2, v3) vexaSetVarNMissingValues(h, "num", count, v1, v2, v3)
#define GET_N(var) vexaGetVarNMissingValues(h, var, &o.i[0], &o.d[0], &o.d[1], &o.d[2])
#define GET_C(var) vexaGetVarCMissingValues(h, var, &o.i[0], o.s[0], o.s[1], o.s[2])

// Each numeric set is followed by the getter: a refused one keeps the value
// 42, values beyond the count are not kept.
#define LABEL_N(var, value) vexaGetVarNValueLabelLong(h, var, value, o.s[0], 200, nullptr)
#define LABEL_C(var, value) vexaGetVarCValueLabelLong(h, var, value, o.s[0], 200, nullptr)

TEST_F(DictionaryTest, MissingValuesAndValueLabels) {
  constexpr int kBad = VEXA_E_BAD_MISSING_VALUES;
  const std::string kOld = " i0=1 d0=42 d1=0 d2=0";
  static const double one = 1, values[] = {2, 1, 2};
  static const char *a[] = {"a"}, *labels[] = {"two", "one", "TWO"}, *texts[] = {"X", "Y"};
  static const char *num_s4[] = {"num", "s4"}, *s4_num[] = {"s4", "num"};
  static const char *num_third[] = {"num", "third"};
  static const char *mixed[] = {"s8", "s10"}, *same[] = {"s8", "s8b"};
  static const std::string l120(120, 'a'), l121(121, 'b');
  static const char* new_labels[] = {"new", l121.c_str()};
  RunSteps(handle_, {
      STEP(SET_N(1, 42, 0, 0), VEXA_OK, ""),
      STEP(Each({SET_N(-1, 1, 2, 3), GET_N("num")}), kBad, kOld),
      STEP(Each({SET_N(4, 1, 2, 3), GET_N("num")}), kBad, kOld),
      STEP(Each({SET_N(-4, 1, 2, 3), GET_N("num")}), kBad, kOld),
      STEP(Each({SET_N(-2, 5, 1, 0), GET_N("num")}), kBad, kOld),
      STEP(Each({SET_N(-3, 1, 5, 9), GET_N("num")}), VEXA_OK, " i0=-3 d0=1 d1=5 d2=9"),
      STEP(Each({SET_N(-2, 1, 1, 9), GET_N("num")}), VEXA_OK, " i0=-2 d0=1 d1=1 d2=0"),
      STEP(Each({SET_N(3, 7, 8, 9), GET_N("num")}), VEXA_OK, " i0=3 d0=7 d1=8 d2=9"),
      STEP(Each({SET_N(0, 7, 8, 9), GET_N("num")}), VEXA_OK, " i0=0 d0=0 d1=0 d2=0"),
      // The count is checked before the type.
      STEP(vexaSetVarNMissingValues(h, "s4", 1, 0, 0, 0), VEXA_E_NOT_NUMERIC, ""),
      STEP(vexaSetVarCMissingValues(h, "num", 4, "a", "a", "a"), kBad, ""),
      STEP(vexaSetVarCMissingValues(h, "num", 1, "a", "a", "a"), VEXA_E_WRONG_TYPE, ""),
      STEP(vexaSetVarCMissingValues(h, "s4", -2, "a", "a", "a"), kBad, ""),
      STEP(GET_N("s4"), VEXA_E_NOT_NUMERIC, " i0=0 d0=0 d1=0 d2=0"),
      STEP(GET_C("num"), VEXA_E_WRONG_TYPE, " s0= i0=0 s1= s2="),
      // Texts are cut or padded to 8 bytes, and shown in the variable's width.
      STEP(Each({vexaSetVarCMissingValues(h, "s12", 2, "ABCDEFGHIJKL", "x", "unused"),
                 GET_C("s12")}),
           VEXA_OK, " s0=ABCDEFGH i0=2 s1=x        s2="),
      STEP(Each({vexaSetVarCMissingValues(h, "s4", 3, "AB", "", "WXYZ"), GET_C("s4")}), VEXA_OK,
           " s0=AB   i0=3 s1=     s2=WXYZ"),
      // The variables are tested in order, the first failure reported.
      STEP(vexaSetVarNValueLabel(h, "nope", 1, "a"), VEXA_E_VAR_NOT_FOUND, ""),
      STEP(vexaSetVarNValueLabel(h, "s4", 1, "a"), VEXA_E_NOT_NUMERIC, ""),
      STEP(vexaSetVarCValueLabel(h, "num", "a", "a"), VEXA_E_WRONG_TYPE, ""),
      STEP(vexaSetVarNValueLabels(h, num_s4, 2, &one, a, 1), VEXA_E_NOT_NUMERIC, ""),
      STEP(vexaSetVarCValueLabels(h, s4_num, 2, a, a, 1), VEXA_E_WRONG_TYPE, ""),
      STEP(vexaGetVarNValueLabels(h, "num", &o.values, &o.labels, &o.i[0]),
           VEXA_W_NO_VALUE_LABELS, " i0=0 values=null labels=null"),
      // A later label replaces an earlier one; long ones are cut to 120 bytes.
      STEP(vexaSetVarNValueLabel(h, "num", 1, "one"), VEXA_OK, ""),
      STEP(vexaSetVarNValueLabel(h, "num", 1, "abc"), VEXA_OK, ""),
      STEP(vexaSetVarNValueLabel(h, "num", 2, l120.c_str()), VEXA_OK, ""),
      STEP(vexaSetVarNValueLabel(h, "num", 3, l121.c_str()), VEXA_W_VALUE_LABEL_TRUNCATED, ""),
      STEP(All(h, "num", o, true), VEXA_OK,
           " s0=1=abc,2=" + l120 + ",3=" + l121.substr(0, 120) + ", i0=3 values=set labels=set"),
      // The getters fill the rest of the buffer with NULs (the short ones'
      // 60 bytes: the getter buffer test).
      STEP(Each({(std::memset(o.s[0], '#', 30), 0),
                 vexaGetVarNValueLabelLong(h, "num", 1, o.s[0], 20, &o.i[0]),
                 std::string(o.s[0], 30) != "abc" + std::string(17, '\0') + std::string(10, '#')}),
           VEXA_OK, " s0=abc i0=3"),
      STEP(vexaGetVarNValueLabelLong(h, "num", 2, o.s[0], 5, &o.i[0]), VEXA_OK, " s0=aaaa i0=4"),
      STEP(vexaGetVarNValueLabelLong(h, "num", 1, o.s[0], 0, &o.i[0]), VEXA_E_BAD_HANDLE, " i0=0"),
      STEP(vexaGetVarNValueLabelLong(h, "num", 1, o.s[0], 1, &o.i[0]), VEXA_OK, " s0= i0=0"),
      // String values are cut to the width and padded with blanks.
      STEP(vexaSetVarCValueLabel(h, "s4", "AB", "ab"), VEXA_OK, ""),
      STEP(vexaSetVarCValueLabel(h, "s4", "WXYZ-more", "wxyz"), VEXA_OK, ""),
      STEP(LABEL_C("s4", "AB      "), VEXA_OK, " s0=ab"),
      STEP(LABEL_C("s4", "A"), VEXA_W_NO_LABEL, " s0="),
      STEP(All(h, "s4", o, false), VEXA_OK, " i0=2 s1=AB  =ab,WXYZ=wxyz, texts=set labels=set"),
      // A set of labels replaces the labels of every variable; a later equal
      // value wins; a change to one variable's labels leaves the other's.
      STEP(vexaSetVarNValueLabel(h, "third", 5, "five"), VEXA_OK, ""),
      STEP(vexaSetVarNValueLabels(h, num_third, 2, values, labels, 3), VEXA_OK, ""),
      STEP(All(h, "third", o, true), VEXA_OK, " s0=1=one,2=TWO, i0=2 values=set labels=set"),
      STEP(vexaSetVarNValueLabel(h, "num", 3, "three"), VEXA_OK, ""),
      STEP(All(h, "third", o, true), VEXA_OK, " s0=1=one,2=TWO, i0=2 values=set labels=set"),
      // String variables sharing a set need one width; otherwise nothing
      // changes.
      STEP(vexaSetVarCValueLabel(h, "s8", "X", "old"), VEXA_OK, ""),
      STEP(vexaSetVarCValueLabels(h, mixed, 2, texts, new_labels, 2), VEXA_E_WIDTH_MISMATCH, ""),
      STEP(LABEL_C("s8", "X"), VEXA_OK, " s0=old"),
      STEP(vexaSetVarCValueLabels(h, same, 2, texts, new_labels, 2),
           VEXA_W_VALUE_LABEL_TRUNCATED, ""),
      STEP(LABEL_C("s8b", "X"), VEXA_OK, " s0=new"),
      // A set of no labels takes them away.
      STEP(vexaSetVarNValueLabels(h, num_third, 2, values, labels, 0), VEXA_OK, ""),
      STEP(LABEL_N("third", 1), VEXA_W_NO_VALUE_LABELS, " s0="),
  });
}

}  // namespace
}  // namespace vexa::testing
