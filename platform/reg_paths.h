// The registry by path: one text names a key ("HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\"),
// a second text names a value in it ("" is the key's default value). Project items, variables,
// the install log, rollback, uninstall registration and resume all keep registry locations in
// this form, and every registry access of the engine goes through these functions.
//
// Paths: the first component "HKCR", "HKCU", "HKLM" or "HKU" (any letter case, no other
// spelling) names the root; a path starting with anything else is a sub-key of
// HKEY_CURRENT_USER. Trailing backslashes are ignored.
//
// Values as text (wherever a value travels as text):
//   REG_SZ, REG_EXPAND_SZ  the string as stored (an expandable string is not expanded);
//   REG_DWORD              unsigned decimal; written from signed or unsigned decimal text;
//   REG_BINARY             two upper-case hexadecimal digits per byte ("0A1BFF");
//   REG_MULTI_SZ           the strings joined by CR LF.
//
// None of these functions raises: each reports failure by its result or falls back to the given
// default. All are safe to call from the main and the copy thread at once (the host registry is).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"

namespace sx {

struct RegPath {
  host::RegRoot root = host::RegRoot::kCurrentUser;
  std::string subKey;  // "" names the root key itself
};

// The root and sub-key of a registry path: "hklm\software\x\" gives HKEY_LOCAL_MACHINE and
// "software\x"; "HKEY_LOCAL_MACHINE\Software" gives HKEY_CURRENT_USER and the whole text.
RegPath RegSplitPath(std::string_view path);

// The type code of the value (1 REG_SZ, 2 REG_EXPAND_SZ, 3 REG_BINARY, 4 REG_DWORD,
// 7 REG_MULTI_SZ, ...); 0 when the key or the value is missing.
uint32_t RegValueType(std::string_view keyPath, std::string_view valueName);
// The size of the value's data in bytes (string types with their terminating zeros); 0 when it
// is missing.
uint32_t RegValueSize(std::string_view keyPath, std::string_view valueName);
// The raw data into `buffer` (`*size` bytes of room). Without a buffer only the size is told.
// On success `*size` is the data size; when the room is too small the result is false and
// `*size` tells the room needed.
bool RegReadRaw(std::string_view keyPath, std::string_view valueName, void* buffer,
                uint32_t* size);
// The raw data of any type; false (and `data` empty) when the value cannot be read.
bool RegReadBinary(std::string_view keyPath, std::string_view valueName,
                   std::vector<uint8_t>& data);
// The data as two upper-case hexadecimal digits per byte; `def` when it cannot be read.
std::string RegReadHex(std::string_view keyPath, std::string_view valueName, std::string_view def);
// At most 4 bytes of any type as a little-endian integer (shorter data is zero-extended); `def`
// when the value cannot be read or is longer than 4 bytes.
int32_t RegReadInteger(std::string_view keyPath, std::string_view valueName, int32_t def);
// The value as text by its stored type (see the file comment); `def` when it is missing or of
// another type.
std::string RegReadString(std::string_view keyPath, std::string_view valueName,
                          std::string_view def);
// Replaces the list with the names of the key's direct sub-keys (empty when the key is missing).
void RegEnumKeys(std::string_view keyPath, std::vector<std::string>& list);

// Creates every missing key of the path and sets the value to the raw bytes.
bool RegWriteRaw(std::string_view keyPath, std::string_view valueName, uint32_t type,
                 const void* data, uint32_t size);
// REG_SZ with its terminating zero.
bool RegWriteString(std::string_view keyPath, std::string_view valueName, std::string_view text);
// REG_DWORD, 4 bytes.
bool RegWriteInteger(std::string_view keyPath, std::string_view valueName, uint32_t value);
// REG_BINARY.
bool RegWriteBinary(std::string_view keyPath, std::string_view valueName, const void* data,
                    uint32_t size);
bool RegWriteBinary(std::string_view keyPath, std::string_view valueName,
                    const std::vector<uint8_t>& data);
// REG_BINARY from hexadecimal text: spaces are removed, the digits taken in pairs (a trailing odd
// digit is ignored), a pair that is not hexadecimal gives the byte 0. "0A 1b f" stores 0A 1B.
bool RegWriteHex(std::string_view keyPath, std::string_view valueName, std::string_view hex);
// REG_MULTI_SZ: every line followed by a zero byte, and a final zero ("a", "b" is a\0b\0\0).
// CRs inside a line split it, LFs are dropped.
bool RegWriteMultiString(std::string_view keyPath, std::string_view valueName,
                         const std::vector<std::string>& lines);
// REG_MULTI_SZ from a text split into lines at CR LF, CR or LF.
bool RegWriteMultiText(std::string_view keyPath, std::string_view valueName, std::string_view text);
// Writes the text as a value of the type: 1 and 2 as REG_SZ (an expandable string is written
// back as REG_SZ), 3 as hexadecimal text, 4 as decimal text, 7 as lines. Any other type: false,
// and nothing is written.
bool RegWriteTyped(std::string_view keyPath, std::string_view valueName, uint32_t type,
                   std::string_view text);

bool RegKeyExists(std::string_view keyPath);
bool RegValueExists(std::string_view keyPath, std::string_view valueName);
bool RegDeleteValue(std::string_view keyPath, std::string_view valueName);
// Deletes the key; with `recursive` its whole sub-tree first (any depth, without recursion on the
// stack). Without it a key that has sub-keys is refused and stays. The result is the deletion of
// the key itself. A root key is never deleted, and with it nothing below it: a path that names a
// root ("HKLM", "HKCU\") gives false at once.
bool RegDeleteKeyPath(std::string_view keyPath, bool recursive);
// `prefix` followed by a random decimal number in 0..2147483646 that no value of the key has.
std::string RegUniqueValueName(std::string_view keyPath, std::string_view prefix);

}  // namespace sx
