#include "host/posix/wine_reg_format.h"

#include <cstring>

#include "host/host.h"
#include "host/posix/codepage.h"

namespace sx::host {
namespace {

constexpr std::string_view kHeader = "WINE REGISTRY Version 2";
constexpr std::string_view kRelativeTo = ";; All keys relative to ";
constexpr int64_t kTicks1601To1970 = 116444736000000000LL;
constexpr int64_t kTicksPerSecond = 10000000LL;
// Deeper paths than Windows allows are refused, so no file can make the tree arbitrarily deep.
constexpr size_t kMaxKeyDepth = 512;

// The C escapes Wine writes for control characters; '.' marks those written in octal.
constexpr char kControlEscapes[33] = ".......abtnvfr.............e....";

constexpr char kHexDigits[] = "0123456789abcdef";

inline int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

size_t SkipBlanks(std::string_view s, size_t i) {
  while (i < s.size() && IsBlank(s[i])) ++i;
  return i;
}

bool OnlyBlanksFrom(std::string_view s, size_t i) { return SkipBlanks(s, i) == s.size(); }

void AppendHex(std::string& out, uint64_t value, int minDigits) {
  char buffer[16];
  int n = 0;
  do {
    buffer[n++] = kHexDigits[value & 0xF];
    value >>= 4;
  } while (value != 0 || n < minDigits);
  while (n > 0) out.push_back(buffer[--n]);
}

void AppendDecimal(std::string& out, uint32_t value) {
  char buffer[10];
  int n = 0;
  do {
    buffer[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) out.push_back(buffer[--n]);
}

void AppendUtf16Bytes(std::string& out, std::u16string_view text) {
  size_t at = out.size();
  out.resize(at + text.size() * 2);
  for (char16_t c : text) {
    out[at++] = static_cast<char>(c & 0xFF);
    out[at++] = static_cast<char>(c >> 8);
  }
}

// Reads the file line by line without copying; lines keep no '\n' (nor a '\r' before it).
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  bool Next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    const char* start = text_.data() + pos_;
    const void* nl = std::memchr(start, '\n', text_.size() - pos_);
    size_t end = nl ? static_cast<size_t>(static_cast<const char*>(nl) - text_.data()) : text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = nl ? end + 1 : end;
    ++number_;
    return true;
  }
  size_t Number() const { return number_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  size_t number_ = 0;
};

class Parser {
 public:
  Parser(std::string_view text, const std::string& fileName) : lines_(text), fileName_(fileName) {}

  HiveContent Run() {
    std::string_view line;
    if (!lines_.Next(line) || line != kHeader)
      Damaged("not a Wine registry file (the first line must be \"WINE REGISTRY Version 2\")");
    while (lines_.Next(line)) {
      size_t i = SkipBlanks(line, 0);
      if (i == line.size()) continue;
      line.remove_prefix(i);
      switch (line[0]) {
        case '[':
          KeyLine(line);
          break;
        case '@':
        case '"':
          if (!key_) Damaged("a value before the first key");
          ValueLine(line);
          break;
        case '#':
          if (key_) {
            KeyOption(line);
          } else {
            GlobalOption(line);
          }
          break;
        case ';':
          if (!key_ && content_.relativeTo.empty() && line.starts_with(kRelativeTo)) {
            // Trailing blanks (stray carriage returns of a hand-edited file) are not part of
            // the key path; kept, they would grow by one at every save and load.
            std::string_view path = line.substr(kRelativeTo.size());
            while (!path.empty() && IsBlank(path.back())) path.remove_suffix(1);
            content_.relativeTo = std::string(path);
          }
          break;
        default:
          Damaged("unrecognized line");
      }
    }
    return std::move(content_);
  }

 private:
  [[noreturn]] void Damaged(std::string_view what) const {
    throw MachineError(fileName_ + ":" + std::to_string(lines_.Number()) +
                       ": damaged registry file: " + std::string(what));
  }

