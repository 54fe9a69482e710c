// Numbers read from and written as text, independent of the user's locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sx {

// The text read as an extended real with '.' as the decimal point: optional leading spaces, an
// optional sign, digits with an optional fraction (at least one digit in all), and an optional
// exponent ("e" or "E", optional sign, digits). `fallback` when the whole text is not such a
// number or its value is too large for a long double; values too small to represent read as 0.
long double TextToNumber(std::string_view text, long double fallback);

// The decimal integer of the text (optional leading spaces, optional sign, digits) as a 32-bit
// pattern. Values in the signed range give their two's-complement pattern ("-1" is 0xFFFFFFFF);
// values above it up to 4294967295 are taken as unsigned ("4294967295" is 0xFFFFFFFF as well).
// `fallback` when the text is not such a number or its value fits in neither range.
uint32_t ParseUInt(std::string_view text, uint32_t fallback);

// The value as unsigned decimal text ("0" to "4294967295").
std::string UIntToStr(uint32_t value);

// The text read as a hexadecimal 32-bit number. Unless the text holds a "$" one is put in front of
// it, so "ff" and "$FF" are both 255; a sign may stand before the "$" ("-$10" is -16). 0 when the
// text is not such a number or needs more than 32 bits.
int32_t HexToInt(std::string_view text);

// Upper-case hexadecimal digits of the value, with leading zeros to make at least `digits` digits.
std::string IntToHex(uint32_t value, int digits);

// The digits (0-9, then A-Z) of the value in `base`, padded on the left with "0" to `length`.
// 0 gives "0" (padded as well). A negative value or a base outside 2..36 gives "".
std::string IntToBase(int64_t value, int length, int base);

// -1, 0 or 1 by the sign of the value (0 for NaN).
int Sign(long double value);

}  // namespace sx
