// PasswordCrypt: the encoded form of a password, in which a caller may hand
// it over instead of the password itself. Each byte becomes two printable
// characters (neither quote), the first carrying its odd bits and the
// second its even bits under random noise; decoding drops the noise.
#pragma once

#include <string>
#include <string_view>

namespace vexa::crypt {

// Twice as long as the password; empty for an empty password.
std::string EncodePassword(std::string_view password);
// The password of an encoded text; empty for a text of odd length.
std::string DecodePassword(std::string_view encoded);

}  // namespace vexa::crypt
