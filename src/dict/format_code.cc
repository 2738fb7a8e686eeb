#include "dict/format_code.h"

namespace vexa {
namespace {

constexpr int kMaxPlainWidth = 40;
constexpr int kMaxNumericDecimals = 16;

}  // namespace

uint32_t PackFormat(Format f) {
  const uint32_t low = f.width & 0xFFu;
  const uint32_t high = (f.width >> 8) & 0xFFu;
  const uint32_t type = f.type;
  if (f.type == kFormatString) return (type << 16) | (low << 8) | high;
  return (high << 24) | (type << 16) | (low << 8) | f.decimals;
}

Format UnpackFormat(uint32_t packed) {
  Format f;
  f.type = static_cast<uint8_t>((packed >> 16) & 0xFF);
  const unsigned width_byte = (packed >> 8) & 0xFF;
  const unsigned decimals_byte = packed & 0xFF;
  if (f.type == kFormatString) {
    f.width = static_cast<uint16_t>(decimals_byte * 256 + width_byte);
    f.decimals = 0;
  } else {
    f.width = static_cast<uint16_t>(
        width_byte > kMaxPlainWidth && f.type != kFormatHexString
            ? kMaxPlainWidth
            : width_byte);
    f.decimals = static_cast<uint8_t>(decimals_byte);
  }
  return f;
}

uint32_t DefaultFormat(int var_type) {
  if (var_type == kNumericType) return kDefaultNumericFormat;
  return PackFormat({static_cast<uint16_t>(var_type), kFormatString, 0});
}

bool IsKnownFormatType(int type) {
  return (type >= 1 && type <= 12) || (type >= 15 && type <= 17) ||
         (type >= 20 && type <= 39) || type == 85 || type == 86;
}

bool IsValidFormatValues(int type, int width, int decimals, int var_type,
                         bool write) {
  const int w = width;
  const int d = decimals;
  // Decimals are unsigned in the format word: a negative count never passes.
  if (d < 0 || w < 0) return false;
  const bool numeric = var_type == kNumericType && d <= kMaxNumericDecimals;
  const bool plain = var_type == kNumericType && d == 0;
  const bool w40 = w <= kMaxPlainWidth;
  auto in = [w](int lo, int hi) { return lo <= w && w <= hi; };
  // Date and time types that take decimals need room for them.
  auto room = [w, d](int extra) { return d == 0 || w >= d + extra; };
  switch (type) {
    case 1:
      return var_type >= 1 && w == var_type && w <= 32767 && d == 0;
    case 2:
      return var_type >= 1 && w % 2 == 0 && in(2, 255) && d == 0;
    case 3: case 5: case 32:
      return numeric && w >= d + 1 && w40;
    case 4: case 31: case 33: case 34: case 35: case 36: case 37:
      return numeric && w >= d + 2 && w40;
    case 6: case 9:
      return write && numeric && in(1, 8);
    case 7:
      return plain && w % 2 == 0 && in(2, 16);
    case 8: case 10:
      return write && numeric && in(1, 16);
    case 11:
      return write && plain && in(2, 8);
    case 12:
      return plain && w % 2 == 0 && in(4, 16);
    case 15: case 16:
      return numeric && in(1, 40);
    case 17:
      return numeric && w >= d + 6 && w40;
    case 20:
      return plain && in(9, 40);
    case 21:
      return numeric && in(5, 40) && room(9);
    case 22:
      return numeric && in(17, 40) && room(21);
    case 23: case 30: case 38: case 39:
      return plain && in(8, 40);
    case 24:
      return plain && in(5, 40);
    case 25:
      return numeric && in(8, 40) && room(12);
    case 26:
      return plain && in(2, 40);
    case 27:
      return plain && in(3, 40);
    case 28: case 29:
      return plain && in(6, 40);
    case 85:
      return numeric && in(5, 40) && room(6);
    case 86:
      return numeric && in(16, 40) && room(20);
    default:
      return false;
  }
}

}  // namespace vexa
