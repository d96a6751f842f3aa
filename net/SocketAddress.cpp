// The socket calls that only deal in IPv4 addresses, alike on Winsock and BSD sockets.
#include "net/SocketApi.h"
#include "net/SocketSystem.h"

namespace velmora::sockets {

namespace {

sockaddr_in ToAddress(const TIPv4Endpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = endpoint.Address;
  address.sin_port = endpoint.Port;
  return address;
}

}  // namespace

bool ResolveIPv4(const std::string& host, const std::string& port, TIPv4Endpoint& endpoint) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found)
    return false;
  const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  endpoint.Address = address->sin_addr.s_addr;
  endpoint.Port = address->sin_port;
  freeaddrinfo(found);
  return true;
}

TStartConnect StartConnect(intptr_t handle, const TIPv4Endpoint& endpoint) {
  sockaddr_in address = ToAddress(endpoint);
  if (connect(Native(handle), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
    return TStartConnect::Connected;
  return ConnectGoesOn() ? TStartConnect::InProgress : TStartConnect::Failed;
}

bool ListenOnLoopback(intptr_t handle, int backlog, uint16_t& port) {
  sockaddr_in address = ToAddress({htonl(INADDR_LOOPBACK), 0});
  TAddressLength length = sizeof address;
  if (bind(Native(handle), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(Native(handle), backlog) != 0 ||
      getsockname(Native(handle), reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return false;
  port = ntohs(address.sin_port);
  return true;
}

}  // namespace velmora::sockets
