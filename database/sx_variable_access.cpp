#include "database/sx_variable_access.h"

#include <memory>
#include <optional>

#include "database/sx_main_database.h"
#include "database/sx_package.h"
#include "platform/ini_cache.h"
#include "platform/reg_paths.h"
#include "util/errors.h"
#include "util/str_utils.h"
#include "xml/xml_prop_text.h"

namespace sx {
namespace {

// Nesting of expansions on this thread, and whether the current outermost expansion has already
// met the depth limit. A count per thread keeps the copy thread's expansions from adding to the
// main thread's.
thread_local int expansionDepth = 0;
thread_local bool expansionCut = false;
// The work of the current outermost expansion: references followed and bytes produced on all its
// levels, and whether it went over its budget.
thread_local std::size_t expansionReferences = 0;
thread_local std::size_t expansionProduced = 0;
thread_local bool expansionOverBudget = false;

// Where a container's lookups go: its own variables, then the root's (none for the root itself
// or for a package outside any root).
struct TVariableScope {
  TsxVariables* own = nullptr;
  TsxVariables* root = nullptr;
};

TsxMainDatabase* RootOfPackage(const TsxPackage& package) {
  return package.Owner ? dynamic_cast<TsxMainDatabase*>(package.Owner->Owner) : nullptr;
}

TVariableScope ScopeOf(TXMLObject* container) {
  if (!container) throw EEngineError("Package database was not assigned.");
  if (auto* root = dynamic_cast<TsxMainDatabase*>(container)) return {root->Variables.get(), nullptr};
  if (auto* package = dynamic_cast<TsxPackage*>(container)) {
    TsxMainDatabase* root = RootOfPackage(*package);
    return {package->Variables.get(), root ? root->Variables.get() : nullptr};
  }
  throw EEngineError("Wrong class has been specified.");
}

TsxVariable* FindIn(const TVariableScope& scope, std::string_view name) {
  if (TsxVariable* variable = scope.own->FindVariable(name)) return variable;
  return scope.root ? scope.root->FindVariable(name) : nullptr;
}

// Expands a source text of a variable in the root or package that holds the variable; a
// variable held by neither takes the text as it stands.
std::string ExpandInHolder(const TsxVariable& variable, std::string_view text) {
  TXMLObject* holder = variable.Owner ? variable.Owner->Owner : nullptr;
  if (!dynamic_cast<TsxMainDatabase*>(holder) && !dynamic_cast<TsxPackage*>(holder))
    return std::string(text);
  return ExpandText(holder, text);
}

// Counts `bytes` produced by the current expansion; false once it is over its budget.
bool ChargeExpansion(std::size_t references, std::size_t bytes) {
  expansionReferences += references;
  expansionProduced += bytes;
  if (expansionReferences > kMaxExpansionReferences || expansionProduced > kMaxExpansionOutput)
    expansionOverBudget = true;
  return !expansionOverBudget;
}

// True when `value` is "%" + name + "%" ignoring case.
bool IsOwnReference(std::string_view value, std::string_view name) {
  return value.size() == name.size() + 2 && value.front() == '%' && value.back() == '%' &&
         SameTextFast(value.substr(1, name.size()), name);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decimal, or hexadecimal after "$" or "0x" (at most 32 bits, taken as two's complement).
std::optional<std::int32_t> IntegerOf(std::string_view text) {
  if (auto decimal = DecimalToInt32(text)) return decimal;
  std::string trimmed = Trim(text);
  std::string_view digits = trimmed;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.starts_with('$')) digits.remove_prefix(1);
  else if (digits.starts_with("0x") || digits.starts_with("0X")) digits.remove_prefix(2);
  else return std::nullopt;
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : digits) {
    int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

class TDepthGuard {
 public:
  TDepthGuard() { ++expansionDepth; }
  ~TDepthGuard() {
    if (--expansionDepth == 0) {
      expansionCut = false;
      expansionOverBudget = false;
      expansionReferences = 0;
      expansionProduced = 0;
    }
  }
  TDepthGuard(const TDepthGuard&) = delete;
  TDepthGuard& operator=(const TDepthGuard&) = delete;
};

}  // namespace

TsxVariable* LookupVariable(TXMLObject* container, std::string_view name) {
  return FindIn(ScopeOf(container), name);
}

std::string VariableSourceValue(const TsxVariable& variable) {
  switch (variable.VarType) {
    case TsxVarType::vtReg:
      return RegReadString(ExpandInHolder(variable, variable.RegKey),
                           ExpandInHolder(variable, variable.RegParam), variable.DefValue);
    case TsxVarType::vtIni:
      return IniReadString(ExpandInHolder(variable, variable.IniFile),
                           ExpandInHolder(variable, variable.IniSection),
                           ExpandInHolder(variable, variable.IniParam), variable.DefValue);
    default:
      return variable.Value;
  }
}

std::string ReadVariable(TXMLObject* container, std::string_view name, std::string_view def) {
  if (name.empty()) return {};
  TsxVariable* variable = LookupVariable(container, name);
  std::string result = variable ? VariableSourceValue(*variable) : std::string(def);
  if (IsOwnReference(result, name)) return result;
  return ExpandText(container, result);
}

std::int32_t ReadVariableInt(TXMLObject* container, std::string_view name, std::int32_t def) {
  return IntegerOf(ReadVariable(container, name, std::to_string(def))).value_or(def);
}

bool ReadVariableBool(TXMLObject* container, std::string_view name, bool def) {
  return ReadVariableInt(container, name, def ? 1 : 0) != 0;
}

void WriteVariable(TXMLObject* container, std::string_view name, std::string_view value) {
  if (name.empty()) return;
  TVariableScope scope = ScopeOf(container);
  if (TsxVariable* variable = FindIn(scope, name)) {
    variable->Value = value;
    return;
  }
  auto variable = std::make_unique<TsxVariable>();
  variable->Name = name;
  variable->Value = value;
  (scope.root ? scope.root : scope.own)->Add(std::move(variable));
}

void WriteVariableInt(TXMLObject* container, std::string_view name, std::int32_t value) {
  WriteVariable(container, name, std::to_string(value));
}

void WriteVariableBool(TXMLObject* container, std::string_view name, bool value) {
  WriteVariable(container, name, value ? "1" : "0");
}

std::string PathVariableText(std::string_view path) {
  std::string text = Trim(path);
  if (!text.empty() && text.back() == '\\') text.pop_back();
  return text;
}

void WriteVariablePath(TXMLObject* container, std::string_view name, std::string_view path) {
  WriteVariable(container, name, PathVariableText(path));
}

void WriteSystemVariable(TXMLObject* root, std::string_view name, std::string_view value) {
  if (name.empty()) return;
  WriteVariable(root, name, value);
  if (TsxVariable* variable = LookupVariable(root, name)) variable->Transient = true;
}

void WriteSystemPathVariable(TXMLObject* root, std::string_view name, std::string_view path) {
  WriteSystemVariable(root, name, PathVariableText(path));
}

std::string InfiniteReferenceText(std::string_view text) {
  std::string message = "***** Infinite reference in the string \"";
  message += text;
  message += "\" *****";
  return message;
}

int ExpansionDepth() { return expansionDepth; }

std::string ExpandText(TXMLObject* container, std::string_view text) {
  return ExpandTextEx(container, text, false);
}

std::string ExpandTextEx(TXMLObject* container, std::string_view text, bool dropUnresolved) {
  TDepthGuard depth;
  // An expansion over its budget stands for a loop of references however deep it went: the
  // outermost level gives the infinite-reference text, the levels below it stop at once.
  auto overBudget = [&] { return expansionDepth == 1 ? InfiniteReferenceText(text) : std::string(); };
  if (expansionOverBudget) return overBudget();
  // Past the limit the text stands for a loop of references. From then on the rest of this
  // outermost expansion expands nothing more: a value holding its own reference twice would
  // otherwise double the work on every level.
  if (expansionDepth > kMaxExpansionDepth || expansionCut) {
    expansionCut = true;
    std::string message = InfiniteReferenceText(text);
    if (!ChargeExpansion(0, message.size())) return overBudget();
    return message;
  }
  std::string output;
  output.reserve(text.size());
  std::size_t position = 0;
  while (position < text.size()) {
    std::size_t open = text.find('%', position);
    if (open == std::string_view::npos) {
      output.append(text.substr(position));
      break;
    }
    output.append(text.substr(position, open - position));
    if (open + 1 < text.size() && text[open + 1] == '%') {
      output += '%';
      position = open + 2;
      continue;
    }
    std::size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) {
      output.append(text.substr(open));
      break;
    }
    std::string_view name = text.substr(open + 1, close - open - 1);
    std::string_view asWritten = text.substr(open, close - open + 1);
    if (!ChargeExpansion(1, 0)) return overBudget();
    const std::string value = ReadVariable(container, name, dropUnresolved ? std::string_view() : asWritten);
    if (expansionOverBudget || !ChargeExpansion(0, value.size())) return overBudget();
    output += value;
    position = close + 1;
  }
  if (output.find("||") != std::string::npos) return ReplaceAll(output, "||", "\r\n");
  return output;
}

}  // namespace sx
