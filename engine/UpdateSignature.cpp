// PEM and DER readers for the update's key and signature.
#include "engine/UpdateSignature.h"

#include <string>

namespace velmora {
namespace {

// SubjectPublicKeyInfo of an id-ecPublicKey on prime256v1, up to the point's first byte.
constexpr uint8_t kP256KeyPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                      0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                      0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};
constexpr std::string_view kPemBegin = "-----BEGIN PUBLIC KEY-----";
constexpr std::string_view kPemEnd = "-----END PUBLIC KEY-----";

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z')
    return c - 'A';
  if (c >= 'a' && c <= 'z')
    return c - 'a' + 26;
  if (c >= '0' && c <= '9')
    return c - '0' + 52;
  if (c == '+')
    return 62;
  if (c == '/')
    return 63;
  return -1;
}

// Base64 with line breaks and blanks between groups; "=" only at the end.
std::optional<std::string> Base64Decode(std::string_view text) {
  std::string out;
  uint32_t bits = 0;
  int count = 0;
  bool padded = false;
  for (char c : text) {
    if (c == '\r' || c == '\n' || c == ' ' || c == '\t')
      continue;
    if (c == '=') {
      padded = true;
      continue;
    }
    int value = Base64Value(c);
    if (value < 0 || padded)
      return std::nullopt;
    bits = bits << 6 | static_cast<uint32_t>(value);
    if (++count == 4) {
      out += static_cast<char>(bits >> 16);
      out += static_cast<char>(bits >> 8);
      out += static_cast<char>(bits);
      bits = 0;
      count = 0;
    }
  }
  if (count == 1)
    return std::nullopt;
  if (count == 2)
    out += static_cast<char>(bits >> 4);
  if (count == 3) {
    out += static_cast<char>(bits >> 10);
    out += static_cast<char>(bits >> 2);
  }
  return out;
}

uint8_t At(std::string_view bytes, size_t i) {
  return static_cast<uint8_t>(bytes[i]);
}

// One DER INTEGER at pos, a positive number of at most 32 significant bytes, written
// right-aligned into out; pos moves past it.
bool ReadInteger(std::string_view der, size_t& pos, uint8_t* out) {
  if (pos + 2 > der.size() || At(der, pos) != 0x02)
    return false;
  size_t length = At(der, pos + 1);
  pos += 2;
  if (length == 0 || length > 33 || pos + length > der.size())
    return false;
  std::string_view value = der.substr(pos, length);
  pos += length;
  if (At(value, 0) & 0x80)
    return false;  // negative
  if (At(value, 0) == 0) {
    if (length == 1 || !(At(value, 1) & 0x80))
      return false;  // a leading zero only where the next byte would read as negative
    value.remove_prefix(1);
  }
  if (value.size() > 32)
    return false;
  for (size_t i = 0; i < value.size(); ++i)
    out[32 - value.size() + i] = At(value, i);
  return true;
}

}  // namespace

std::optional<TP256Pair> P256PublicKeyFromPem(std::string_view pem) {
  size_t begin = pem.find(kPemBegin);
  size_t end = pem.find(kPemEnd);
  if (begin == std::string_view::npos || end == std::string_view::npos || end < begin)
    return std::nullopt;
  begin += kPemBegin.size();
  std::optional<std::string> der = Base64Decode(pem.substr(begin, end - begin));
  constexpr size_t kPrefix = sizeof(kP256KeyPrefix);
  if (!der || der->size() != kPrefix + 64 ||
      der->compare(0, kPrefix, reinterpret_cast<const char*>(kP256KeyPrefix), kPrefix) != 0)
    return std::nullopt;
  TP256Pair key;
  for (size_t i = 0; i < 64; ++i)
    key[i] = At(*der, kPrefix + i);
  return key;
}

std::optional<TP256Pair> P256SignatureFromDer(std::string_view der) {
  // Two integers of at most 33 bytes make at most 70 content bytes: short length form.
  if (der.size() < 2 || At(der, 0) != 0x30 || At(der, 1) >= 0x80 ||
      size_t{At(der, 1)} + 2 != der.size())
    return std::nullopt;
  TP256Pair pair{};
  size_t pos = 2;
  if (!ReadInteger(der, pos, pair.data()) || !ReadInteger(der, pos, pair.data() + 32) ||
      pos != der.size())
    return std::nullopt;
  return pair;
}

}  // namespace velmora
