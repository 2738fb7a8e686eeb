// The case buffer: the empty case of a dictionary and borrowed buffers.
#include "dict/case.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dict/dictionary.h"

namespace vexa {
namespace {

Dictionary NumericAndTwoStrings() {
  Dictionary dict;
  dict.Add(VEXA_Variable(0));
  dict.Add(VEXA_Variable(3));
  dict.Add(VEXA_Variable(10));
  return dict;
}

TEST(CaseTest, NewCaseHoldsSysmisAndBlanks) {
  const Dictionary dict = NumericAndTwoStrings();
  VEXA_Case c(dict);
  ASSERT_EQ(c.Bytes(), 32u);
  uint64_t first;
  std::memcpy(&first, c.Data(), 8);
  EXPECT_EQ(first, 0xFFEFFFFFFFFFFFFFull);
  EXPECT_EQ(std::string(c.Data() + 8, 24), std::string(24, ' '));
}

TEST(CaseTest, BorrowedBufferIsLeftAsItWas) {
  const Dictionary dict = NumericAndTwoStrings();
  std::string buffer(32, 'z');
  VEXA_Case c(dict, buffer.data());
  EXPECT_EQ(c.Data(), buffer.data());
  EXPECT_EQ(buffer, std::string(32, 'z'));
  VEXA_Case::Clear(dict, buffer.data());
  EXPECT_EQ(buffer.substr(8), std::string(24, ' '));
}

}  // namespace
}  // namespace vexa
