// Percent coding of text (%XX escapes), over code points held outside series
// memory: the codec behind `dehex`, `enhex` and the URL types.
//
// Decoding: "%" and two hexadecimal digits (either case) is one byte. A byte
// below 0xC0 is the code point of that value; a UTF-8 lead byte takes the
// escapes of its whole sequence, decoded as one code point (a malformed
// sequence raises access/invalid-utf8). A "%" that starts no escape, or a lead
// byte whose following escapes are missing, is copied as it stands.
//
// Encoding writes the UTF-8 bytes of the text: a byte of the kept set stays,
// every other byte becomes "%" and two upper-case digits. The strict set
// (letters, digits, "-", ".", "_", "~") is that of string! text; the URL set
// also keeps ! # $ & ' ( ) * + , / : = ? @.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kel::encoding {

enum class PercentSet { strict, url };

std::vector<uint32_t> percent_decode(const std::vector<uint32_t>& text);
std::string percent_encode(const std::vector<uint32_t>& text, PercentSet set);

}  // namespace kel::encoding
