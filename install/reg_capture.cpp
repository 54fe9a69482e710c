#include "install/reg_capture.h"

#include <optional>

#include "host/host.h"
#include "install/install_actions.h"
#include "platform/reg_paths.h"

namespace sx {
namespace {

std::string HexOf(std::string_view data) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(data.size() * 2);
  for (unsigned char c : data) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Pairs of digits; blanks are skipped, an odd last digit ignored, a pair that is not hexadecimal
// gives 0 (as the registry functions read hexadecimal text).
std::string BytesOfHex(std::string_view text) {
  std::string digits;
  for (char c : text)
    if (c != ' ') digits += c;
  std::string data;
  for (size_t i = 0; i + 1 < digits.size(); i += 2) {
    int high = HexDigit(digits[i]), low = HexDigit(digits[i + 1]);
    data += static_cast<char>(high < 0 || low < 0 ? 0 : high * 16 + low);
  }
  return data;
}

std::string BytesOfText(std::uint32_t type, std::string_view text) {
  switch (type) {
    case host::kRegSz:
    case host::kRegExpandSz:
      return std::string(text) + '\0';
    case host::kRegBinary:
      return BytesOfHex(text);
    case host::kRegDword: {
      std::string digits(text);
      uint32_t value = 0;
      try {
        value = static_cast<uint32_t>(std::stoll(digits, nullptr, 10));
      } catch (...) {
        value = 0;
      }
      std::string data(4, '\0');
      for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
      return data;
    }
    case host::kRegMultiSz: {
      std::string data;
      std::string line;
      for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
          data += line + '\0';
          line.clear();
          if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
          line += c;
        }
      }
      if (!line.empty() || text.empty()) data += line + '\0';
      return data + '\0';
    }
    default:
      return std::string(text);
  }
}

// The registry functions' text of the value, when there is one.
std::optional<std::string> TextOf(std::uint32_t type, std::string_view data) {
  switch (type) {
    case host::kRegSz:
    case host::kRegExpandSz:
      if (data.empty()) return std::nullopt;
      return std::string(data.substr(0, data.size() - 1));
    case host::kRegBinary:
      return HexOf(data);
    case host::kRegDword: {
      if (data.size() != 4) return std::nullopt;
      uint32_t value = 0;
      for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(data[i]);
      return std::to_string(value);
    }
    case host::kRegMultiSz: {
      std::string text;
      size_t start = 0;
      while (start < data.size()) {
        size_t end = data.find('\0', start);
        if (end == std::string_view::npos || end == start) break;
        if (!text.empty()) text += "\r\n";
        text.append(data.substr(start, end - start));
        start = end + 1;
      }
      return text;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace

void RegTextOf(std::uint32_t type, std::string_view data, std::int32_t& oldType,
               std::string& oldValue) {
  if (auto text = TextOf(type, data); text && BytesOfText(type, *text) == data) {
    oldType = static_cast<std::int32_t>(type);
    oldValue = std::move(*text);
    return;
  }
  oldType = static_cast<std::int32_t>(type & 0xFFFF) | kRegRawHexFlag;
  oldValue = HexOf(data);
}

TRegBytes RegBytesOf(std::int32_t oldType, std::string_view oldValue) {
  TRegBytes bytes;
  if (oldType & kRegRawHexFlag) {
    bytes.type = static_cast<std::uint32_t>(oldType & ~kRegRawHexFlag);
    bytes.data = BytesOfHex(oldValue);
  } else {
    bytes.type = static_cast<std::uint32_t>(oldType);
    bytes.data = BytesOfText(bytes.type, oldValue);
  }
  return bytes;
}

void CaptureRegValue(TInstallReg& action, std::string_view keyPath, std::string_view valueName) {
  action.Key = keyPath;
  action.Param = valueName;
  RegPath path = RegSplitPath(keyPath);
  auto value = host::CurrentHost().RegQueryValue(path.root, path.subKey, valueName);
  action.Existed = value.has_value();
  if (value) {
    RegTextOf(value->type, value->data, action.OldType, action.OldValue);
  } else {
    action.OldType = 0;
    action.OldValue.clear();
  }
}

}  // namespace sx
