// The socket seam on this platform.
#include "net/TcpSocket.h"

namespace velmora {

TTcpSocket::TTcpSocket() : FHandle(-1) {}
TTcpSocket::~TTcpSocket() = default;

}  // namespace velmora
