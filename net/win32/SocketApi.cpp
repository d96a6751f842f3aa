// The platform socket calls on Winsock: select for waits, WSAGetLastError sorted into
// would-block, closed and error; Winsock is started here once for the process.
#include "net/SocketApi.h"

#include <algorithm>

#include "net/SocketSystem.h"

namespace velmora::sockets {

static_assert(static_cast<intptr_t>(INVALID_SOCKET) == kNoSocket);

namespace {

int Option(TBuffer which) {
  return which == TBuffer::Receive ? SO_RCVBUF : SO_SNDBUF;
}

}  // namespace

// Winsock stays up until the process ends.
void StartSockets() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

intptr_t OpenStreamSocket() {
  return static_cast<intptr_t>(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
}

void MakeNonBlocking(intptr_t handle) {
  u_long on = 1;
  ioctlsocket(Native(handle), FIONBIO, &on);
}

bool GetBufferSize(intptr_t handle, TBuffer which, int& size) {
  int length = sizeof size;
  return getsockopt(Native(handle), SOL_SOCKET, Option(which), reinterpret_cast<char*>(&size),
                    &length) == 0;
}

void SetBufferSize(intptr_t handle, TBuffer which, int size) {
  setsockopt(Native(handle), SOL_SOCKET, Option(which), reinterpret_cast<const char*>(&size),
             sizeof size);
}

bool ConnectGoesOn() {
  return WSAGetLastError() == WSAEWOULDBLOCK;
}

bool ConnectSucceeded(intptr_t handle) {
  int error = 0;
  int length = sizeof error;
  return getsockopt(Native(handle), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                    &length) == 0 &&
         error == 0;
}

// A failed connect shows in the exception set.
bool WaitReady(intptr_t handle, TWaitFor what, int timeoutMs) {
  fd_set ready, failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(Native(handle), &ready);
  FD_SET(Native(handle), &failed);
  timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  timeval* limit = timeoutMs < 0 ? nullptr : &wait;
  int r = what == TWaitFor::Read ? select(0, &ready, nullptr, &failed, limit)
                                 : select(0, nullptr, &ready, &failed, limit);
  return r != 0;
}

TIoResult SendSome(intptr_t handle, const char* data, size_t size, size_t& sent) {
  sent = 0;
  int n = send(Native(handle), data, static_cast<int>(std::min<size_t>(size, 1 << 20)), 0);
  if (n != SOCKET_ERROR) {
    sent = static_cast<size_t>(n);
    return TIoResult::Done;
  }
  return WSAGetLastError() == WSAEWOULDBLOCK ? TIoResult::WouldBlock : TIoResult::Error;
}

TIoResult ReceiveSome(intptr_t handle, char* buffer, size_t size, size_t& received) {
  received = 0;
  int n = recv(Native(handle), buffer, static_cast<int>(std::min<size_t>(size, 1 << 30)), 0);
  if (n > 0) {
    received = static_cast<size_t>(n);
    return TIoResult::Done;
  }
  if (n == 0)
    return TIoResult::Closed;
  int error = WSAGetLastError();
  if (error == WSAECONNRESET || error == WSAECONNABORTED)
    return TIoResult::Closed;
  return error == WSAEWOULDBLOCK || error == WSAEINTR ? TIoResult::WouldBlock : TIoResult::Error;
}

intptr_t AcceptConnection(intptr_t listener) {
  return static_cast<intptr_t>(accept(Native(listener), nullptr, nullptr));
}

void Shutdown(intptr_t handle, TShutdown how) {
  shutdown(Native(handle), how == TShutdown::Send ? SD_SEND : SD_BOTH);
}

void SetResetOnClose(intptr_t handle) {
  linger hard{1, 0};
  setsockopt(Native(handle), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard),
             sizeof hard);
}

void CloseSocket(intptr_t handle) {
  closesocket(Native(handle));
}

}  // namespace velmora::sockets
