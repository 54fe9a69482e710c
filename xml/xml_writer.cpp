// Writing a tag tree as indented XML text. Lines end in CR LF; text and comment nodes are written
// without indent; the walk keeps its own stack, so any depth can be written.
#include <string>
#include <vector>

#include "xml/xml_escape.h"
#include "xml/xml_settings.h"
#include "xml/xml_tag.h"
#include "xml/xml_text.h"

namespace sx {
namespace {

// Indentation stops growing at this depth. Every line of a document nested deeper than that gets
// the same indent, so that the written text stays proportional to the tree instead of growing
// with the square of its depth (a 100,000-level document would otherwise need gigabytes of TABs).
constexpr int kMaxIndentLevel = 128;

void AppendIndent(std::string& out, int level, const TXMLSettings& settings) {
  if (level <= 0) return;
  if (level > kMaxIndentLevel) level = kMaxIndentLevel;
  switch (settings.IndentMode) {
    case TXMLIndentMode::imNone:
      break;
    case TXMLIndentMode::imTabs:
      out.append(static_cast<std::size_t>(level), '\t');
      break;
    case TXMLIndentMode::imSpaces:
      if (settings.IndentSize > 0)
        out.append(static_cast<std::size_t>(level) * static_cast<std::size_t>(settings.IndentSize),
                   ' ');
      break;
  }
}

void AppendAttributesText(std::string& out, const std::vector<std::string>& attributes) {
  std::size_t start = out.size();
  for (const std::string& entry : attributes) {
    std::string_view text = entry;
    std::size_t equals = text.find('=');
    std::string_view name = text.substr(0, equals);
    std::string_view value = equals == std::string_view::npos ? std::string_view() : text.substr(equals + 1);
    char quote = value.find('"') != std::string_view::npos ? '\'' : '"';
    out += name;
    out += '=';
    out += quote;
    out += EncodeAttributeValue(value, quote);
    out += quote;
    out += ' ';
  }
  // The whole attribute part is trimmed at both ends.
  while (out.size() > start && IsTrimmedByte(out.back())) out.pop_back();
  std::size_t first = start;
  while (first < out.size() && IsTrimmedByte(out[first])) ++first;
  out.erase(start, first - start);
}

// Writes the node itself; true when it is an element whose children and end tag must follow.
bool AppendNodeStart(std::string& out, const TXMLTag& tag, int level, const TXMLSettings& settings) {
  if (tag.Kind == xkText || tag.Kind == xkComment) {
    if (TrimBlanks(tag.Text).empty()) return false;
    if (tag.Kind == xkComment) out += "<!--";
    out += tag.Text;
    if (tag.Kind == xkComment) out += "-->";
    out += "\r\n";
    return false;
  }
  if (tag.Name().empty()) return false;
  AppendIndent(out, level, settings);
  out += '<';
  out += tag.Name();
  if (!tag.Attributes.empty()) {
    out += ' ';
    AppendAttributesText(out, tag.Attributes);
  }
  if (tag.Children.Empty()) {
    out += "/>\r\n";
    return false;
  }
  out += ">\r\n";
  return true;
}

void AppendNodeEnd(std::string& out, const TXMLTag& tag, int level, const TXMLSettings& settings) {
  AppendIndent(out, level, settings);
  out += "</";
  out += tag.Name();
  out += ">\r\n";
}

}  // namespace

std::string TXMLTag::AttributesText() const {
  std::string out;
  AppendAttributesText(out, Attributes);
  return out;
}

std::string TXMLTag::GetXML(int level) const {
  const TXMLSettings& settings = XMLSettings();
  std::string out;
  struct Frame {
    const TXMLTag* tag;
    int level;
    int next;  // index of the next child to write
  };
  std::vector<Frame> open;
  if (AppendNodeStart(out, *this, level, settings)) open.push_back({this, level, 0});
  while (!open.empty()) {
    Frame& frame = open.back();
    if (frame.next < frame.tag->Children.Count()) {
      const TXMLTag& child = frame.tag->Children[frame.next++];
      int childLevel = frame.level + 1;
      if (AppendNodeStart(out, child, childLevel, settings)) open.push_back({&child, childLevel, 0});
    } else {
      AppendNodeEnd(out, *frame.tag, frame.level, settings);
      open.pop_back();
    }
  }
  return out;
}

}  // namespace sx
