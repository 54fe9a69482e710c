#include "packages/password.h"

#include "packages/gost.h"
#include "packages/haval.h"

namespace sx {
namespace {

enum class Direction { kDecipher, kEncipher };

std::string Transform(std::string_view data, std::string_view keyText, Direction direction) {
  std::string out(data.size(), '\0');
  if (data.empty()) return out;
  HavalDigest key = Digest(keyText);
  GostCipher cipher;
  cipher.Init(key.data(), 256);
  key.fill(0xFF);
  const auto* in = reinterpret_cast<const uint8_t*>(data.data());
  auto* to = reinterpret_cast<uint8_t*>(out.data());
  if (direction == Direction::kDecipher)
    cipher.Decipher(in, to, data.size());
  else
    cipher.Encipher(in, to, data.size());
  return out;
}

}  // namespace

std::string PasswordCheckHash(std::string_view password) {
  std::string wrapped = "vkt";
  wrapped.append(password);
  wrapped.append("vkt");
  return HexDigest(wrapped);
}

bool PasswordMatches(std::string_view password, std::string_view pswCheckHash) {
  if (!PasswordRequired(pswCheckHash)) return true;
  return PasswordCheckHash(password) == pswCheckHash;
}

int OfferPassword(std::string_view password, std::string_view pswCheckHash, std::string& stored) {
  if (!PasswordMatches(password, pswCheckHash)) return 1;
  stored.assign(password);
  return 0;
}

std::string DecipherText(std::string_view data, std::string_view keyText) {
  return Transform(data, keyText, Direction::kDecipher);
}

std::string EncipherText(std::string_view plain, std::string_view keyText) {
  return Transform(plain, keyText, Direction::kEncipher);
}

}  // namespace sx
