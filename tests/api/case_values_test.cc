// Reading cases and their values through the C API, and building a case on a
// write handle.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "api/api_fixture.h"
#include "support/sample_file.h"
#include "support/sysfile_builder.h"

namespace vexa::testing {
namespace {

class SampleCasesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.Write("sample.vexa", BuildSampleFile());
    ASSERT_EQ(vexaOpenRead(path_.c_str(), &h_), VEXA_OK);
  }
  void TearDown() override { vexaCloseRead(h_); }

  double Var(const char* name) {
    double vh = 0;
    EXPECT_EQ(vexaGetVarHandle(h_, name, &vh), VEXA_OK);
    return vh;
  }
  double Number(const char* name) {
    double v = 0;
    EXPECT_EQ(vexaGetValueNumeric(h_, Var(name), &v), VEXA_OK);
    return v;
  }

  TempDir dir_;
  std::string path_;
  int h_ = -1;
};

TEST_F(SampleCasesTest, ReadsEveryCaseThenEndOfDataForGood) {
  double v = 1;
  EXPECT_EQ(vexaGetValueNumeric(h_, Var("id"), &v), VEXA_E_NO_CURRENT_CASE);
  EXPECT_EQ(v, 0.0);
  for (int i = 1; i <= kSampleCases; ++i) {
    ASSERT_EQ(vexaReadCaseRecord(h_), VEXA_OK);
    EXPECT_EQ(Number("id"), i);
  }
  EXPECT_EQ(vexaReadCaseRecord(h_), VEXA_W_END_OF_DATA);
  EXPECT_EQ(vexaReadCaseRecord(h_), VEXA_W_END_OF_DATA);
  EXPECT_EQ(vexaSeekNextCase(h_, 0), VEXA_OK);
  ASSERT_EQ(vexaReadCaseRecord(h_), VEXA_OK);
  EXPECT_EQ(Number("id"), 1.0);
}

TEST_F(SampleCasesTest, StringValuesKeepTheirBlanksAndNeedRoomForTheNul) {
  ASSERT_EQ(vexaSeekNextCase(h_, 1), VEXA_OK);
  ASSERT_EQ(vexaReadCaseRecord(h_), VEXA_OK);
  char buf[32];
  EXPECT_EQ(vexaGetValueChar(h_, Var("region"), buf, 8), VEXA_E_BUFFER_TOO_SHORT);
  EXPECT_EQ(vexaGetValueChar(h_, Var("region"), buf, 9), VEXA_OK);
  EXPECT_STREQ(buf, "S       ");
  EXPECT_EQ(vexaGetValueChar(h_, Var("city"), buf, sizeof buf), VEXA_OK);
  EXPECT_STREQ(buf, "Brighton and Hove   ");
  EXPECT_EQ(vexaGetValueChar(h_, Var("id"), buf, sizeof buf), VEXA_E_WRONG_TYPE);
  double v;
  EXPECT_EQ(vexaGetValueNumeric(h_, Var("city"), &v), VEXA_E_NOT_NUMERIC);
}

TEST_F(SampleCasesTest, VariableHandlesOutsideTheDictionaryAreRefused) {
  ASSERT_EQ(vexaReadCaseRecord(h_), VEXA_OK);
  double v;
  for (double bad : {0.0, -1.0, 10.0, 1e300, std::nan("")}) {
    EXPECT_EQ(vexaGetValueNumeric(h_, bad, &v), VEXA_E_BAD_VAR_HANDLE) << bad;
  }
  EXPECT_EQ(vexaGetValueNumeric(h_, 1.9, &v), VEXA_OK);  // truncated to 1
  EXPECT_EQ(v, 1.0);
}

