// A table of cases for round trips through the C API: the variables to
// define, the cases to write, and the check that a file holds exactly them.
#pragma once

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "api/api_fixture.h"

namespace vexa::testing {

// A number or a text for one variable of a case.
struct Value {
  Value(double n) : number(n) {}
  Value(const char* t) : text(t), is_text(true) {}
  Value(std::string t) : text(std::move(t)), is_text(true) {}
  double number = 0;
  std::string text;
  bool is_text = false;
};
using Row = std::vector<Value>;

struct Var {
  std::string name;
  int type;  // 0 numeric, else the string width
};

struct CaseTable {
  std::vector<Var> vars;
  std::vector<Row> rows;

  // Names the variables on a write handle; 0 or the first other code.
  int Define(int h) const {
    int code = VEXA_OK;
    for (size_t v = 0; v < vars.size() && code == VEXA_OK; ++v) {
      code = vexaSetVarName(h, vars[v].name.c_str(), vars[v].type);
    }
    return code;
  }

  // Sets one value per variable in dictionary order and writes the case; 0
  // or the first other code.
  static int WriteCase(int h, const Row& row) {
    int code = VEXA_OK;
    for (size_t v = 0; v < row.size() && code == VEXA_OK; ++v) {
      code = row[v].is_text ? vexaSetValueChar(h, v + 1.0, row[v].text.c_str())
                            : vexaSetValueNumeric(h, v + 1.0, row[v].number);
    }
    return code ? code : vexaCommitCaseRecord(h);
  }

  // The file holds the variables, then the cases:
  // numbers bit for bit (-0.0 and NaN included), texts blank padded to
  // their width.
  void ExpectReadsBack(const std::string& path, const char* password = nullptr) const {
    int h = -1;
    ASSERT_EQ(OpenRead(path, password, &h), VEXA_OK);
    Out o;
    ASSERT_EQ(vexaGetVarNames(h, &o.i[0], &o.names, &o.types), VEXA_OK);
    ASSERT_EQ(o.i[0], static_cast<int>(vars.size()));
    auto shown = [](const std::string& name, int type) { return name + " " + std::to_string(type); };
    for (size_t v = 0; v < vars.size(); ++v) {
      EXPECT_EQ(shown(o.names[v], o.types[v]), shown(vars[v].name, vars[v].type));
    }
    std::vector<char> text(VEXA_MAX_STRING_WIDTH + 1);
    for (size_t c = 0; c < rows.size(); ++c) {
      ASSERT_EQ(vexaReadCaseRecord(h), VEXA_OK) << "case " << c;
      for (size_t v = 0; v < rows[c].size(); ++v) {
        SCOPED_TRACE(::testing::Message() << "case " << c << " variable " << v);
        const Value& want = rows[c][v];
        double got = 0;
        if (want.is_text) {
          ASSERT_EQ(vexaGetValueChar(h, v + 1.0, text.data(), static_cast<int>(text.size())), 0);
          EXPECT_EQ(text.data(), want.text + std::string(vars[v].type - want.text.size(), ' '));
        } else {
          ASSERT_EQ(vexaGetValueNumeric(h, v + 1.0, &got), VEXA_OK);
          EXPECT_EQ(std::memcmp(&got, &want.number, 8), 0);
        }
      }
    }
    EXPECT_EQ(vexaReadCaseRecord(h), VEXA_W_END_OF_DATA);
    EXPECT_EQ(vexaCloseRead(h), VEXA_OK);
  }
};

}  // namespace vexa::testing
