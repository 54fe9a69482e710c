// Tokens and fields of a text, split by a set of delimiter bytes.
//
// Tokens are the runs of bytes that are not delimiters: delimiters at either end and repeated
// delimiters produce no empty tokens ("1..2." has the tokens "1" and "2"). Fields count every
// delimiter, so repeated delimiters give empty fields ("1..2." has the fields "1", "", "2", "").
//
// Numbers n count from 1; a position is 1-based and 0 means "no such token". Every routine takes
// its delimiters either as a CharSet or, for convenience, as a string listing the delimiter bytes.
#pragma once

#include <bitset>
#include <string>
#include <string_view>

namespace sx {

// A set of byte values, one bit per byte.
using CharSet = std::bitset<256>;

// The set of the bytes of `chars`.
CharSet MakeCharSet(std::string_view chars);

// True when byte `c` is in `set`.
inline bool Contains(const CharSet& set, char c) { return set.test(static_cast<unsigned char>(c)); }

// Number of tokens of the text.
int CountTokens(std::string_view text, const CharSet& delimiters);
int CountTokens(std::string_view text, std::string_view delimiters);

// Position of the first byte of token n; 0 when there are fewer than n tokens or n < 1.
int TokenStart(int n, std::string_view text, const CharSet& delimiters);
int TokenStart(int n, std::string_view text, std::string_view delimiters);

// Token n; "" when there are fewer than n tokens or n < 1.
std::string GetToken(int n, std::string_view text, const CharSet& delimiters);
std::string GetToken(int n, std::string_view text, std::string_view delimiters);

// True when one of the tokens of `list` equals `text`, compared by the user's locale (the
// current host), case-sensitive or not by `caseSensitive`. An empty text is never a token.
bool IsTokenOf(std::string_view text, std::string_view list, const CharSet& delimiters,
               bool caseSensitive);
bool IsTokenOf(std::string_view text, std::string_view list, std::string_view delimiters,
               bool caseSensitive);

// Field n of the text; "" when there are fewer than n fields or n < 1.
//
// A delimiter between a quotation mark (" or ') and the next quotation mark of the same kind does
// not count; a quotation mark without a partner quotes the rest of the text. Outside quotes a
// byte that is in the delimiter set is a delimiter even when it is a quotation mark. The field
// keeps its quotation marks, except that a field beginning with an apostrophe is returned as
// Unquote(field, '\'') gives it.
std::string GetField(int n, std::string_view text, const CharSet& delimiters);
std::string GetField(int n, std::string_view text, std::string_view delimiters);

}  // namespace sx
