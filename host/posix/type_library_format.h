// Reading a type library in the MSFT format (what MIDL and widl write into ".tlb" files): the
// library's attributes and the identity of every type it describes. Every offset is checked
// against the data, so a damaged or truncated file is refused, never read past its end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"

namespace sx::host {

// TYPEKIND values and the TYPEFLAGS that decide which interfaces are registered.
enum TypeKind : int {
  kTypeKindEnum = 0, kTypeKindRecord = 1, kTypeKindModule = 2, kTypeKindInterface = 3,
  kTypeKindDispatch = 4, kTypeKindCoClass = 5, kTypeKindAlias = 6, kTypeKindUnion = 7,
};
enum TypeFlag : uint32_t {
  kTypeFlagDual = 0x40,
  kTypeFlagOleAutomation = 0x100,
};

struct TypeLibTypeInfo {
  int kind = 0;
  uint32_t flags = 0;
  std::string guid;  // "{...}" upper case; "" when the type has none
  std::string name;
};

struct TypeLibContents {
  TypeLibInfo library;
  std::vector<TypeLibTypeInfo> types;
};

// The contents of an MSFT type library, or std::nullopt when `data` is not one or is damaged.
std::optional<TypeLibContents> ParseMsftTypeLibrary(std::string_view data);

}  // namespace sx::host
