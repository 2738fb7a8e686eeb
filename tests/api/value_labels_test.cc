// Value label calls: which variables qualify, how values and labels are cut
// and padded, sharing of label sets, and the arrays handed out.
#include <map>
#include <string>
#include <vector>

#include "api/api_fixture.h"
#include "support/sample_file.h"
#include "text/text_test_util.h"

namespace vexa::testing {
namespace {

using Labels = std::map<std::string, std::string>;
using Pairs = std::vector<std::pair<double, std::string>>;

class ValueLabelsTest : public WriteHandleTest {
 protected:
  void SetUp() override {
    WriteHandleTest::SetUp();
    for (const char* name : {"num", "num2"}) vexaSetVarName(handle_, name, 0);
    for (auto [name, width] :
         {std::pair{"s4", 4}, {"s8", 8}, {"s8b", 8}, {"s10", 10}}) {
      vexaSetVarName(handle_, name, width);
    }
  }
  // One label through the long getters, or "<code>".
  std::string Get(const char* var, double value, const char* text = nullptr) {
    char buf[200];
    int code = text ? vexaGetVarCValueLabelLong(h(), var, text, buf, 200, 0)
                    : vexaGetVarNValueLabelLong(h(), var, value, buf, 200, 0);
    return code == VEXA_OK ? buf : "<" + std::to_string(code) + ">";
  }
  // All numeric labels in the order handed out.
  Pairs All(const char* var) {
    double* values = nullptr;
    char** labels = nullptr;
    int n = 0;
    Pairs out;
    if (vexaGetVarNValueLabels(h(), var, &values, &labels, &n) != VEXA_OK) {
      return out;
    }
    for (int i = 0; i < n; ++i) out.emplace_back(values[i], labels[i]);
    EXPECT_EQ(vexaFreeVarNValueLabels(values, labels, n), VEXA_OK);
    return out;
  }
  int h() const { return handle_; }
};

TEST_F(ValueLabelsTest, VariablesAreTestedInOrder) {
  const char* a = "a";
  const double one = 1;
  const char* num_s4[] = {"num", "s4"};
  const char* s4_num[] = {"s4", "num"};
  const char* num_nope[] = {"num", "nope"};
  char buf[61];
  const std::pair<int, int> cases[] = {
      {vexaSetVarNValueLabel(h(), "nope", 1, a), VEXA_E_VAR_NOT_FOUND},
      {vexaSetVarNValueLabel(h(), "s4", 1, a), VEXA_E_NOT_NUMERIC},
      {vexaSetVarCValueLabel(h(), "num", a, a), VEXA_E_WRONG_TYPE},
      {vexaGetVarNValueLabel(h(), "s4", 1, buf), VEXA_E_NOT_NUMERIC},
      {vexaGetVarCValueLabel(h(), "num", a, buf), VEXA_E_WRONG_TYPE},
      {vexaGetVarNValueLabel(h(), "num", 1, buf), VEXA_W_NO_VALUE_LABELS},
      {vexaSetVarNValueLabels(h(), num_s4, 2, &one, &a, 1), VEXA_E_NOT_NUMERIC},
      {vexaSetVarCValueLabels(h(), s4_num, 2, &a, &a, 1), VEXA_E_WRONG_TYPE},
      {vexaSetVarNValueLabels(h(), num_nope, 2, &one, &a, 1),
       VEXA_E_VAR_NOT_FOUND},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
  }
  double* values = reinterpret_cast<double*>(&buf);
  char** labels = reinterpret_cast<char**>(&buf);
  int n = 7;
  EXPECT_EQ(vexaGetVarNValueLabels(h(), "num", &values, &labels, &n),
            VEXA_W_NO_VALUE_LABELS);
  EXPECT_TRUE(values == nullptr && labels == nullptr && n == 0);
}

TEST_F(ValueLabelsTest, LaterLabelReplacesAndLongOnesAreCut) {
  EXPECT_EQ(vexaSetVarNValueLabel(h(), "num", 1, "one"), VEXA_OK);
  EXPECT_EQ(vexaSetVarNValueLabel(h(), "num", 1, "uno"), VEXA_OK);
  EXPECT_EQ(All("num"), (Pairs{{1, "uno"}}));
  std::string l120(120, 'a'), l121(121, 'b');
  EXPECT_EQ(vexaSetVarNValueLabel(h(), "num", 2, l120.c_str()), VEXA_OK);
  EXPECT_EQ(vexaSetVarNValueLabel(h(), "num", 3, l121.c_str()),
            VEXA_W_VALUE_LABEL_TRUNCATED);
  EXPECT_EQ(Get("num", 2), l120);
  EXPECT_EQ(Get("num", 3), l121.substr(0, 120));
  // The cut never splits a character.
  text::testing::ScopedInterfaceMode utf8(text::InterfaceMode::kUtf8);
  std::string split = std::string(119, 'c') + "\xC3\xA9";
  EXPECT_EQ(vexaSetVarNValueLabel(h(), "num", 4, split.c_str()),
            VEXA_W_VALUE_LABEL_TRUNCATED);
  EXPECT_EQ(Get("num", 4), std::string(119, 'c'));
}

TEST_F(ValueLabelsTest, GettersFillTheBufferWithNuls) {
  std::string l100(100, 'x');
  ASSERT_EQ(vexaSetVarNValueLabel(h(), "num", 1, l100.c_str()), VEXA_OK);
  ASSERT_EQ(vexaSetVarNValueLabel(h(), "num", 2, "abc"), VEXA_OK);
  char shrt[61];
  EXPECT_EQ(vexaGetVarNValueLabel(h(), "num", 1, shrt), VEXA_OK);
  EXPECT_EQ(std::string(shrt), l100.substr(0, 60));
  std::string buf(30, '#');
  int len = -1;
  EXPECT_EQ(vexaGetVarNValueLabelLong(h(), "num", 2, buf.data(), 20, &len), 0);
  EXPECT_EQ(len, 3);
  EXPECT_EQ(buf, "abc" + std::string(17, '\0') + std::string(10, '#'));
  EXPECT_EQ(vexaGetVarNValueLabelLong(h(), "num", 1, buf.data(), 5, &len), 0);
  EXPECT_EQ(len, 4);
  EXPECT_STREQ(buf.c_str(), "xxxx");
  EXPECT_EQ(vexaGetVarNValueLabelLong(h(), "num", 7, buf.data(), 5, &len),
            VEXA_W_NO_LABEL);
  EXPECT_TRUE(buf[0] == '\0' && len == 0);
  EXPECT_EQ(vexaGetVarNValueLabelLong(h(), "num", 1, buf.data(), 0, &len),
            VEXA_E_BAD_HANDLE);
}

TEST_F(ValueLabelsTest, StringValuesAreCutToTheWidthAndPadded) {
  EXPECT_EQ(vexaSetVarCValueLabel(h(), "s4", "AB", "ab"), VEXA_OK);
  EXPECT_EQ(vexaSetVarCValueLabel(h(), "s4", "WXYZ-more", "wxyz"), VEXA_OK);
  EXPECT_EQ(Get("s4", 0, "AB  "), "ab");
  EXPECT_EQ(Get("s4", 0, "AB      "), "ab");
  EXPECT_EQ(Get("s4", 0, "WXYZ"), "wxyz");
  EXPECT_EQ(Get("s4", 0, "A"), "<-9>");
  char** values = nullptr;
  char** labels = nullptr;
  int n = 0;
  ASSERT_EQ(vexaGetVarCValueLabels(h(), "s4", &values, &labels, &n), VEXA_OK);
  Labels got;
  for (int i = 0; i < n; ++i) got[values[i]] = labels[i];
  EXPECT_EQ(got, (Labels{{"AB  ", "ab"}, {"WXYZ", "wxyz"}}));
  EXPECT_EQ(vexaFreeVarCValueLabels(values, labels, n), VEXA_OK);
}

TEST_F(ValueLabelsTest, SetOfLabelsIsSharedAndCopiedOnChange) {
  const char* vars[] = {"num", "num2"};
  const double values[] = {2, 1, 2};
  const char* labels[] = {"two", "one", "TWO"};
  ASSERT_EQ(vexaSetVarNValueLabel(h(), "num", 5, "five"), VEXA_OK);
  ASSERT_EQ(vexaSetVarNValueLabels(h(), vars, 2, values, labels, 3), VEXA_OK);
  const Pairs shared = {{1, "one"}, {2, "TWO"}};
  EXPECT_EQ(All("num"), shared) << "the set replaces earlier labels";
  EXPECT_EQ(All("num2"), shared);
  ASSERT_EQ(vexaSetVarNValueLabel(h(), "num", 3, "three"), VEXA_OK);
  ASSERT_EQ(vexaSetVarNValueLabel(h(), "num2", 1, "uno"), VEXA_OK);
  EXPECT_EQ(All("num"), (Pairs{{1, "one"}, {2, "TWO"}, {3, "three"}}));
  EXPECT_EQ(All("num2"), (Pairs{{1, "uno"}, {2, "TWO"}}));
}

TEST_F(ValueLabelsTest, StringSetNeedsOneWidthAndChangesNothingOtherwise) {
  ASSERT_EQ(vexaSetVarCValueLabel(h(), "s8", "X", "old"), VEXA_OK);
  const char* mixed[] = {"s8", "s10"};
  const char* same[] = {"s8", "s8b"};
  const char* values[] = {"X", "Y"};
  std::string l121(121, 'y');
  const char* labels[] = {"new", l121.c_str()};
  EXPECT_EQ(vexaSetVarCValueLabels(h(), mixed, 2, values, labels, 2),
            VEXA_E_WIDTH_MISMATCH);
  EXPECT_EQ(Get("s8", 0, "X"), "old");
  EXPECT_EQ(Get("s10", 0, "X"), "<-8>");
  EXPECT_EQ(vexaSetVarCValueLabels(h(), same, 2, values, labels, 2),
            VEXA_W_VALUE_LABEL_TRUNCATED);
  EXPECT_EQ(Get("s8b", 0, "X"), "new");
  EXPECT_EQ(Get("s8", 0, "Y"), l121.substr(0, 120));
}

TEST(ValueLabelsReadTest, ReadHandleRefusesNewLabels) {
  TempDir dir;
  int h = -1;
  ASSERT_EQ(vexaOpenRead(dir.Write("s.vexa", BuildSampleFile()).c_str(), &h),
            VEXA_OK);
  EXPECT_EQ(vexaSetVarNValueLabel(h, "q1", 4, "x"), VEXA_E_OPENED_FOR_READ);
  EXPECT_EQ(vexaSetVarCValueLabel(h, "region", "N", "x"), VEXA_E_OPENED_FOR_READ);
  vexaCloseRead(h);
}

}  // namespace
}  // namespace vexa::testing
