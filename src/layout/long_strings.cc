#include "layout/long_strings.h"

#include <algorithm>
#include <cstring>

#include "text/interface_encoding.h"

namespace vexa::long_strings {
namespace {

constexpr size_t kSegmentBytes = 256;                     // in the case data
constexpr size_t kSegmentValueBytes = kSegmentBytes - 1;  // then one space

}  // namespace

void Split(const char* value, int width, bool whole_chars, char* out) {
  const char* s = value;
  const char* const end = value + width;
  char* o = out;
  for (int seg = 0; seg < width / kWidthPerSegment; ++seg, o += kSegmentBytes) {
    const size_t left = static_cast<size_t>(end - s);
    size_t take = left;
    char fill = ' ';
    if (left > kSegmentValueBytes) {
      take = kSegmentValueBytes;
      if (whole_chars && s[kSegmentValueBytes - 1] != ' ') {
        take = text::WholeCharPrefix(s, left, kSegmentValueBytes,
                                     text::InvalidBytes::kOneCharEach);
        fill = '\0';
      }
    }
    std::memcpy(o, s, take);
    std::memset(o + take, fill, kSegmentValueBytes - take);
    o[kSegmentValueBytes] = ' ';
    s += take;
  }
  const size_t last_bytes =
      static_cast<size_t>(FileSlots(width) * 8) - static_cast<size_t>(o - out);
  const size_t rest = std::min(static_cast<size_t>(end - s), last_bytes);
  std::memcpy(o, s, rest);
  std::memset(o + rest, ' ', last_bytes - rest);
}

void Join(const char* file, int width, char* value) {
  char* to = value;
  char* const to_end = value + width;
  while (to < to_end) {
    const size_t left = static_cast<size_t>(to_end - to);
    if (left > kSegmentValueBytes) {
      // NUL bytes at 252..254 were held back for the next segment.
      const size_t k = file[254] != 0   ? 255
                       : file[253] != 0 ? 254
                       : file[252] != 0 ? 253
                                        : 252;
      std::memcpy(to, file, k);
      to += k;
      file += kSegmentBytes;
    } else {
      std::memcpy(to, file, left);
      to = to_end;
    }
  }
}

}  // namespace vexa::long_strings
