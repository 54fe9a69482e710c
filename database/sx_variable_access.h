// Reading, writing and expanding project variables: the only way the engine, the evaluator and
// the plug-ins reach a variable's value.
//
// A container is the root (TsxMainDatabase) or a package (TsxPackage). A package looks in its own
// variables first and then in those of the root that holds it. Of several variables of one name
// the first in list order whose condition holds wins (TsxVariables::FindByName). Values are
// expanded every time they are read, so a value may refer to other variables, and a registry or
// INI variable reads its source anew on every read.
//
// Text expansion replaces every "%Name%" by the variable's value, "%%" by "%", and "||" by CR LF.
// A reference to a missing variable stays as written (or is dropped on request). Nested
// expansions are counted; beyond 100 levels a text expands to the infinite-reference message
// instead, so that a variable referring to itself ends with that message inside the result.
//
// Failures raise EEngineError: "Package database was not assigned." for a missing container,
// "Wrong class has been specified." for an object that is neither root nor package. Registry and
// INI reads that fail give the variable's DefValue. One thread at a time, like the model.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "database/sx_variable.h"

namespace sx {

class TXMLObject;

// The deepest nesting of expansions; a deeper one yields the infinite-reference message.
inline constexpr int kMaxExpansionDepth = 100;
// The work one expansion may do, all its levels together: references followed and bytes
// produced. Values that refer to each other several times each grow exponentially within the
// depth limit; past these bounds the expansion yields the infinite-reference text of the
// outermost text, as a loop does.
inline constexpr std::size_t kMaxExpansionReferences = 1000000;
inline constexpr std::size_t kMaxExpansionOutput = 8u << 20;

// The variable `name` as the container sees it (package first, then the root), or nullptr.
TsxVariable* LookupVariable(TXMLObject* container, std::string_view name);
// The variable's value before expansion: Value, or the registry or INI value it names (with its
// key, value name, file, section and key expanded in the container that holds the variable),
// or DefValue when that cannot be read.
std::string VariableSourceValue(const TsxVariable& variable);

// The expanded value of the variable, `def` (expanded as well) when there is none. A value that
// is exactly the variable's own reference ("%Name%", any letter case) is returned unexpanded.
// An empty name gives "".
std::string ReadVariable(TXMLObject* container, std::string_view name, std::string_view def);
// The value as a 32-bit integer (decimal, or hexadecimal after "$" or "0x", blanks around
// allowed); `def` when the variable is missing or the value is no such number.
std::int32_t ReadVariableInt(TXMLObject* container, std::string_view name, std::int32_t def);
// ReadVariableInt with 1 or 0 as the default; non-zero is true.
bool ReadVariableBool(TXMLObject* container, std::string_view name, bool def);

// Sets the Value of the variable the container sees under `name`. When there is none, a new
// plain variable without condition is appended to the root's variables (also when a package was
// named; a package that belongs to no root keeps it itself). An empty name does nothing. Values
// of registry and INI variables come from their source, so writing them changes nothing visible.
void WriteVariable(TXMLObject* container, std::string_view name, std::string_view value);
void WriteVariableInt(TXMLObject* container, std::string_view name, std::int32_t value);
void WriteVariableBool(TXMLObject* container, std::string_view name, bool value);
// The path without blanks and control characters around it and without one trailing backslash
// ("C:\Temp\" is stored as "C:\Temp").
void WriteVariablePath(TXMLObject* container, std::string_view name, std::string_view path);
std::string PathVariableText(std::string_view path);

// WriteVariable / WriteVariablePath on the root, then the variable found under the name is
// marked Transient: defined by the engine, never saved. An empty name does nothing.
void WriteSystemVariable(TXMLObject* root, std::string_view name, std::string_view value);
void WriteSystemPathVariable(TXMLObject* root, std::string_view name, std::string_view path);

// The text with every reference expanded; ExpandTextEx(container, text, false).
std::string ExpandText(TXMLObject* container, std::string_view text);
// With `dropUnresolved`, references to missing variables expand to "" instead of staying.
std::string ExpandTextEx(TXMLObject* container, std::string_view text, bool dropUnresolved);

// The current nesting of expansions on this thread (0 outside any expansion).
int ExpansionDepth();

// The text that stands for an expansion nested too deeply.
std::string InfiniteReferenceText(std::string_view text);

}  // namespace sx
