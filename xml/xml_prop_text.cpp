#include "xml/xml_prop_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>

#include "util/case_tables.h"
#include "util/number_text.h"
#include "xml/xml_class.h"
#include "xml/xml_object.h"
#include "xml/xml_settings.h"
#include "xml/xml_text.h"

namespace sx {
namespace {

// The value name without the prefix (when it starts with it).
std::string_view WithoutPrefix(std::string_view name, std::string_view prefix) {
  if (!prefix.empty() && name.size() >= prefix.size() && SameTextFast(name.substr(0, prefix.size()), prefix))
    return name.substr(prefix.size());
  return name;
}

// The ordinal of the value named prefix + text (ignoring case), or -1.
int OrdinalOf(std::span<const std::string_view> names, std::string_view prefix, std::string_view text) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string_view name = names[i];
    if (name.size() == prefix.size() + text.size() && SameTextFast(name.substr(0, prefix.size()), prefix) &&
        SameTextFast(name.substr(prefix.size()), text))
      return static_cast<int>(i);
  }
  return -1;
}

std::string SetText(std::span<const std::string_view> names, std::string_view prefix, std::uint32_t bits) {
  std::string text;
  for (std::size_t i = 0; i < names.size() && i < 32; ++i) {
    if ((bits & (std::uint32_t{1} << i)) == 0) continue;
    if (!text.empty()) text += ',';
    text += WithoutPrefix(names[i], prefix);
  }
  return text;
}

std::uint32_t SetFromText(std::span<const std::string_view> names, std::string_view prefix, std::string_view text) {
  std::uint32_t bits = 0;
  while (!text.empty()) {
    std::size_t comma = text.find(',');
    std::string_view piece = TrimBlanks(text.substr(0, comma));
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    int ordinal = OrdinalOf(names, prefix, piece);
    if (ordinal >= 0 && ordinal <= 31) bits |= std::uint32_t{1} << ordinal;
  }
  return bits;
}

std::string FloatText(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::optional<std::int32_t> DecimalToInt32(std::string_view text) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > std::int64_t{2147483648}) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::string PropertyText(const TXMLObject& object, const TPropInfo& property, std::string_view prefix) {
  const TPropAccess& a = property.Access;
  switch (property.Kind) {
    case TPropKind::pkString:
      return std::string(a.GetString(object));
    case TPropKind::pkInteger:
      return std::to_string(a.GetOrdinal(object));
    case TPropKind::pkBoolean:
      return XMLSettings().BooleanTexts[a.GetOrdinal(object) != 0 ? 1 : 0];
    case TPropKind::pkEnumeration: {
      std::int64_t ordinal = a.GetOrdinal(object);
      if (ordinal < 0 || ordinal >= static_cast<std::int64_t>(property.ValueNames.size())) return "";
      return std::string(WithoutPrefix(property.ValueNames[static_cast<std::size_t>(ordinal)], prefix));
    }
    case TPropKind::pkSet:
      return SetText(property.ValueNames, prefix, static_cast<std::uint32_t>(a.GetOrdinal(object)));
    case TPropKind::pkChar:
      return std::string(1, static_cast<char>(a.GetOrdinal(object)));
    case TPropKind::pkFloat:
      return FloatText(a.GetFloat(object));
    case TPropKind::pkObject:
    case TPropKind::pkTag:
      break;
  }
  return "";
}

void SetPropertyText(TXMLObject& object, const TPropInfo& property, std::string_view text,
                     std::string_view prefix) {
  if (!property.Writable) return;
  const TPropAccess& a = property.Access;
  switch (property.Kind) {
    case TPropKind::pkString:
      a.SetString(object, text);
      break;
    case TPropKind::pkInteger:
      a.SetOrdinal(object, DecimalToInt32(text).value_or(0));
      break;
    case TPropKind::pkBoolean:
      a.SetOrdinal(object, text == XMLSettings().BooleanTexts[1] ? 1 : 0);
      break;
    case TPropKind::pkEnumeration:
      a.SetOrdinal(object, std::max(0, OrdinalOf(property.ValueNames, prefix, text)));
      break;
    case TPropKind::pkSet:
      a.SetOrdinal(object, SetFromText(property.ValueNames, prefix, text));
      break;
    case TPropKind::pkChar:
      a.SetOrdinal(object, text.empty() ? 0 : static_cast<unsigned char>(text.front()));
      break;
    case TPropKind::pkFloat:
      a.SetFloat(object, static_cast<double>(TextToNumber(text, 0)));
      break;
    case TPropKind::pkObject:
    case TPropKind::pkTag:
      break;
  }
}

std::string GetPropText(const TXMLObject& object, std::string_view propName, std::string_view prefix) {
  const TPropInfo* property = object.ClassInfo().FindProperty(propName);
  return property ? PropertyText(object, *property, prefix) : std::string();
}

void SetPropText(TXMLObject& object, std::string_view propName, std::string_view text,
                 std::string_view prefix) {
  if (const TPropInfo* property = object.ClassInfo().FindProperty(propName))
    SetPropertyText(object, *property, text, prefix);
}

}  // namespace sx
