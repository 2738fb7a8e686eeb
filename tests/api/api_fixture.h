// Shared set-up for the C API tests: a temporary directory and a write handle
// whose dictionary the test defines; output arguments that report which of
// them a call changed.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "support/temp_dir.h"
#include "vexaio.h"

namespace vexa::testing {

class WriteHandleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(vexaOpenWrite(dir_.File("new.vexa").c_str(), &handle_), VEXA_OK);
  }
  void TearDown() override {
    if (handle_ >= 0) vexaCloseWrite(handle_);
  }

  TempDir dir_;
  int handle_ = -1;
};

// Output arguments for any call, filled with junk beforehand. Changed()
// lists those that no longer hold it, as " s0=text i1=0 d0=-1 names=null".
struct Out {
  static inline char kJunk[] = "junk";
  char s[3][300] = {"junk", "junk", "junk"};
  static constexpr int kJunkNumber = 12345;
  int i[3] = {kJunkNumber, kJunkNumber, kJunkNumber};
  double d[3] = {kJunkNumber, kJunkNumber, kJunkNumber};
  char** names = &junk_ptr;
  char** texts = &junk_ptr;
  int* types = &junk_int;
  double* values = &junk_double;

  std::string Changed() const {
    std::string r;
    for (int k = 0; k < 3; ++k) {
      const std::string n = std::to_string(k);
      if (std::strcmp(s[k], kJunk) != 0) r += " s" + n + "=" + s[k];
      if (i[k] != kJunkNumber) r += " i" + n + "=" + std::to_string(i[k]);
      if (d[k] != kJunkNumber) r += " d" + n + "=" + Number(d[k]);
    }
    if (names != &junk_ptr) r += names ? " names=set" : " names=null";
    if (texts != &junk_ptr) r += texts ? " texts=set" : " texts=null";
    if (types != &junk_int) r += types ? " types=set" : " types=null";
    if (values != &junk_double) r += values ? " values=set" : " values=null";
    return r;
  }
  static std::string Number(double v) {
    std::string t = std::to_string(v);
    t.erase(t.find_last_not_of('0') + 1);
    if (t.back() == '.') t.pop_back();
    return t;
  }

 private:
  char* junk_ptr = kJunk;
  int junk_int = kJunkNumber;
  double junk_double = kJunkNumber;
};

// A call on the handle h with its outputs in o, as a plain function.
#define VEXA_CALL(call) []([[maybe_unused]] int h, [[maybe_unused]] Out& o) { return (call); }
using Call = int (*)(int h, Out& o);

// Calls made in order (a braced list is evaluated from left to right): 0
// when every one gives 0, else the first other result.
inline int Each(std::initializer_list<int> results) {
  for (int r : results) {
    if (r != 0) return r;
  }
  return 0;
}

// One call of a sequence, with the code and outputs it must give.
struct Step {
  const char* call;
  Call run;
  int code;
  std::string outputs;
};
#define STEP(call, code, outputs) Step{#call, VEXA_CALL(call), code, outputs}

// Runs the steps in order on the handle.
inline void RunSteps(int h, std::initializer_list<Step> steps) {
  for (const Step& step : steps) {
    Out o;
    EXPECT_EQ(step.run(h, o), step.code) << step.call;
    EXPECT_EQ(o.Changed(), step.outputs) << step.call;
  }
}

}  // namespace vexa::testing
