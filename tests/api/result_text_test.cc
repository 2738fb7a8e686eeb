// vexaResultText against the public header: every code the header defines
// has a text naming that very code, no two codes share a sentence, other
// numbers are "unknown", and a failure with nothing more to say reports the
// same sentence as its error detail.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "vexaio.h"

namespace vexa::testing {
namespace {

std::vector<std::pair<std::string, int>> HeaderResultCodes() {
  std::ifstream in(VEXA_PUBLIC_HEADER);
  std::stringstream text;
  text << in.rdbuf();
  const std::string header = text.str();
  const std::regex define(R"(#define (VEXA_(?:OK|[EW]_[A-Z_0-9]+)) +\(?(-?[0-9]+)\)?)");
  std::vector<std::pair<std::string, int>> codes;
  for (std::sregex_iterator m(header.begin(), header.end(), define), end; m != end; ++m) {
    codes.emplace_back((*m)[1], std::stoi((*m)[2]));
  }
  return codes;
}

TEST(ResultTextTest, EveryHeaderCodeIsNamedAndDescribedOnceOtherNumbersAreUnknown) {
  const auto codes = HeaderResultCodes();
  ASSERT_GT(codes.size(), 50u);
  std::set<std::string> sentences;
  for (const auto& [name, code] : codes) {
    const std::string text = vexaResultText(code);
    ASSERT_EQ(text.rfind(name + ": ", 0), 0u) << code << " gives " << text;
    const std::string sentence = text.substr(name.size() + 2);
    EXPECT_GT(sentence.size(), 10u) << name;
    EXPECT_TRUE(sentences.insert(sentence).second) << name << " repeats " << sentence;
  }
  for (int code : {-1, -3, 16, 19, 82, 1000, -1000}) {
    EXPECT_EQ(std::string(vexaResultText(code)).rfind("unknown: ", 0), 0u) << code;
  }
}

TEST(ResultTextTest, AFailureWithoutMoreToSayGivesTheSameSentence) {
  ASSERT_EQ(vexaCloseRead(-1), VEXA_E_BAD_HANDLE);
  char detail[256];
  ASSERT_EQ(vexaGetLastErrorDetail(detail, sizeof detail), VEXA_OK);
  EXPECT_EQ(std::string("VEXA_E_BAD_HANDLE: ") + detail, vexaResultText(VEXA_E_BAD_HANDLE));
}

}  // namespace
}  // namespace vexa::testing
