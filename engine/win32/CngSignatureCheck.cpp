// Verifies the update's signature with the system's CNG (bcrypt.dll): the file's SHA-256,
// checked against r‖s with the built-in P-256 key. No cryptography of the program's own.
#include <windows.h>

#include <bcrypt.h>

#include <optional>
#include <vector>

#include "base/win32/Scoped.h"
#include "base/win32/SystemFunction.h"
#include "engine/SystemFolders.h"
#include "engine/UpdateSignature.h"

namespace velmora {
namespace {

bool Ok(NTSTATUS status) {
  return status >= 0;
}

// The CNG calls used here. bcrypt.dll is loaded at the first check of an update, not at start:
// under Wine it brings the system's TLS library with it, 2 MiB the program otherwise never uses.
struct TBcrypt {
  decltype(&BCryptOpenAlgorithmProvider) OpenAlgorithmProvider;
  decltype(&BCryptCloseAlgorithmProvider) CloseAlgorithmProvider;
  decltype(&BCryptCreateHash) CreateHash;
  decltype(&BCryptHashData) HashData;
  decltype(&BCryptFinishHash) FinishHash;
  decltype(&BCryptDestroyHash) DestroyHash;
  decltype(&BCryptImportKeyPair) ImportKeyPair;
  decltype(&BCryptVerifySignature) VerifySignature;
  decltype(&BCryptDestroyKey) DestroyKey;
};

template <typename TFunction>
bool Resolve(HMODULE dll, const char* name, TFunction& function) {
  function = SystemFunction<TFunction>(dll, name);
  return function != nullptr;
}

// The loaded calls, or null when the system's bcrypt.dll cannot be loaded; loaded once and kept.
const TBcrypt* Bcrypt() {
  static const std::optional<TBcrypt> api = []() -> std::optional<TBcrypt> {
    const std::wstring folder = SystemFolder();
    HMODULE dll = folder.empty() ? nullptr : LoadLibraryW((folder + L"\\bcrypt.dll").c_str());
    TBcrypt calls{};
    if (dll && Resolve(dll, "BCryptOpenAlgorithmProvider", calls.OpenAlgorithmProvider) &&
        Resolve(dll, "BCryptCloseAlgorithmProvider", calls.CloseAlgorithmProvider) &&
        Resolve(dll, "BCryptCreateHash", calls.CreateHash) &&
        Resolve(dll, "BCryptHashData", calls.HashData) &&
        Resolve(dll, "BCryptFinishHash", calls.FinishHash) &&
        Resolve(dll, "BCryptDestroyHash", calls.DestroyHash) &&
        Resolve(dll, "BCryptImportKeyPair", calls.ImportKeyPair) &&
        Resolve(dll, "BCryptVerifySignature", calls.VerifySignature) &&
        Resolve(dll, "BCryptDestroyKey", calls.DestroyKey))
      return calls;
    return std::nullopt;
  }();
  return api ? &*api : nullptr;
}

// CNG's own handles, each given back with its own call; held only once Bcrypt() has loaded.
struct TAlgorithmCloser : TNullIsNone<BCRYPT_ALG_HANDLE> {
  static bool Close(BCRYPT_ALG_HANDLE handle) {
    return Ok(Bcrypt()->CloseAlgorithmProvider(handle, 0));
  }
};
struct TKeyHandleCloser : TNullIsNone<BCRYPT_KEY_HANDLE> {
  static bool Close(BCRYPT_KEY_HANDLE handle) { return Ok(Bcrypt()->DestroyKey(handle)); }
};
struct THashCloser : TNullIsNone<BCRYPT_HASH_HANDLE> {
  static bool Close(BCRYPT_HASH_HANDLE handle) { return Ok(Bcrypt()->DestroyHash(handle)); }
};
using TAlgorithm = TScoped<TAlgorithmCloser>;

// Empty when the system lacks the algorithm.
TAlgorithm OpenAlgorithm(const wchar_t* id) {
  BCRYPT_ALG_HANDLE handle = nullptr;
  return TAlgorithm(Ok(Bcrypt()->OpenAlgorithmProvider(&handle, id, nullptr, 0)) ? handle
                                                                                 : nullptr);
}

bool Sha256(std::string_view data, UCHAR (&digest)[32]) {
  const TAlgorithm sha = OpenAlgorithm(BCRYPT_SHA256_ALGORITHM);
  if (!sha)
    return false;
  // BCryptHash takes a ULONG length: hash in pieces through a hash object.
  TScoped<THashCloser> hash;
  if (!Ok(Bcrypt()->CreateHash(sha.Get(), hash.Receive(), nullptr, 0, nullptr, 0, 0)))
    return false;
  bool ok = true;
  constexpr size_t kPiece = 1u << 20;
  for (size_t done = 0; ok && done < data.size(); done += kPiece) {
    std::string_view piece = data.substr(done, kPiece);
    ok =
        Ok(Bcrypt()->HashData(hash.Get(), reinterpret_cast<PUCHAR>(const_cast<char*>(piece.data())),
                              static_cast<ULONG>(piece.size()), 0));
  }
  return ok && Ok(Bcrypt()->FinishHash(hash.Get(), digest, sizeof(digest), 0));
}

class TCngSignatureCheck : public TUpdateSignatureCheck {
 public:
  explicit TCngSignatureCheck(const TP256Pair& key) : FKey(key) {}

  bool Verify(std::string_view data, std::string_view derSignature) const override {
    std::optional<TP256Pair> signature = P256SignatureFromDer(derSignature);
    UCHAR digest[32];
    if (!signature || !Bcrypt() || !Sha256(data, digest))
      return false;
    const TAlgorithm ecdsa = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!ecdsa)
      return false;
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + FKey.size());
    auto* header = reinterpret_cast<BCRYPT_ECCKEY_BLOB*>(blob.data());
    header->dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header->cbKey = 32;
    std::copy(FKey.begin(), FKey.end(), blob.begin() + sizeof(BCRYPT_ECCKEY_BLOB));
    TScoped<TKeyHandleCloser> key;
    if (!Ok(Bcrypt()->ImportKeyPair(ecdsa.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.Receive(),
                                    blob.data(), static_cast<ULONG>(blob.size()), 0)))
      return false;
    return Ok(Bcrypt()->VerifySignature(key.Get(), nullptr, digest, sizeof(digest),
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
