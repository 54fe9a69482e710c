// GOST 28147-89, the block cipher of enciphered databases, package data and external files.
//
// Conventions (any implementation with the same ones interoperates):
//   - S-boxes: the test parameter set published with GOST R 34.11-94
//     (id-GostR3411-94-TestParamSet); row 1 substitutes the lowest 4 bits of the sum, row 8 the
//     highest. f(x) is the substitution followed by a rotation left by 11 bits.
//   - Key: 32 bytes read as eight little-endian words K1..K8.
//   - Block: bytes 0-3 are N1, bytes 4-7 N2 (little-endian); the output block is N2 then N1.
//     Encryption uses K1..K8 three times, then K8..K1; decryption K1..K8, then K8..K1 three times.
//   - Chaining: CBC; a tail shorter than a block is XORed with the encrypted chaining vector,
//     which then stays as it was. Without an initial vector, the vector is eight 0xFF bytes
//     encrypted once.
//
// A `GostCipher` is one enciphering or deciphering run: the chain continues from call to call.
// Burn() (and the destructor) overwrite the key schedule and vectors with 0xFF bytes. One object
// belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sx {

class GostCipher {
 public:
  GostCipher() { Burn(); }
  ~GostCipher() { Burn(); }
  GostCipher(const GostCipher&) = delete;
  GostCipher& operator=(const GostCipher&) = delete;

  // Loads a key of 8 to 256 bits in whole bytes (missing key bytes count as zero) and sets the
  // initial and chaining vectors: the 8 bytes of `iv`, or eight 0xFF bytes encrypted once. Any
  // other key length is ignored: the state stays as it was and the result is false.
  bool Init(const uint8_t* key, size_t keyBits, const uint8_t* iv = nullptr);

  // CBC over `size` bytes, continuing the chain of earlier calls. `in` and `out` may be the same
  // buffer.
  void Decipher(const uint8_t* in, uint8_t* out, size_t size);
  void Encipher(const uint8_t* in, uint8_t* out, size_t size);

  void EncryptBlock(const uint8_t in[8], uint8_t out[8]) const;
  void DecryptBlock(const uint8_t in[8], uint8_t out[8]) const;

  void Burn();

  const uint8_t* InitialVector() const { return iv_; }

 private:
  uint32_t key_[8];
  uint8_t iv_[8];
  uint8_t chain_[8];
};

}  // namespace sx
