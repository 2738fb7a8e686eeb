#include "case_filter.h"

#include <compare>

#include "csv_values.h"
#include "text_util.h"
#include "vexaio.h"

namespace vexa::tool {
namespace {

using Op = Condition::Op;

bool Ordered(std::partial_ordering order, Op op) {
  switch (op) {
    case Op::kEqual: return order == 0;
    case Op::kNotEqual: return order != 0;
    case Op::kLess: return order < 0;
    case Op::kLessEqual: return order <= 0;
    case Op::kGreater: return order > 0;
    default: return order >= 0;
  }
}

// The value whose label is `label`, when the variable has such a label.
bool NumberOfLabel(int handle, const std::string& name, const std::string& label, double* out) {
  double* values = nullptr;
  char** labels = nullptr;
  int n = 0;
  if (vexaGetVarNValueLabels(handle, name.c_str(), &values, &labels, &n) != VEXA_OK) return false;
  bool found = false;
  for (int i = 0; i < n && !found; ++i) {
    if (label == labels[i]) *out = values[i], found = true;
  }
  vexaFreeVarNValueLabels(values, labels, n);
  return found;
}

bool TextOfLabel(int handle, const std::string& name, const std::string& label, std::string* out) {
  char** values = nullptr;
  char** labels = nullptr;
  int n = 0;
  if (vexaGetVarCValueLabels(handle, name.c_str(), &values, &labels, &n) != VEXA_OK) return false;
  bool found = false;
  for (int i = 0; i < n && !found; ++i) {
    if (label == labels[i]) *out = TrimTrailingBlanks(values[i]), found = true;
  }
  vexaFreeVarCValueLabels(values, labels, n);
  return found;
}

}  // namespace

std::string ParseCondition(std::string_view text, Condition* out) {
  const size_t at = text.find_first_of("=!<>");
  if (at == 0 || at == std::string_view::npos) return "expected NAME=VALUE (or !=, <, <=, >, >=)";
  const bool with_equal = at + 1 < text.size() && text[at + 1] == '=';
  switch (text[at]) {
    case '=': out->op = Op::kEqual; break;
    case '<': out->op = with_equal ? Op::kLessEqual : Op::kLess; break;
    case '>': out->op = with_equal ? Op::kGreaterEqual : Op::kGreater; break;
    default:
      if (!with_equal) return "expected != after the name";
      out->op = Op::kNotEqual;
  }
  out->name = TrimBlanks(text.substr(0, at));
  out->value = text.substr(at + (with_equal && text[at] != '=' ? 2 : 1));
  return "";
}

std::string CaseFilter::Prepare(int handle, const std::vector<Condition>& conditions,
                                bool labels) {
  sysmis_ = vexaSysmisVal();
  buffer_.assign(VEXA_MAX_STRING_WIDTH + 1, '\0');
  for (const Condition& c : conditions) {
    Test t;
    char name[VEXA_NAME_BUFFER] = "";
    int type = 0;
    if (vexaGetVarHandle(handle, c.name.c_str(), &t.variable) != VEXA_OK ||
        vexaGetVarInfo(handle, static_cast<int>(t.variable) - 1, name, &type) != VEXA_OK) {
      return "no variable '" + c.name + "'";
    }
    t.numeric = type == 0;
    t.op = c.op;
    t.empty = c.value.empty();
    t.text = c.value;
    if (t.empty && c.op != Op::kEqual && c.op != Op::kNotEqual) {
      return c.name + ": an empty value is only equal or not";
    }
    const bool label = labels && (t.numeric ? NumberOfLabel(handle, name, c.value, &t.number)
                                            : TextOfLabel(handle, name, c.value, &t.text));
    if (t.numeric && !t.empty && !label && !ParseNumber(c.value, &t.number)) {
      return "'" + c.value + "' is not a number" + (labels ? " or a value label" : "") +
             ", and " + c.name + " is numeric";
    }
    tests_.push_back(std::move(t));
  }
  return "";
}

bool CaseFilter::Holds(int handle, const Test& t) {
  if (t.numeric) {
    double v = 0;
    vexaGetValueNumeric(handle, t.variable, &v);
    if (v == sysmis_ || t.empty) {
      const bool same = (v == sysmis_) == t.empty;
      return t.op == Op::kEqual ? same : t.op == Op::kNotEqual && !same;
    }
    return Ordered(v <=> t.number, t.op);
  }
  vexaGetValueChar(handle, t.variable, buffer_.data(), static_cast<int>(buffer_.size()));
  return Ordered(TrimTrailingBlanks(buffer_.data()) <=> std::string_view(t.text), t.op);
}

bool CaseFilter::Matches(int handle) {
  for (const Test& t : tests_) {
    if (!Holds(handle, t)) return false;
  }
  return true;
}

}  // namespace vexa::tool
