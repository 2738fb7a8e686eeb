// Packing, unpacking and validity of print and write formats.
#include <gtest/gtest.h>

#include "dict/format_code.h"

namespace vexa {
namespace {

// The high byte of a string width goes into the decimals byte, of any other
// width into the top byte; unpacking clamps as the reader does.
TEST(FormatPackingTest, PackAndUnpack) {
  EXPECT_EQ(PackFormat({300, kFormatString, 0}), 0x00012C01u);
  EXPECT_EQ(PackFormat({300, kFormatHexString, 0}), 0x01022C00u);
  const struct { uint32_t packed; Format expected; } cases[] = {
      {0x00012C01, {300, 1, 0}},  // A: decimals byte is width high
      {0x0001FF7F, {32767, 1, 0}},
      {0x00052D02, {40, 5, 2}},   // F width 45 taken as 40
      {0x00052802, {40, 5, 2}},   // F width 40 unchanged
      {0x0002C800, {200, 2, 0}},  // AHEX 200 kept
      {0x07050802, {8, 5, 2}},    // top byte ignored for F
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UnpackFormat(c.packed), c.expected) << std::hex << c.packed;
  }
}

// Each row: type, width, decimals, variable type, valid as a print format,
// valid as a write format.
TEST(FormatValidityTest, FollowsTheTable) {
  struct V { int type, width, decimals, var_type; bool as_print, as_write; };
  const V table[] = {
      // A: width must equal the string width. AHEX: even, 2..255, any
      // string width.
      {1, 20, 0, 20, true, true}, {1, 19, 0, 20, false, false}, {1, 8, 0, 0, false, false},
      {1, 20, 1, 20, false, false}, {2, 40, 0, 3, true, true}, {2, 41, 0, 3, false, false},
      {2, 256, 0, 300, false, false}, {2, 8, 0, 0, false, false},
      // F: numeric, w >= d + 1, w <= 40, d <= 16. DOLLAR and the currency
      // types need a second column.
      {5, 8, 2, 0, true, true}, {5, 2, 2, 0, false, false}, {5, 40, 16, 0, true, true},
      {5, 40, 17, 0, false, false}, {5, 8, -1, 0, false, false}, {5, 8, 2, 8, false, false},
      {4, 3, 2, 0, false, false}, {4, 4, 2, 0, true, true},
      // IB and PIB are write formats only. Hex forms: even widths, no
      // decimals.
      {6, 8, 0, 0, false, true}, {6, 9, 0, 0, false, false}, {8, 16, 2, 0, false, true},
      {10, 17, 0, 0, false, false}, {11, 8, 0, 0, false, true}, {11, 8, 1, 0, false, false},
      {7, 16, 0, 0, true, true}, {7, 15, 0, 0, false, false}, {12, 4, 0, 0, true, true},
      {15, 0, 0, 0, false, false}, {17, 7, 2, 0, false, false}, {17, 8, 2, 0, true, true},
      // Dates: no decimals, a minimum width. Times: decimals need room
      // beyond the base width.
      {20, 9, 0, 0, true, true}, {20, 8, 0, 0, false, false}, {20, 11, 1, 0, false, false},
      {20, 41, 0, 0, false, false}, {27, 2, 0, 0, false, false}, {26, 2, 0, 0, true, true},
      {26, 8, 0, 8, false, false}, {26, 8, 1, 0, false, false}, {38, 8, 0, 3, false, false},
      {24, 5, 0, 0, true, true}, {24, 4, 0, 0, false, false},
      {21, 10, 2, 0, false, false}, {21, 11, 2, 0, true, true}, {22, 23, 2, 0, true, true},
      {22, 22, 2, 0, false, false}, {25, 14, 2, 0, true, true}, {25, 13, 2, 0, false, false},
      {85, 8, 2, 0, true, true}, {85, 7, 2, 0, false, false}, {86, 21, 2, 0, false, false},
      {86, 22, 2, 0, true, true},
      // Unknown types.
      {13, 8, 0, 0, false, false}, {0, 8, 0, 0, false, false}, {87, 8, 0, 0, false, false}};
  for (const V& c : table) {
    SCOPED_TRACE(::testing::Message() << "type " << c.type << " w" << c.width << " d"
                                      << c.decimals << " var " << c.var_type);
    EXPECT_EQ(IsValidFormatValues(c.type, c.width, c.decimals, c.var_type, false), c.as_print);
    EXPECT_EQ(IsValidFormatValues(c.type, c.width, c.decimals, c.var_type, true), c.as_write);
  }
}

// A type that no width, decimals or variable type can make valid must not
// be accepted by the setters either, and vice versa.
TEST(FormatTypeTest, KnownTypesAreExactlyTheValidatedOnes) {
  for (int type = -1; type <= 260; ++type) {
    bool some_valid = false;
    for (int var_type : {0, 8}) {
      for (int w = 0; w <= 64 && !some_valid; ++w) {
        for (int d = 0; d <= 3 && !some_valid; ++d) {
          some_valid = IsValidFormatValues(type, w, d, var_type, true);
        }
      }
    }
    EXPECT_EQ(IsKnownFormatType(type), some_valid) << type;
  }
}

}  // namespace
}  // namespace vexa