  // [Path\\To\\Key] 1796624957
  void KeyLine(std::string_view line) {
    size_t end = ParseWineString(line, 1, ']', wide_);
    if (end == std::string_view::npos) Damaged("key path without closing ']'");
    size_t i = SkipBlanks(line, end);
    uint64_t modified;
    if (i < line.size()) {
      uint64_t seconds = 0;
      size_t digits = 0;
      for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i, ++digits)
        seconds = seconds * 10 + static_cast<uint64_t>(line[i] - '0');
      if (digits == 0 || digits > 10 || seconds > 0xFFFFFFFFull || !OnlyBlanksFrom(line, i))
        Damaged("bad time after the key path");
      modified = seconds * kTicksPerSecond + kTicks1601To1970;
    } else {
      modified = NowFileTimeTicks();
    }

    HiveKey* key = content_.root.get();
    size_t depth = 0;
    if (!wide_.empty()) {
      size_t start = 0;
      for (;;) {
        size_t sep = wide_.find(u'\\', start);
        if (sep == std::u16string::npos) sep = wide_.size();
        std::u16string_view name(wide_.data() + start, sep - start);
        if (name.empty()) Damaged("empty key name in the key path");
        if (depth >= kMaxKeyDepth) Damaged("key path too deep");
        // Wine writes keys depth-first, so most of a path repeats the previous key's path.
        if (depth < path_.size() && path_[depth]->Name() == name) {
          key = path_[depth];
        } else {
          path_.resize(depth);
          key = key->AddChild(name, modified);
          path_.push_back(key);
        }
        ++depth;
        if (sep == wide_.size()) break;
        start = sep + 1;
      }
    }
    path_.resize(depth);
    key->modified = modified;
    key_ = key;
  }

  void KeyOption(std::string_view line) {
    if (line.starts_with("#time=")) {
      uint64_t ticks = 0;
      size_t i = 6, digits = 0;
      for (int h; i < line.size() && (h = HexValue(line[i])) >= 0; ++i, ++digits)
        ticks = (ticks << 4) | static_cast<uint64_t>(h);
      if (digits == 0 || digits > 16 || !OnlyBlanksFrom(line, i)) Damaged("bad #time option");
      key_->modified = ticks;
    } else if (line.starts_with("#class=")) {
      if (line.size() < 8 || line[7] != '"') Damaged("bad #class option");
      size_t end = ParseWineString(line, 8, '"', wide_);
      if (end == std::string_view::npos || !OnlyBlanksFrom(line, end)) Damaged("bad #class option");
      key_->keyClass = wide_;
    } else if (line.starts_with("#link") && OnlyBlanksFrom(line, 5)) {
      key_->link = true;
    } else {
      key_->otherOptions.emplace_back(TrimRight(line));
    }
  }

  void GlobalOption(std::string_view line) {
    line = TrimRight(line);
    if (line.starts_with("#arch=")) {
      std::string_view arch = line.substr(6);
      if (arch != "win32" && arch != "win64") Damaged("unknown architecture in #arch");
    }
    content_.globalOptions.emplace_back(line);
  }

