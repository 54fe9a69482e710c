// Case-insensitive comparison and search with fixed Windows-1251 case tables.
//
// The tables never depend on the user's locale, so names compared with them (operator and
// function names, XML names) behave the same on every machine. They map the ASCII letters, the
// Cyrillic letters 0xC0-0xFF and the letter pairs of 0x80-0xBF of code page 1251; every other
// byte maps to itself.
//
// Positions are 1-based; 0 means "not found". All routines are stateless and thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace sx {

// The upper-case and lower-case form of every byte in Windows-1251.
extern const unsigned char UpperTable[256];
extern const unsigned char LowerTable[256];

// True when both texts have the same length and the same UpperTable image (two empty texts are
// equal).
bool SameTextFast(std::string_view a, std::string_view b);

// Position of the first occurrence of `sub` in `text` at or after position `start`, ignoring case
// by the fixed tables; 0 when either text is empty or nothing is found. A start below 1 counts as
// 1; a start past the end of the text finds nothing.
int PosTextFrom(std::string_view sub, std::string_view text, int start);

// The LowerTable image of the text.
std::string LowerCaseFast(std::string_view text);

// Like PosTextFrom, but case-sensitive.
int PosFrom(std::string_view sub, std::string_view text, int start);

}  // namespace sx
