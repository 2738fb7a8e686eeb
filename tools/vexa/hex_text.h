// Bytes as lower-case hexadecimal text and back: how `vexa info --json`
// carries the data of raw extension records.
#pragma once

#include <string>
#include <string_view>

namespace vexa::tool {

std::string ToHex(std::string_view bytes);
// False for text of odd length or with a character that is not a hex digit.
bool FromHex(std::string_view text, std::string* bytes);

}  // namespace vexa::tool