  // "name"=<data> or @=<data>
  void ValueLine(std::string_view line) {
    size_t i;
    if (line[0] == '@') {
      name_.clear();
      i = 1;
    } else {
      i = ParseWineString(line, 1, '"', name_);
      if (i == std::string_view::npos) Damaged("value name without closing quote");
    }
    i = SkipBlanks(line, i);
    if (i >= line.size() || line[i] != '=') Damaged("'=' missing after the value name");
    i = SkipBlanks(line, i + 1);
    std::string_view rest = line.substr(i);

    uint32_t type;
    std::string data;
    if (rest.starts_with('"')) {
      StringData(line, i + 1, data);
      type = kRegSz;
    } else if (rest.starts_with("str:\"")) {
      StringData(line, i + 5, data);
      type = kRegSz;
    } else if (rest.starts_with("str(")) {
      size_t at = i + 4;
      type = TypeNumber(line, at);
      if (line.substr(at).starts_with(":\"")) {
        StringData(line, at + 2, data);
      } else {
        Damaged("bad str(...) value");
      }
    } else if (rest.starts_with("dword:")) {
      uint32_t value = 0;
      size_t at = i + 6, digits = 0;
      for (int h; at < line.size() && (h = HexValue(line[at])) >= 0; ++at, ++digits)
        value = (value << 4) | static_cast<uint32_t>(h);
      if (digits == 0 || digits > 8 || !OnlyBlanksFrom(line, at)) Damaged("bad dword value");
      data.resize(4);
      for (int b = 0; b < 4; ++b) data[b] = static_cast<char>((value >> (8 * b)) & 0xFF);
      type = kRegDword;
    } else if (rest.starts_with("hex:")) {
      HexData(line, i + 4, data);
      type = kRegBinary;
    } else if (rest.starts_with("hex(")) {
      size_t at = i + 4;
      type = TypeNumber(line, at);
      if (at >= line.size() || line[at] != ':') Damaged("bad hex(...) value");
      HexData(line, at + 1, data);
    } else {
      Damaged("unknown value type");
    }
    key_->SetValue(name_, type, std::move(data));
  }

  // The hex type number of "str(N)" / "hex(N)" up to and over its ')'.
  uint32_t TypeNumber(std::string_view line, size_t& at) {
    uint32_t type = 0;
    size_t digits = 0;
    for (int h; at < line.size() && (h = HexValue(line[at])) >= 0; ++at, ++digits)
      type = (type << 4) | static_cast<uint32_t>(h);
    if (digits == 0 || digits > 8 || at >= line.size() || line[at] != ')')
      Damaged("bad type number");
    ++at;
    return type;
  }

  // A quoted string from `at` (after the opening quote); data gets it with its terminating NUL.
  void StringData(std::string_view line, size_t at, std::string& data) {
    size_t end = ParseWineString(line, at, '"', wide_);
    if (end == std::string_view::npos) Damaged("string without closing quote");
    if (!OnlyBlanksFrom(line, end)) Damaged("text after the closing quote");
    wide_.push_back(u'\0');
    AppendUtf16Bytes(data, wide_);
  }

  // Comma-separated hex bytes; a backslash at the end of a line continues on the next one.
  void HexData(std::string_view line, size_t at, std::string& data) {
    data.reserve((line.size() - at) / 3 + 1);
    for (;;) {
      at = SkipBlanks(line, at);
      if (at >= line.size()) return;
      int h = HexValue(line[at]);
      if (h >= 0) {
        unsigned value = static_cast<unsigned>(h);
        ++at;
        if (at < line.size() && (h = HexValue(line[at])) >= 0) {
          value = value * 16 + static_cast<unsigned>(h);
          ++at;
        }
        if (at < line.size() && HexValue(line[at]) >= 0) Damaged("hex byte above ff");
        data.push_back(static_cast<char>(value));
        at = SkipBlanks(line, at);
        if (at < line.size() && line[at] == ',') ++at;
      } else if (line[at] == '\\') {
        if (!OnlyBlanksFrom(line, at + 1)) Damaged("text after the line continuation");
        if (!lines_.Next(line)) Damaged("the file ends inside a value");
        at = 0;
      } else {
        Damaged("bad hex data");
      }
    }
  }

  static std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
  }

  LineReader lines_;
  const std::string& fileName_;
  HiveContent content_;
  HiveKey* key_ = nullptr;        // the key the current section belongs to
  std::vector<HiveKey*> path_;    // the keys along the previous key path
  std::u16string wide_, name_;    // reused for every line
};

class Formatter {
 public:
  explicit Formatter(std::string& out) : out_(out) {}

