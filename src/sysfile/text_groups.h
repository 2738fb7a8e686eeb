// A column of texts of one width turned into codes of its distinct texts.
// The distinct texts lie one after another in memory the caller owns, so a
// column read over many calls goes on with the texts of the earlier ones.
// Most columns repeat a text over neighbouring cases, so each text is
// compared with the last one first; only a different text is looked up.
// A short text among a few is compared with them all at once as a number.
#pragma once

#include <cstddef>
#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_map>

namespace vexa {

class TextGroups {
 public:
  // `texts` has room for `room` texts of `width` bytes, of which the first
  // `held` are the column's distinct texts so far (all different).
  TextGroups(size_t width, char* texts, size_t room, size_t held);

  // The code of a text of the width: that of an equal text held, else the
  // next one, the text being added; -1 when it is new and there is no room.
  // The text lies in a case, so the rest of its 8-byte slot follows it.
  int32_t Code(const char* text);

  size_t held() const { return held_; }
  // The text of a code given.
  const char* Text(int32_t code) const { return texts_ + static_cast<size_t>(code) * width_; }

 private:
  // Short texts held up to this many are compared as numbers.
  static constexpr size_t kScanned = 8;

  void Remember(int32_t code);
  // A text of at most 8 bytes as one number, from the 8 bytes at `at`.
  uint64_t Key(const char* at) const;

  size_t width_;
  char* texts_;
  size_t room_;
  size_t held_;
  const char* last_ = nullptr;  // the text of the last code given
  int32_t last_code_ = -1;
  std::unordered_map<std::string_view, int32_t> codes_;
  std::array<uint64_t, kScanned> keys_{};
  uint64_t mask_ = 0;  // the bytes of a text among 8 loaded
};

}  // namespace vexa
