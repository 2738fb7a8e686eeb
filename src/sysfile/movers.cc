#include "sysfile/movers.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "dict/variable.h"
#include "support/errors.h"
#include "sysfile/segmentation.h"
#include "text/interface_encoding.h"

namespace vexa {
namespace {

constexpr size_t kSegmentBytes = 256;
constexpr size_t kSegmentValueBytes = kSegmentBytes - 1;  // then one space

// Bytes of whole characters from `s` that end within `room` bytes; a byte
// that starts no valid character counts as a character of its own.
size_t WholeCharacters(const char* s, size_t available, size_t room) {
  size_t pos = 0;
  while (pos < room) {
    int n = text::CharLength(s + pos, available - pos);
    if (n < 1) n = 1;
    if (pos + static_cast<size_t>(n) > room) break;
    pos += static_cast<size_t>(n);
  }
  return pos;
}

}  // namespace

int64_t FileSlotsForString(int width) {
  const int64_t w = width;
  const int64_t n = w / kSegmentDataBytes;
  return w <= kSegmentWidth ? SlotsForType(width) : (w + 4 * n + 7) / 8;
}

const char* OrdinaryMover::Move(const char* src, char* out) const {
  std::memcpy(out + dest_, src, bytes_);
  return src + bytes_;
}

EStringMover::EStringMover(size_t dest_slot, int width, bool multibyte)
    : dest_(dest_slot * 8),
      width_(width),
      full_segments_(width / kSegmentDataBytes),
      last_slots_((width % kSegmentDataBytes + 7) / 8),
      multibyte_(multibyte) {}

const char* EStringMover::Move(const char* src, char* out) const {
  const char* s = src;
  const char* const end = src + width_;
  char* o = out + dest_;
  for (int seg = 0; seg < full_segments_; ++seg, o += kSegmentBytes) {
    const size_t left = static_cast<size_t>(end - s);
    size_t take;
    char fill = ' ';
    if (left <= kSegmentValueBytes) {
      take = left;
    } else if (s[kSegmentValueBytes - 1] == ' ' || !multibyte_) {
      take = kSegmentValueBytes;
    } else {
      take = WholeCharacters(s, left, kSegmentValueBytes);
      fill = '\0';
    }
    std::memcpy(o, s, take);
    std::memset(o + take, fill, kSegmentValueBytes - take);
    o[kSegmentValueBytes] = ' ';
    s += take;
  }
  const size_t last_bytes = static_cast<size_t>(last_slots_) * 8;
  const size_t rest = std::min(static_cast<size_t>(end - s), last_bytes);
  std::memcpy(o, s, rest);
  std::memset(o + rest, ' ', last_bytes - rest);
  return src + static_cast<size_t>(SlotsForType(width_)) * 8;
}

CaseLayoutMover::CaseLayoutMover(
    const std::vector<std::pair<int64_t, int>>& strings, size_t memory_slots,
    size_t file_slots)
    : output_(new char[file_slots * 8]), file_slots_(file_slots) {
  const bool multibyte =
      text::GetInterfaceMode() == text::InterfaceMode::kUtf8 || MB_CUR_MAX > 1;
  size_t m = 0;  // memory slot
  size_t o = 0;  // output slot
  for (const auto& [first_slot, width] : strings) {
    const size_t p = static_cast<size_t>(first_slot);
    VEXA_ASSERT(p >= m);
    if (m < p) {
      movers_.push_back(std::make_unique<OrdinaryMover>(o, p - m));
      o += p - m;
      m = p;
    }
    movers_.push_back(std::make_unique<EStringMover>(o, width, multibyte));
    m += static_cast<size_t>(SlotsForType(width));
    o += static_cast<size_t>(FileSlotsForString(width));
  }
  VEXA_ASSERT(m <= memory_slots && o <= file_slots &&
              file_slots - o == memory_slots - m);
  if (o < file_slots) {
    movers_.push_back(std::make_unique<OrdinaryMover>(o, file_slots - o));
  }
}

const char* CaseLayoutMover::Move(const char* memory_case) {
  const char* src = memory_case;
  for (const auto& mover : movers_) src = mover->Move(src, output_.get());
  return output_.get();
}

}  // namespace vexa
