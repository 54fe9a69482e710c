#include "tools/sxbuild/variable_references.h"

#include <set>
#include <string_view>
#include <utility>

#include "database/sx_system_variables.h"
#include "util/case_tables.h"
#include "xml/xml_tag.h"

namespace sx::build {
namespace {

// Variables every Windows computer has in its environment, which the engine imports.
constexpr const char* kWindowsEnvironment[] = {
    "ALLUSERSPROFILE", "APPDATA", "CommonProgramFiles", "CommonProgramFiles(x86)", "CommonProgramW6432",
    "COMPUTERNAME", "ComSpec", "HOMEDRIVE", "HOMEPATH", "LOCALAPPDATA", "LOGONSERVER",
    "NUMBER_OF_PROCESSORS", "OS", "PATH", "PATHEXT", "PROCESSOR_ARCHITECTURE", "PROCESSOR_IDENTIFIER",
    "PROCESSOR_LEVEL", "PROCESSOR_REVISION", "ProgramData", "ProgramFiles(x86)", "ProgramW6432",
    "PROMPT", "PUBLIC", "SystemDrive", "SystemRoot", "TEMP", "TMP", "USERDOMAIN", "USERNAME",
    "USERPROFILE", "windir"};

// Variables the engine sets while it runs, beside the system variables it defines at start-up:
// the chosen language, the code page of its texts, and each package's "presetup" folder.
constexpr const char* kSetAtRunTime[] = {"LangID", "Charset", "Presetup"};

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(UpperTable[static_cast<unsigned char>(c)]);
  return out;
}

// Names as the engine would look them up; texts with blanks between two percent signs ("50% off,
// 20% more") are prose, not references.
bool LooksLikeName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name)
    if (static_cast<unsigned char>(c) <= ' ' || c == '\'' || c == '"') return false;
  return true;
}

// Calls `found` with every name referenced in `text`, by the engine's scanning rules ("%%" is a
// percent sign; a "%" without a closing one is text).
template <typename Found>
void ForEachReference(std::string_view text, Found&& found) {
  size_t position = 0;
  while (position < text.size()) {
    const size_t open = text.find('%', position);
    if (open == std::string_view::npos) return;
    if (open + 1 < text.size() && text[open + 1] == '%') {
      position = open + 2;
      continue;
    }
    const size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) return;
    found(text.substr(open + 1, close - open - 1));
    position = close + 1;
  }
}

// The first argument of every SetVariable('Name', ...) call in the text.
void AddSetVariableNames(std::string_view text, std::set<std::string>& names) {
  const std::string upper = Upper(text);
  for (size_t at = upper.find("SETVARIABLE"); at != std::string::npos; at = upper.find("SETVARIABLE", at + 1)) {
    size_t i = at + 11;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i >= text.size() || text[i] != '(') continue;
    ++i;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i >= text.size() || (text[i] != '\'' && text[i] != '"')) continue;
    const size_t end = text.find(text[i], i + 1);
    if (end != std::string_view::npos) names.insert(Upper(text.substr(i + 1, end - i - 1)));
  }
}

std::string AttributeValue(const TXMLTag& tag, std::string_view name) {
  for (const std::string& attribute : tag.Attributes) {
    const size_t equals = attribute.find('=');
    if (equals == name.size() && SameTextFast(std::string_view(attribute).substr(0, equals), name))
      return attribute.substr(equals + 1);
  }
  return {};
}

// "<component id="core">"; the id, else the name, identifies an element.
std::string Describe(const TXMLTag& tag) {
  for (const char* key : {"id", "name"}) {
    const std::string value = AttributeValue(tag, key);
    if (!value.empty()) return "<" + tag.Name() + " " + key + "=\"" + value + "\">";
  }
  return "<" + tag.Name() + ">";
}

// The element and the elements around it that have an id or a name (the nearest three among the
// 64 around it: enough to find it, and bounded however deep the file nests).
std::string Where(const TXMLTag& tag) {
  std::string where = Describe(tag);
  int named = 0, steps = 0;
  for (const TXMLTag* up = tag.Parent(); up && up->Parent() && named < 3 && steps < 64; up = up->Parent(), ++steps) {
    const std::string around = Describe(*up);
    if (around.find('=') == std::string::npos) continue;
    where += " in " + around;
    ++named;
  }
  return where;
}

// Every element of the tree, depth first, without recursion (projects may nest deeply).
template <typename Visit>
void ForEachElement(const TXMLTag& root, Visit&& visit) {
  std::vector<const TXMLTag*> stack = {&root};
  while (!stack.empty()) {
    const TXMLTag* tag = stack.back();
    stack.pop_back();
    if (tag->Kind != xkElement) continue;
    visit(*tag);
    for (int i = tag->Children.Count(); i-- > 0;) stack.push_back(&tag->Children[i]);
  }
}

}  // namespace

std::vector<std::string> UnknownVariableReferences(const TXMLTag& project,
                                                   const std::vector<std::string>& projectVariables) {
  std::set<std::string> known;
  for (const std::string& name : projectVariables) known.insert(Upper(name));
  for (const std::string& name : SystemVariableNames()) known.insert(Upper(name));
  for (const char* name : kWindowsEnvironment) known.insert(Upper(name));
  for (const char* name : kSetAtRunTime) known.insert(Upper(name));
  ForEachElement(project, [&](const TXMLTag& tag) {
    for (const std::string& attribute : tag.Attributes) AddSetVariableNames(attribute, known);
  });

  std::vector<std::string> warnings;
  ForEachElement(project, [&](const TXMLTag& tag) {
    std::set<std::string> reported;
    for (const std::string& attribute : tag.Attributes) {
      const size_t equals = attribute.find('=');
      const std::string_view value = std::string_view(attribute).substr(equals + 1);
      ForEachReference(value, [&](std::string_view name) {
        if (!LooksLikeName(name) || known.count(Upper(name)) || !reported.insert(Upper(name)).second) return;
        warnings.push_back(Where(tag) + ", attribute " + attribute.substr(0, equals) + ": %" + std::string(name) +
                           "% is neither a variable of the project nor one the engine defines");
      });
    }
  });
  return warnings;
}

}  // namespace sx::build
