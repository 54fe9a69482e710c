// How the installer's expressions read and write numbers, truth values and integer arguments.
// Every value is a text; these are the only conversions the operators and functions make.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sx {

// The number of a text: optional leading spaces, an optional sign, digits with an optional '.'
// fraction and an optional exponent; the decimal point is always '.'. Anything else, including
// "", a trailing space and "0,5", reads as 0.
long double ExprNumber(std::string_view text);

// The text of a number: the general format with 15 significant digits, trailing zeros and an
// unneeded point dropped ("6", "3.5", "0.333333333333333"). Values from 1E-4 up to below 1E15
// (after rounding to 15 digits) and 0 are written in fixed notation, all others as mantissa, "E",
// a "-" for negative exponents only, and the exponent without leading zeros ("1E20", "1E-5").
// `decimalSeparator` is written in place of the point.
std::string NumberText(long double value, char decimalSeparator);

// The decimal separator of the user's locale (the current host's), '.' when none is set.
char LocaleDecimalSeparator();

// A text is true when its first character is "1".
inline bool IsTrue(std::string_view text) { return !text.empty() && text.front() == '1'; }
inline std::string BoolText(bool value) { return value ? "1" : "0"; }
// "-1", "0" or "1".
std::string SignText(int sign);

// The text as a 32-bit integer: optional leading spaces, an optional sign, then decimal digits or
// "$" and hexadecimal digits; `def` for any other text and for values outside the 32-bit range.
int32_t ExprInteger(std::string_view text, int32_t def);

}  // namespace sx
