// Verifies the update's signature with the system's CNG (bcrypt.dll): the file's SHA-256,
// checked against r‖s with the built-in P-256 key. No cryptography of the program's own.
#include <windows.h>

#include <bcrypt.h>

#include <vector>

#include "engine/UpdateSignature.h"

namespace velmora {
namespace {

bool Ok(NTSTATUS status) {
  return status >= 0;
}

class TAlgorithm {
 public:
  explicit TAlgorithm(const wchar_t* id) {
    if (!Ok(BCryptOpenAlgorithmProvider(&FHandle, id, nullptr, 0)))
      FHandle = nullptr;
  }
  ~TAlgorithm() {
    if (FHandle)
      BCryptCloseAlgorithmProvider(FHandle, 0);
  }
  TAlgorithm(const TAlgorithm&) = delete;
  TAlgorithm& operator=(const TAlgorithm&) = delete;
  BCRYPT_ALG_HANDLE Get() const { return FHandle; }

 private:
  BCRYPT_ALG_HANDLE FHandle = nullptr;
};

class TKey {
 public:
  TKey() = default;
  ~TKey() {
    if (FHandle)
      BCryptDestroyKey(FHandle);
  }
  TKey(const TKey&) = delete;
  TKey& operator=(const TKey&) = delete;
  BCRYPT_KEY_HANDLE* Out() { return &FHandle; }
  BCRYPT_KEY_HANDLE Get() const { return FHandle; }

 private:
  BCRYPT_KEY_HANDLE FHandle = nullptr;
};

bool Sha256(std::string_view data, UCHAR (&digest)[32]) {
  TAlgorithm sha(BCRYPT_SHA256_ALGORITHM);
  if (!sha.Get())
    return false;
  // BCryptHash takes a ULONG length: hash in pieces through a hash object.
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!Ok(BCryptCreateHash(sha.Get(), &hash, nullptr, 0, nullptr, 0, 0)))
    return false;
  bool ok = true;
  constexpr size_t kPiece = 1u << 20;
  for (size_t done = 0; ok && done < data.size(); done += kPiece) {
    std::string_view piece = data.substr(done, kPiece);
    ok = Ok(BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(piece.data())),
                           static_cast<ULONG>(piece.size()), 0));
  }
  ok = ok && Ok(BCryptFinishHash(hash, digest, sizeof(digest), 0));
  BCryptDestroyHash(hash);
  return ok;
}

class TCngSignatureCheck : public TUpdateSignatureCheck {
 public:
  explicit TCngSignatureCheck(const TP256Pair& key) : FKey(key) {}

  bool Verify(std::string_view data, std::string_view derSignature) const override {
    std::optional<TP256Pair> signature = P256SignatureFromDer(derSignature);
    UCHAR digest[32];
    if (!signature || !Sha256(data, digest))
      return false;
    TAlgorithm ecdsa(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!ecdsa.Get())
      return false;
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + FKey.size());
    auto* header = reinterpret_cast<BCRYPT_ECCKEY_BLOB*>(blob.data());
    header->dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header->cbKey = 32;
    std::copy(FKey.begin(), FKey.end(), blob.begin() + sizeof(BCRYPT_ECCKEY_BLOB));
    TKey key;
    if (!Ok(BCryptImportKeyPair(ecdsa.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.Out(), blob.data(),
                                static_cast<ULONG>(blob.size()), 0)))
      return false;
    return Ok(BCryptVerifySignature(key.Get(), nullptr, digest, sizeof(digest),
                                    const_cast<PUCHAR>(signature->data()),
                                    static_cast<ULONG>(signature->size()), 0));
  }

 private:
  TP256Pair FKey;
};

}  // namespace

std::unique_ptr<TUpdateSignatureCheck> MakeSystemSignatureCheck(const TP256Pair& publicKey) {
  return std::make_unique<TCngSignatureCheck>(publicKey);
}

}  // namespace velmora
