// The update's signature: an ECDSA P-256 signature over the downloaded file, made by the
// provider with openssl. What arrives is openssl's text and DER forms; the system's verifier
// takes the raw key point and the raw r‖s pair, so these readers convert, checking every byte.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace velmora {

// X‖Y of an uncompressed P-256 point, or r‖s of a signature: two 32-byte big-endian numbers.
using TP256Pair = std::array<uint8_t, 64>;

// The public key of a PEM "PUBLIC KEY" block (what `openssl ec -pubout` writes); nullopt for
// anything but an uncompressed P-256 key.
std::optional<TP256Pair> P256PublicKeyFromPem(std::string_view pem);

// r‖s of a DER SEQUENCE of two INTEGERs (what `openssl dgst -sign` writes); nullopt when the
// encoding is not strict DER or a number does not fit 32 bytes.
std::optional<TP256Pair> P256SignatureFromDer(std::string_view der);

// Verifies a detached signature over data with the key built into the program.
class TUpdateSignatureCheck {
 public:
  virtual ~TUpdateSignatureCheck() = default;
  virtual bool Verify(std::string_view data, std::string_view derSignature) const = 0;
};

// The check by the system's cryptography (CNG: SHA-256, ECDSA P-256) with the given key.
// Windows only.
std::unique_ptr<TUpdateSignatureCheck> MakeSystemSignatureCheck(const TP256Pair& publicKey);

}  // namespace velmora
