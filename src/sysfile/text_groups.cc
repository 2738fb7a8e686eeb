#include "sysfile/text_groups.h"

#include <cstring>

namespace vexa {

TextGroups::TextGroups(size_t width, char* texts, size_t room, size_t held)
    : width_(width), texts_(texts), room_(room), held_(held) {
  codes_.reserve(held);
  for (size_t c = 0; c < held; ++c) {
    codes_.emplace(std::string_view(Text(static_cast<int32_t>(c)), width_),
                   static_cast<int32_t>(c));
  }
}

int32_t TextGroups::Code(const char* text) {
  if (last_ != nullptr && std::memcmp(text, last_, width_) == 0) return last_code_;
  const auto found = codes_.find(std::string_view(text, width_));
  int32_t code;
  if (found != codes_.end()) {
    code = found->second;
  } else {
    if (held_ == room_) return -1;
    code = static_cast<int32_t>(held_);
    char* copy = texts_ + held_ * width_;
    std::memcpy(copy, text, width_);
    codes_.emplace(std::string_view(copy, width_), code);
    ++held_;
  }
  last_ = Text(code);
  last_code_ = code;
  return code;
}

}  // namespace vexa
