// Missing value calls: the allowed counts and ranges, the type checks, string
// values cut and padded to 8 bytes, and the values read from a file.
#include <string>
#include <vector>

#include "api/api_fixture.h"
#include "support/sample_file.h"

namespace vexa::testing {
namespace {

using Numbers = std::vector<double>;
using Texts = std::vector<std::string>;

// Result code, count and the three values of a getter, for whole-state
// comparisons.
Numbers GetN(int h, const char* var) {
  int count = 99;
  double v[3] = {-1, -1, -1};
  int code = vexaGetVarNMissingValues(h, var, &count, &v[0], &v[1], &v[2]);
  return {double(code), double(count), v[0], v[1], v[2]};
}
Texts GetC(int h, const char* var) {
  int count = 99;
  char v[3][9];
  int code = vexaGetVarCMissingValues(h, var, &count, v[0], v[1], v[2]);
  return {std::to_string(code), std::to_string(count), v[0], v[1], v[2]};
}

struct NumericCase {
  int count;
  double v1, v2, v3;
  int expected;
  Numbers after;  // code of the getter, count and values after the call
};

class NumericMissingTest : public WriteHandleTest,
                           public ::testing::WithParamInterface<NumericCase> {};

TEST_P(NumericMissingTest, StoresValidSetsAndKeepsTheOldOnesOtherwise) {
  const NumericCase& c = GetParam();
  ASSERT_EQ(vexaSetVarName(handle_, "num", 0), VEXA_OK);
  ASSERT_EQ(vexaSetVarNMissingValues(handle_, "num", 1, 42, 0, 0), VEXA_OK);
  EXPECT_EQ(vexaSetVarNMissingValues(handle_, "num", c.count, c.v1, c.v2, c.v3),
            c.expected);
  EXPECT_EQ(GetN(handle_, "num"), c.after);
}

constexpr int kBad = VEXA_E_BAD_MISSING_VALUES;
const Numbers kOld = {0, 1, 42, 0, 0};
INSTANTIATE_TEST_SUITE_P(
    Counts, NumericMissingTest,
    ::testing::Values(NumericCase{-1, 1, 2, 3, kBad, kOld},
                      NumericCase{4, 1, 2, 3, kBad, kOld},
                      NumericCase{-4, 1, 2, 3, kBad, kOld},
                      NumericCase{-2, 5, 1, 0, kBad, kOld},
                      NumericCase{-3, 5, 1, 9, kBad, kOld},
                      NumericCase{-3, 1, 5, 9, VEXA_OK, {0, -3, 1, 5, 9}},
                      NumericCase{-2, 1, 1, 9, VEXA_OK, {0, -2, 1, 1, 0}},
                      NumericCase{3, 7, 8, 9, VEXA_OK, {0, 3, 7, 8, 9}},
                      NumericCase{1, 7, 8, 9, VEXA_OK, {0, 1, 7, 0, 0}},
                      NumericCase{0, 7, 8, 9, VEXA_OK, {0, 0, 0, 0, 0}}));

class MissingValuesTest : public WriteHandleTest {
 protected:
  void SetUp() override {
    WriteHandleTest::SetUp();
    vexaSetVarName(handle_, "num", 0);
    vexaSetVarName(handle_, "s4", 4);
    vexaSetVarName(handle_, "s12", 12);
  }
};

TEST_F(MissingValuesTest, NameCountAndTypeAreCheckedInThatOrder) {
  const char* a = "a";
  EXPECT_EQ(vexaSetVarNMissingValues(handle_, "nope", 9, 0, 0, 0),
            VEXA_E_VAR_NOT_FOUND);
  EXPECT_EQ(vexaSetVarNMissingValues(handle_, "s4", 4, 0, 0, 0),
            VEXA_E_BAD_MISSING_VALUES);
  EXPECT_EQ(vexaSetVarNMissingValues(handle_, "s4", 1, 0, 0, 0),
            VEXA_E_NOT_NUMERIC);
  EXPECT_EQ(vexaSetVarCMissingValues(handle_, "num", 4, a, a, a),
            VEXA_E_BAD_MISSING_VALUES);
  EXPECT_EQ(vexaSetVarCMissingValues(handle_, "num", 1, a, a, a),
            VEXA_E_WRONG_TYPE);
  EXPECT_EQ(vexaSetVarCMissingValues(handle_, "s4", -2, a, a, a),
            VEXA_E_BAD_MISSING_VALUES);
  EXPECT_EQ(GetN(handle_, "s4"), (Numbers{VEXA_E_NOT_NUMERIC, 0, 0, 0, 0}));
  EXPECT_EQ(GetC(handle_, "num"), (Texts{"15", "0", "", "", ""}));
  EXPECT_EQ(GetC(handle_, "nope"), (Texts{"12", "0", "", "", ""}));
}

TEST_F(MissingValuesTest, StringValuesAreCutAndPaddedToEightBytes) {
  EXPECT_EQ(vexaSetVarCMissingValues(handle_, "s12", 2, "ABCDEFGHIJKL", "x",
                                     "unused"),
            VEXA_OK);
  EXPECT_EQ(GetC(handle_, "s12"),
            (Texts{"0", "2", "ABCDEFGH", "x       ", ""}));
  // A variable narrower than 8 bytes shows only its own width.
  EXPECT_EQ(vexaSetVarCMissingValues(handle_, "s4", 3, "AB", "", "WXYZ"),
            VEXA_OK);
  EXPECT_EQ(GetC(handle_, "s4"), (Texts{"0", "3", "AB  ", "    ", "WXYZ"}));
  EXPECT_EQ(
      vexaSetVarCMissingValues(handle_, "s4", 0, nullptr, nullptr, nullptr),
      VEXA_OK);
  EXPECT_EQ(GetC(handle_, "s4"), (Texts{"0", "0", "", "", ""}));
}

TEST(MissingValuesReadTest, ValuesComeFromTheFile) {
  TempDir dir;
  int h = -1;
  ASSERT_EQ(vexaOpenRead(dir.Write("s.vexa", BuildSampleFile()).c_str(), &h),
            VEXA_OK);
  EXPECT_EQ(GetN(h, "income"), (Numbers{0, -2, -99999, -1, 0}));
  EXPECT_EQ(GetN(h, "q1"), (Numbers{0, 1, 9, 0, 0}));
  EXPECT_EQ(GetN(h, "q2"), (Numbers{0, -3, 7, 8, 0}));
  EXPECT_EQ(vexaSetVarNMissingValues(h, "q1", 0, 0, 0, 0),
            VEXA_E_OPENED_FOR_READ);
  vexaCloseRead(h);
}

}  // namespace
}  // namespace vexa::testing
