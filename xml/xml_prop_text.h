// Properties as text: the forms in which simple properties are written to and read from XML
// attributes.
//
//   string       as it is; read unchanged
//   integer      decimal; text that is no 32-bit decimal number reads as 0
//   Boolean      BooleanTexts ("1"/"0"); only "1" reads as true
//   enumeration  the value name without the prefix; read as prefix + text, ignoring case, and a
//                text that names no value reads as ordinal 0
//   set          member names without the prefix, in ordinal order, joined by ","; read piece by
//                piece (trimmed), pieces that name nothing or an ordinal above 31 are ignored
//   character    the character; read as the first character
//   floating     general decimal form; unreadable text reads as 0
// Object and tag properties have no text form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "xml/xml_property.h"

namespace sx {

class TXMLObject;

// The text of the property named `propName` (ignoring case); "" when the class has none.
std::string GetPropText(const TXMLObject& object, std::string_view propName, std::string_view prefix);
// Sets the property named `propName` (ignoring case) from text. Nothing happens when the class
// has no such property or it cannot be written.
void SetPropText(TXMLObject& object, std::string_view propName, std::string_view text,
                 std::string_view prefix);

// The same for a property already looked up.
std::string PropertyText(const TXMLObject& object, const TPropInfo& property, std::string_view prefix);
void SetPropertyText(TXMLObject& object, const TPropInfo& property, std::string_view text,
                     std::string_view prefix);

// The 32-bit decimal number of the text (optional sign, digits, blanks around); nullopt when the
// text is no such number.
std::optional<std::int32_t> DecimalToInt32(std::string_view text);

}  // namespace sx
