#include "sysfile/text_groups.h"

#include <bit>
#include <cstring>

namespace vexa {

TextGroups::TextGroups(size_t width, char* texts, size_t room, size_t held)
    : width_(width), texts_(texts), room_(room), held_(0) {
  if (width_ <= 8) {
    char ones[8] = {};
    std::memset(ones, 0xFF, width_);
    std::memcpy(&mask_, ones, sizeof mask_);
  }
  codes_.reserve(held);
  while (held_ < held) Remember(static_cast<int32_t>(held_++));
}

void TextGroups::Remember(int32_t code) {
  codes_.emplace(std::string_view(Text(code), width_), code);
  if (width_ <= 8 && static_cast<size_t>(code) < kScanned) {
    // The texts held lie one after another: one padded to 8 bytes.
    char padded[8] = {};
    std::memcpy(padded, Text(code), width_);
    keys_[code] = Key(padded);
  }
}

uint64_t TextGroups::Key(const char* at) const {
  uint64_t key;
  std::memcpy(&key, at, sizeof key);
  return key & mask_;
}

int32_t TextGroups::Code(const char* text) {
  int32_t code = -1;
  if (width_ <= 8 && held_ <= kScanned) {
    // Compared with all at once, without a branch to mispredict on each.
    const uint64_t key = Key(text);
    unsigned match = 0;
    for (size_t c = 0; c < held_; ++c) match |= static_cast<unsigned>(keys_[c] == key) << c;
    if (match != 0) return std::countr_zero(match);
  } else {
    if (last_ != nullptr && std::memcmp(text, last_, width_) == 0) return last_code_;
    if (const auto found = codes_.find(std::string_view(text, width_)); found != codes_.end()) {
      code = found->second;
    }
  }
  if (code < 0) {
    if (held_ == room_) return -1;
    code = static_cast<int32_t>(held_);
    std::memcpy(texts_ + held_ * width_, text, width_);
    Remember(code);
    ++held_;
  }
  last_ = Text(code);
  last_code_ = code;
  return code;
}

}  // namespace vexa
