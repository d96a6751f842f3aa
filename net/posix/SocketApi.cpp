// The platform socket calls on BSD sockets: poll for waits, errno sorted into would-block,
// closed and error.
#include "net/SocketApi.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "net/SocketSystem.h"

namespace velmora::sockets {

namespace {

int Option(TBuffer which) {
  return which == TBuffer::Receive ? SO_RCVBUF : SO_SNDBUF;
}

bool WouldBlock(int error) {
  return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

}  // namespace

void StartSockets() {}

intptr_t OpenStreamSocket() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  return fd < 0 ? kNoSocket : fd;
}

void MakeNonBlocking(intptr_t handle) {
  fcntl(Native(handle), F_SETFL, fcntl(Native(handle), F_GETFL, 0) | O_NONBLOCK);
}

bool GetBufferSize(intptr_t handle, TBuffer which, int& size) {
  socklen_t length = sizeof size;
  return getsockopt(Native(handle), SOL_SOCKET, Option(which), &size, &length) == 0;
}

void SetBufferSize(intptr_t handle, TBuffer which, int size) {
  setsockopt(Native(handle), SOL_SOCKET, Option(which), &size, sizeof size);
}

bool ConnectGoesOn() {
  return errno == EINPROGRESS;
}

bool ConnectSucceeded(intptr_t handle) {
  int error = 0;
  socklen_t length = sizeof error;
  return getsockopt(Native(handle), SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

bool WaitReady(intptr_t handle, TWaitFor what, int timeoutMs) {
  pollfd p{Native(handle), static_cast<short>(what == TWaitFor::Read ? POLLIN : POLLOUT), 0};
  int r = poll(&p, 1, timeoutMs);
  return r > 0 || (r < 0 && errno != EINTR);
}

TIoResult SendSome(intptr_t handle, const char* data, size_t size, size_t& sent) {
  sent = 0;
  ssize_t n = send(Native(handle), data, size, MSG_NOSIGNAL);
  if (n >= 0) {
    sent = static_cast<size_t>(n);
    return TIoResult::Done;
  }
  return WouldBlock(errno) ? TIoResult::WouldBlock : TIoResult::Error;
}

TIoResult ReceiveSome(intptr_t handle, char* buffer, size_t size, size_t& received) {
  received = 0;
  ssize_t n = recv(Native(handle), buffer, size, 0);
  if (n > 0) {
    received = static_cast<size_t>(n);
    return TIoResult::Done;
  }
  if (n == 0 || errno == ECONNRESET)
    return TIoResult::Closed;
  return WouldBlock(errno) ? TIoResult::WouldBlock : TIoResult::Error;
}

intptr_t AcceptConnection(intptr_t listener) {
  int fd = accept4(Native(listener), nullptr, nullptr, SOCK_CLOEXEC);
  return fd < 0 ? kNoSocket : fd;
}

void Shutdown(intptr_t handle, TShutdown how) {
  shutdown(Native(handle), how == TShutdown::Send ? SHUT_WR : SHUT_RDWR);
}

void SetResetOnClose(intptr_t handle) {
  linger hard{1, 0};
  setsockopt(Native(handle), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
}

void CloseSocket(intptr_t handle) {
  close(Native(handle));
}

}  // namespace velmora::sockets
