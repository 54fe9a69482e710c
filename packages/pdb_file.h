// Project database files (".pdb"): the XML text of a database, enciphered with DecipherText's
// cipher under a key made of a fixed 10-character constant and the file's length in decimal.
// Engine and builder both take the key from here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sx {

// The key text of a ".pdb" file of `fileSize` bytes: the constant, then the size in decimal
// without leading zeros. Built at run time from the two pieces.
std::string PdbKeyText(size_t fileSize);

// The file bytes of a database text, and back. The file is as long as the text.
std::string EncodePdb(std::string_view xmlText);
std::string DecodePdb(std::string_view fileBytes);

// The XML text of the ".pdb" file at a Windows path, read through the host; an unreadable or
// empty file gives "".
std::string ReadPdbFile(std::string_view path);

}  // namespace sx
