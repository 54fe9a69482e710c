// The installation password and the deciphering of texts.
//
// A project with a password stores in its variable PswCheckHash the hex digest (haval.h) of the
// password wrapped as "vkt<password>vkt". Package data of such a project is enciphered under the
// plain digest of the password itself (no wrapping), one GOST chain per archive.
#pragma once

#include <string>
#include <string_view>

namespace sx {

// The PswCheckHash value that `password` satisfies.
std::string PasswordCheckHash(std::string_view password);

// A project asks for a password when its PswCheckHash is not empty.
inline bool PasswordRequired(std::string_view pswCheckHash) { return !pswCheckHash.empty(); }

// True when no password is required, else exactly when the password's check hash equals
// `pswCheckHash` (case-sensitive: a lower-case stored hash never matches).
bool PasswordMatches(std::string_view password, std::string_view pswCheckHash);

// The plug-in command that offers a password: 0 when it matches (then `stored` takes it), 1 when
// it is refused (`stored` stays as it was).
int OfferPassword(std::string_view password, std::string_view pswCheckHash, std::string& stored);

// GOST-CBC under the digest of `keyText`, initial vector from 0xFF bytes, in one run; the result
// has the length of the input (a short tail is a stream tail). Empty input gives empty output.
std::string DecipherText(std::string_view data, std::string_view keyText);
// The inverse of DecipherText: what a builder stores.
std::string EncipherText(std::string_view plain, std::string_view keyText);

}  // namespace sx
