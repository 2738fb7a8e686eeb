// The conditions of `vexa cat --where`: NAME OP VALUE with OP one of
// = != < <= > >=, all of which a case must meet to be printed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexa::tool {

struct Condition {
  enum class Op { kEqual, kNotEqual, kLess, kLessEqual, kGreater, kGreaterEqual };
  std::string name;
  Op op = Op::kEqual;
  std::string value;  // as given
};

// "NAME OP VALUE" (the value may be empty). Empty when valid, else why not.
std::string ParseCondition(std::string_view text, Condition* out);

// Conditions resolved against an open file and checked on its current
// case. Numbers compare as numbers, strings byte by byte without trailing
// blanks. A system-missing value is empty: it equals only an empty value,
// differs from every other, and is neither less nor greater than any.
class CaseFilter {
 public:
  // Finds each condition's variable and reads its value as the variable's
  // type; with `labels`, a value label of the variable stands for its value
  // (before a number of the same text). Empty when all are valid, else why
  // not: a name that is no variable, text that is no number for a numeric
  // variable, or an empty value with an order.
  std::string Prepare(int handle, const std::vector<Condition>& conditions, bool labels);

  // True when every condition holds for the current case.
  bool Matches(int handle);

 private:
  struct Test {
    double variable = 0;  // its handle
    bool numeric = true;
    Condition::Op op = Condition::Op::kEqual;
    bool empty = false;
    double number = 0;
    std::string text;
  };
  bool Holds(int handle, const Test& t);

  std::vector<Test> tests_;
  std::vector<char> buffer_;
  double sysmis_ = 0;
};

}  // namespace vexa::tool