TEST_F(SampleCasesTest, CountsAndWholeCaseInWhichLeavesNoCurrentCase) {
  int n = 0;
  EXPECT_EQ(vexaGetNumberofCases(h_, &n), VEXA_OK);
  EXPECT_EQ(n, kSampleCases);
  EXPECT_EQ(vexaGetEstimatedNofCases(h_, &n), VEXA_OK);
  EXPECT_EQ(n, kSampleCases);
  ASSERT_EQ(vexaGetCaseSize(h_, &n), VEXA_OK);
  ASSERT_EQ(n, kSampleSlots * 8);
  std::vector<double> record(kSampleSlots);
  ASSERT_EQ(vexaSeekNextCase(h_, 3), VEXA_OK);
  ASSERT_EQ(vexaWholeCaseIn(h_, record.data()), VEXA_OK);
  EXPECT_EQ(record[0], 4.0);  // id
  EXPECT_EQ(std::memcmp(&record[1], "W       ", 8), 0);
  double v;
  EXPECT_EQ(vexaGetValueNumeric(h_, Var("id"), &v), VEXA_E_NO_CURRENT_CASE);
  EXPECT_EQ(vexaWholeCaseIn(h_, record.data()), VEXA_W_END_OF_DATA);
  EXPECT_EQ(vexaSetValueNumeric(h_, 1.0, 2.0), VEXA_E_OPENED_FOR_READ);
}

TEST(SpecialValuesTest, SysmisLowestAndHighest) {
  double sysmis = 0, low = 0, high = 0;
  EXPECT_EQ(vexaHostSysmisVal(&sysmis), VEXA_OK);
  EXPECT_EQ(vexaLowHighVal(&low, &high), VEXA_OK);
  EXPECT_EQ(sysmis, -1.7976931348623157e308);
  EXPECT_EQ(vexaSysmisVal(), sysmis);
  EXPECT_EQ(low, -1.7976931348623155e308);
  EXPECT_EQ(high, 1.7976931348623157e308);
}

TEST(CaseReadingDamageTest, DataCutInsideACaseGivesTheReadError) {
  std::string file = SysFileBuilder().Header({.case_count = 2}).NumericVar("a")
                         .NumericVar("b").End().CaseNumber(1).CaseNumber(2)
                         .CaseNumber(3).Bytes();
  TempDir dir;
  int h = -1;
  ASSERT_EQ(vexaOpenRead(dir.Write("cut.vexa", file).c_str(), &h), VEXA_OK);
  EXPECT_EQ(vexaReadCaseRecord(h), VEXA_OK);
  EXPECT_EQ(vexaReadCaseRecord(h), VEXA_E_FILE_READ);
  vexaCloseRead(h);
}

class CaseBuildingTest : public WriteHandleTest {};

TEST_F(CaseBuildingTest, ValuesAreCheckedAgainstTheirVariable) {
  ASSERT_EQ(vexaSetVarName(handle_, "n", 0), VEXA_OK);
  ASSERT_EQ(vexaSetVarName(handle_, "s", 8), VEXA_OK);
  EXPECT_EQ(vexaSetValueNumeric(handle_, 1.0, 2.0), VEXA_E_HEADER_NOT_COMMITTED);
  ASSERT_EQ(vexaCommitHeader(handle_), VEXA_OK);
  const std::pair<int, int> cases[] = {
      {vexaSetValueChar(handle_, 2.0, "12345678"), VEXA_OK},
      {vexaSetValueChar(handle_, 2.0, "123456789"), VEXA_E_VALUE_TOO_LONG},
      {vexaSetValueChar(handle_, 1.0, "x"), VEXA_E_WRONG_TYPE},
      {vexaSetValueNumeric(handle_, 2.0, 1.0), VEXA_E_WRONG_TYPE},
      {vexaSetValueNumeric(handle_, 0.0, 1.0), VEXA_E_BAD_VAR_HANDLE},
      {vexaSetValueNumeric(handle_, 1.0, 7.5), VEXA_OK},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
  }
  int n_cases = 0;
  EXPECT_EQ(vexaGetNumberofCases(handle_, &n_cases), VEXA_E_OPENED_FOR_WRITE);
  EXPECT_EQ(n_cases, -1);
}

}  // namespace
}  // namespace vexa::testing
