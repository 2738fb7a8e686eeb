// ParseFormat reads back every text that FormatToString writes.
#include <gtest/gtest.h>

#include "dict/format_code.h"

namespace vexa {
namespace {

TEST(ParseFormatTest, InverseOfFormatToStringForEveryType) {
  for (int type = 0; type <= 255; ++type) {
    for (Format f : {Format{8, static_cast<uint8_t>(type), 2},
                     Format{40, static_cast<uint8_t>(type), 0},
                     Format{32767, static_cast<uint8_t>(type), 16}}) {
      std::string text = FormatToString(f);
      Format back{1, 1, 1};
      ASSERT_TRUE(ParseFormat(text, &back)) << text;
      EXPECT_EQ(back, f) << text;
    }
  }
}

TEST(ParseFormatTest, CommonForms) {
  Format f;
  ASSERT_TRUE(ParseFormat("DOLLAR10.2", &f));
  EXPECT_EQ(f, (Format{10, 4, 2}));
  ASSERT_TRUE(ParseFormat("date11", &f));
  EXPECT_EQ(f, (Format{11, 20, 0}));
  ASSERT_TRUE(ParseFormat("A20", &f));
  EXPECT_EQ(f, (Format{20, 1, 0}));
  ASSERT_TRUE(ParseFormat("F8", &f));
  EXPECT_EQ(f, (Format{8, 5, 0}));
  // PIB must not be read as the start of PIBHEX, nor the reverse.
  ASSERT_TRUE(ParseFormat("PIBHEX4", &f));
  EXPECT_EQ(f.type, 7);
  ASSERT_TRUE(ParseFormat("PIB4", &f));
  EXPECT_EQ(f.type, 9);
}

TEST(ParseFormatTest, RefusesOtherTextAndLeavesTheOutputAlone) {
  const Format kept{3, 5, 1};
  for (const char* text :
       {"", "F", "8.2", "Q8.2", "F8.", "F.2", "F8.2x", "F8,2", "F 8.2", "F-8",
        "F65536", "F8.256", "T_8.2", "T256_8.2", "T12", "DATETIME"}) {
    Format f = kept;
    EXPECT_FALSE(ParseFormat(text, &f)) << text;
    EXPECT_EQ(f, kept) << text;
  }
}

}  // namespace
}  // namespace vexa
