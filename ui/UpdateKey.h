// The provider's public key for update signatures, built into each executable from the PEM file
// that the build option VELMORA_UPDATE_KEY names (cmake/UpdateKey.cmake). Empty when the build
// has no key: then downloads are checked without a signature.
#pragma once

namespace velmora {

extern const char kUpdatePublicKeyPem[];

}  // namespace velmora