  void Key(const HiveKey& key, const HiveKey& base) {
    bool written = !key.Values().empty() || key.Children().empty() || key.keyClass || key.link ||
                   !key.otherOptions.empty();
    if (written) {
      out_ += "\n[";
      out_ += path_;
      out_ += "] ";
      int64_t seconds = (static_cast<int64_t>(key.modified) - kTicks1601To1970) / kTicksPerSecond;
      AppendDecimal(out_, static_cast<uint32_t>(seconds));
      out_ += "\n#time=";
      AppendHex(out_, key.modified >> 32, 1);
      AppendHex(out_, key.modified & 0xFFFFFFFFu, 8);
      out_ += '\n';
      if (key.keyClass) {
        out_ += "#class=\"";
        AppendWineEscaped(out_, *key.keyClass, '"', '"');
        out_ += "\"\n";
      }
      if (key.link) out_ += "#link\n";
      for (const auto& option : key.otherOptions) {
        out_ += option;
        out_ += '\n';
      }
      for (const auto& value : key.Values()) Value(value);
    }
    for (const auto& child : key.Children()) {
      size_t mark = path_.size();
      if (&key != &base) path_ += "\\\\";
      AppendWineEscaped(path_, child->Name(), '[', ']');
      Key(*child, base);
      path_.resize(mark);
    }
  }

 private:
  void Value(const HiveValue& value) {
    size_t count;
    if (!value.name.empty()) {
      out_ += '"';
      count = 1 + AppendWineEscaped(out_, value.name, '"', '"');
      out_ += "\"=";
      count += 2;
    } else {
      out_ += "@=";
      count = 2;
    }
    const std::string& data = value.data;
    switch (value.type) {
      case kRegSz:
      case kRegExpandSz:
      case kRegMultiSz:
        // Only a whole UTF-16 text that ends with its NUL is written as a string.
        if (data.size() >= 2 && data.size() % 2 == 0 && data[data.size() - 1] == 0 &&
            data[data.size() - 2] == 0) {
          if (value.type != kRegSz) {
            out_ += "str(";
            AppendHex(out_, value.type, 1);
            out_ += "):";
          }
          wide_.resize(data.size() / 2);
          for (size_t i = 0; i < wide_.size(); ++i)
            wide_[i] = static_cast<char16_t>(static_cast<unsigned char>(data[2 * i]) |
                                             (static_cast<unsigned char>(data[2 * i + 1]) << 8));
          out_ += '"';
          // The terminating NUL is implied by the quotes; the reader adds it back.
          AppendWineEscaped(out_, std::u16string_view(wide_).substr(0, wide_.size() - 1), '"', '"');
          out_ += "\"\n";
          return;
        }
        break;
      case kRegDword:
        if (data.size() == 4) {
          uint32_t v = 0;
          for (int b = 3; b >= 0; --b) v = (v << 8) | static_cast<unsigned char>(data[b]);
          out_ += "dword:";
          AppendHex(out_, v, 8);
          out_ += '\n';
          return;
        }
        break;
      default:
        break;
    }
    size_t mark = out_.size();
    if (value.type == kRegBinary) {
      out_ += "hex:";
    } else {
      out_ += "hex(";
      AppendHex(out_, value.type, 1);
      out_ += "):";
    }
    count += out_.size() - mark;
    for (size_t i = 0; i < data.size(); ++i) {
      unsigned char b = static_cast<unsigned char>(data[i]);
      out_ += kHexDigits[b >> 4];
      out_ += kHexDigits[b & 0xF];
      count += 2;
      if (i + 1 < data.size()) {
        out_ += ',';
        if (++count > 76) {
          out_ += "\\\n  ";
          count = 2;
        }
      }
    }
    out_ += '\n';
  }

  std::string& out_;
  std::string path_;  // the escaped path of the key being written
  std::u16string wide_;
};

}  // namespace

