// The case buffer: the empty case of a dictionary and borrowed buffers.
#include "dict/case.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dict/dictionary.h"

namespace vexa {
namespace {

TEST(CaseTest, NewCaseIsSysmisAndBlanksAndABorrowedBufferIsLeftAlone) {
  Dictionary dict;
  for (int width : {0, 3, 10}) dict.Add(VEXA_Variable(width));
  VEXA_Case c(dict);
  ASSERT_EQ(c.Bytes(), 32u);
  uint64_t first;
  std::memcpy(&first, c.Data(), 8);
  EXPECT_EQ(first, 0xFFEFFFFFFFFFFFFFull);
  EXPECT_EQ(std::string(c.Data() + 8, 24), std::string(24, ' '));

  std::string buffer(32, 'z');
  VEXA_Case borrowed(dict, buffer.data());
  EXPECT_EQ(borrowed.Data(), buffer.data());
  EXPECT_EQ(buffer, std::string(32, 'z'));
  VEXA_Case::Clear(dict, buffer.data());
  EXPECT_EQ(buffer.substr(8), std::string(24, ' '));
}

}  // namespace
}  // namespace vexa
