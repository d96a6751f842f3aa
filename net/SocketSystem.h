// The system's socket headers and the few type names that differ between Winsock and BSD
// sockets, for the files that call the socket layer directly.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace velmora::sockets {

#ifdef _WIN32
using TNativeSocket = SOCKET;
using TAddressLength = int;
#else
using TNativeSocket = int;
using TAddressLength = socklen_t;
#endif

inline TNativeSocket Native(intptr_t handle) {
  return static_cast<TNativeSocket>(handle);
}

}  // namespace velmora::sockets