size_t AppendWineEscaped(std::string& out, std::u16string_view text, char quote1, char quote2) {
  size_t start = out.size();
  size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    char16_t c = text[i];
    bool more = i + 1 < n;
    if (c > 127) {
      // The reader takes up to four hex digits, so pad when a hex digit follows.
      bool hexFollows = more && text[i + 1] < 128 && HexValue(static_cast<char>(text[i + 1])) >= 0;
      out += "\\x";
      AppendHex(out, c, hexFollows ? 4 : 1);
      continue;
    }
    if (c < 32) {
      out += '\\';
      if (kControlEscapes[c] != '.') {
        out += kControlEscapes[c];
      } else {
        // Octal; three digits when an octal digit follows (the reader takes up to three).
        bool octalFollows = more && text[i + 1] >= u'0' && text[i + 1] <= u'7';
        if (octalFollows) out += '0';  // c < 32: the first of three digits is always 0
        if (octalFollows || c >= 8) out += static_cast<char>('0' + (c >> 3));
        out += static_cast<char>('0' + (c & 7));
      }
      continue;
    }
    if (c == u'\\' || c == static_cast<unsigned char>(quote1) ||
        c == static_cast<unsigned char>(quote2))
      out += '\\';
    out += static_cast<char>(c);
  }
  return out.size() - start;
}

size_t ParseWineString(std::string_view text, size_t pos, char end, std::u16string& out) {
  out.clear();
  const size_t n = text.size();
  size_t i = pos;
  while (i < n) {
    // Plain ASCII runs are the common case: copy them in one go.
    size_t run = i;
    while (run < n && text[run] != end && text[run] != '\\' &&
           static_cast<unsigned char>(text[run]) < 0x80)
      ++run;
    if (run > i) {
      size_t at = out.size();
      out.resize(at + (run - i));
      for (; i < run; ++i) out[at++] = static_cast<unsigned char>(text[i]);
      if (i >= n) break;
    }
    char c = text[i];
    if (c == end) return i + 1;
    if (c == '\\') {
      if (++i >= n) break;
      c = text[i];
      char16_t simple = 0;
      switch (c) {
        case 'a': simple = 7; break;
        case 'b': simple = 8; break;
        case 'e': simple = 27; break;
        case 'f': simple = 12; break;
        case 'n': simple = 10; break;
        case 'r': simple = 13; break;
        case 't': simple = 9; break;
        case 'v': simple = 11; break;
        case 'x': {
          ++i;
          int h;
          if (i >= n || (h = HexValue(text[i])) < 0) {
            out.push_back(u'x');  // "\x" without digits is a plain 'x'
            continue;
          }
          unsigned value = 0;
          for (int k = 0; k < 4 && i < n && (h = HexValue(text[i])) >= 0; ++k, ++i)
            value = value * 16 + static_cast<unsigned>(h);
          out.push_back(static_cast<char16_t>(value));
          continue;
        }
        case '0': case '1': case '2': case '3': case '4': case '5': case '6': case '7': {
          unsigned value = 0;
          for (int k = 0; k < 3 && i < n && text[i] >= '0' && text[i] <= '7'; ++k, ++i)
            value = value * 8 + static_cast<unsigned>(text[i] - '0');
          out.push_back(static_cast<char16_t>(value));
          continue;
        }
        default:
          break;  // any other escaped character stands for itself ("\\", "\"", "\]")
      }
      if (simple) {
        out.push_back(simple);
        ++i;
        continue;
      }
    }
    unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    // Raw UTF-8 (Wine writes escapes, but reads UTF-8 from hand-made files too).
    i += AppendUtf8Character(text, i, out);
  }
  return std::string_view::npos;
}

HiveContent ParseWineRegistry(std::string_view text, const std::string& fileName) {
  return Parser(text, fileName).Run();
}

std::string FormatWineRegistry(const HiveContent& content) {
  std::string out;
  out.reserve(64 * 1024);
  out += kHeader;
  out += '\n';
  out += kRelativeTo;
  out += content.relativeTo;
  out += '\n';
  if (!content.globalOptions.empty()) {
    out += '\n';
    for (const auto& option : content.globalOptions) {
      out += option;
      out += '\n';
    }
  }
  Formatter(out).Key(*content.root, *content.root);
  return out;
}

}  // namespace sx::host
