// The conditions of `vexa cat --where` as written: the operator is the
// first of = ! < > after the name, with = after it for the two-character
// ones; the value is the rest, empty allowed.
#include <gtest/gtest.h>

#include "case_filter.h"

namespace vexa::tool {
namespace {

using Op = Condition::Op;

TEST(CaseFilterTest, ParsesEachOperator) {
  const struct { const char* text; Op op; const char* name; const char* value; } cases[] = {
      {"age=30", Op::kEqual, "age", "30"},        {"age!=30", Op::kNotEqual, "age", "30"},
      {"age<30", Op::kLess, "age", "30"},         {"age<=30", Op::kLessEqual, "age", "30"},
      {"age>30", Op::kGreater, "age", "30"},      {"age>=30", Op::kGreaterEqual, "age", "30"},
      {"age=", Op::kEqual, "age", ""},            {"s==x", Op::kEqual, "s", "=x"},
      {"s=a<b", Op::kEqual, "s", "a<b"},          {"s>=>", Op::kGreaterEqual, "s", ">"},
  };
  for (const auto& c : cases) {
    Condition got;
    ASSERT_EQ(ParseCondition(c.text, &got), "") << c.text;
    EXPECT_EQ(got.op, c.op) << c.text;
    EXPECT_EQ(got.name, c.name) << c.text;
    EXPECT_EQ(got.value, c.value) << c.text;
  }
  for (const char* bad : {"age", "=30", "age!30", "<1", ""}) {
    Condition got;
    EXPECT_NE(ParseCondition(bad, &got), "") << bad;
  }
}

}  // namespace
}  // namespace vexa::tool
