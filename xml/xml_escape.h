// The one character escape of the engine's XML: the hexadecimal character reference "&#xHH;",
// used in attribute values only.
#pragma once

#include <string>
#include <string_view>

namespace sx {

// Decodes the references of a raw attribute value and trims the result of leading and trailing
// characters up to space. The value is scanned from its end, so a decoded "&" never starts a
// second reference; a reference needs "&#x" and three more characters, the sixth one is dropped
// whatever it is, and two digits that are not hexadecimal give the character 0.
std::string DecodeAttributeValue(std::string_view value);

// Writes control characters, "&", the codes 0x7F-0xBF and `quote` as "&#xHH;" (upper-case
// digits); every other character, "<" and ">" included, is written as it is.
std::string EncodeAttributeValue(std::string_view value, char quote);

}  // namespace sx
