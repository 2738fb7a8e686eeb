// ParseFormat reads back every text that FormatText writes, and nothing else.
#include <gtest/gtest.h>

#include "format_text.h"

namespace vexa::tool {
namespace {

TEST(FormatTextTest, ParseIsTheInverseForEveryType) {
  for (int type = 0; type <= 255; ++type) {
    for (FormatSpec f : {FormatSpec{type, 8, 2}, FormatSpec{type, 40, 0},
                         FormatSpec{type, 32767, 16}}) {
      std::string text = FormatText(f);
      FormatSpec back;
      ASSERT_TRUE(ParseFormat(text, &back)) << text;
      EXPECT_EQ(back, f) << text;
    }
  }
}

TEST(FormatTextTest, CommonForms) {
  const std::pair<const char*, FormatSpec> rows[] = {
      {"DOLLAR10.2", {4, 10, 2}}, {"date11", {20, 11, 0}}, {"A20", {1, 20, 0}},
      {"F8", {5, 8, 0}},
      // PIB must not be read as the start of PIBHEX, nor the reverse.
      {"PIBHEX4", {7, 4, 0}},     {"PIB4", {9, 4, 0}}};
  for (const auto& [text, want] : rows) {
    FormatSpec f;
    ASSERT_TRUE(ParseFormat(text, &f)) << text;
    EXPECT_EQ(f, want) << text;
  }
  EXPECT_EQ(FormatText({5, 8, 0}), "F8.0");
  EXPECT_EQ(FormatText({20, 11, 0}), "DATE11");
  EXPECT_EQ(FormatText({14, 8, 1}), "T14_8.1");
}

TEST(FormatTextTest, RefusesOtherTextAndLeavesTheOutputAlone) {
  const FormatSpec kept{3, 5, 1};
  for (const char* text :
       {"", "F", "8.2", "Q8.2", "F8.", "F.2", "F8.2x", "F8,2", "F 8.2", "F-8",
        "F+8", "F65536", "F8.256", "T_8.2", "T256_8.2", "T12", "DATETIME"}) {
    FormatSpec f = kept;
    EXPECT_FALSE(ParseFormat(text, &f)) << text;
    EXPECT_EQ(f, kept) << text;
  }
}

}  // namespace
}  // namespace vexa::tool
