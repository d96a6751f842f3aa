// The socket seam on BSD sockets: non-blocking sockets waited on with poll in short slices, so
// an Abort from another thread ends any wait promptly.
#include "net/TcpSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace velmora {

namespace {

constexpr intptr_t kNoSocket = -1;
constexpr int kWaitSliceMs = 100;
constexpr int kBufferSize = 65536;

int Fd(intptr_t handle) {
  return static_cast<int>(handle);
}

// Buffers of at least 64 KiB, but never a fixed smaller one: a size set by hand turns the
// kernel's window tuning off and caps the throughput of every long transfer.
void EnsureBufferSize(int fd, int option) {
  int size = 0;
  socklen_t length = sizeof size;
  if (getsockopt(fd, SOL_SOCKET, option, &size, &length) == 0 && size >= kBufferSize)
    return;
  setsockopt(fd, SOL_SOCKET, option, &kBufferSize, sizeof kBufferSize);
}

void MakeNonBlocking(int fd) {
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
}

// Waits for events on fd in slices; false on time-out (timeoutMs < 0 waits without limit) or
// when abort is set.
bool WaitFor(int fd, short events, int timeoutMs, const std::atomic<bool>& abort, bool& aborted) {
  aborted = false;
  int waited = 0;
  for (;;) {
    if (abort) {
      aborted = true;
      return false;
    }
    int slice = kWaitSliceMs;
    if (timeoutMs >= 0) {
      if (waited >= timeoutMs)
        return false;
      slice = std::min(slice, timeoutMs - waited);
    }
    pollfd p{fd, events, 0};
    int r = poll(&p, 1, slice);
    if (r > 0) {
      aborted = abort;
      return !aborted;
    }
    if (r < 0 && errno != EINTR)
      return true;  // let the following call report the error
    waited += slice;
  }
}

}  // namespace

TTcpSocket::TTcpSocket() : FHandle(kNoSocket) {}

TTcpSocket::~TTcpSocket() {
  Close();
}

bool TTcpSocket::Connect(const std::string& host, const std::string& port) {
  Close();
  if (FAbort)
    return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found)
    return false;
  sockaddr_in address{};
  std::copy_n(reinterpret_cast<const char*>(found->ai_addr), sizeof address,
              reinterpret_cast<char*>(&address));
  freeaddrinfo(found);

  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  EnsureBufferSize(fd, SO_RCVBUF);
  EnsureBufferSize(fd, SO_SNDBUF);
  MakeNonBlocking(fd);
  {
    std::lock_guard lock(FLock);
    FHandle = fd;
  }
  if (FAbort) {  // an Abort that came before the handle was visible to it
    Close();
    return false;
  }
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
    return true;
  if (errno != EINPROGRESS) {
    Close();
    return false;
  }
  bool aborted = false;
  int error = 0;
  socklen_t length = sizeof error;
  if (!WaitFor(fd, POLLOUT, -1, FAbort, aborted) ||
      getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
    Close();
    return false;
  }
  return true;
}

bool TTcpSocket::Connected() const {
  std::lock_guard lock(FLock);
  return FHandle != kNoSocket;
}

bool TTcpSocket::SendAll(const char* data, size_t size, int timeoutMs) {
  if (FHandle == kNoSocket)
    return false;
  int fd = Fd(FHandle);
  while (size > 0) {
    bool aborted = false;
    if (!WaitFor(fd, POLLOUT, timeoutMs, FAbort, aborted))
      return false;
    ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        continue;
      return false;
    }
    data += sent;
    size -= static_cast<size_t>(sent);
  }
  return !FAbort;
}

TRecvResult TTcpSocket::Recv(char* buffer, size_t size, int timeoutMs, size_t& received) {
  received = 0;
  if (FHandle == kNoSocket)
    return TRecvResult::Error;
  int fd = Fd(FHandle);
  for (;;) {
    bool aborted = false;
    if (!WaitFor(fd, POLLIN, timeoutMs, FAbort, aborted)) {
      return aborted ? TRecvResult::Aborted : TRecvResult::Timeout;
    }
    ssize_t n = recv(fd, buffer, size, 0);
    if (n > 0) {
      received = static_cast<size_t>(n);
      return FAbort ? TRecvResult::Aborted : TRecvResult::Data;
    }
    if (FAbort)
      return TRecvResult::Aborted;
    if (n == 0 || errno == ECONNRESET)
      return TRecvResult::Closed;
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
      return TRecvResult::Error;
  }
}

bool TTcpSocket::CanReadNow() {
  if (FHandle == kNoSocket)
    return true;
  pollfd p{Fd(FHandle), POLLIN, 0};
  return poll(&p, 1, 0) != 0;
}

void TTcpSocket::Close() {
  std::lock_guard lock(FLock);
  CloseLocked();
}

void TTcpSocket::CloseLocked() {
  if (FHandle != kNoSocket)
    close(Fd(FHandle));
  FHandle = kNoSocket;
}

void TTcpSocket::Abort() {
  FAbort = true;
  std::lock_guard lock(FLock);
  if (FHandle != kNoSocket)
    shutdown(Fd(FHandle), SHUT_RDWR);
}

void TTcpSocket::ClearAbort() {
  FAbort = false;
}

void TTcpSocket::Adopt(intptr_t handle) {
  std::lock_guard lock(FLock);
  CloseLocked();
  MakeNonBlocking(Fd(handle));
  FHandle = handle;
}

void TTcpSocket::ShutdownSend() {
  std::lock_guard lock(FLock);
  if (FHandle != kNoSocket)
    shutdown(Fd(FHandle), SHUT_WR);
}

void TTcpSocket::CloseWithReset() {
  std::lock_guard lock(FLock);
  if (FHandle == kNoSocket)
    return;
  linger hard{1, 0};
  setsockopt(Fd(FHandle), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  CloseLocked();
}

TTcpListener::TTcpListener() : FHandle(kNoSocket) {}

TTcpListener::~TTcpListener() {
  Close();
}

bool TTcpListener::Listen() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    return false;
  }
  MakeNonBlocking(fd);
  std::lock_guard lock(FLock);
  FHandle = fd;
  FPort = ntohs(address.sin_port);
  return true;
}

bool TTcpListener::Accept(TTcpSocket& connection, int timeoutMs) {
  int fd;
  {
    std::lock_guard lock(FLock);
    if (FHandle == kNoSocket)
      return false;
    fd = Fd(FHandle);
  }
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0)
    return false;
  std::lock_guard lock(FLock);
  if (FHandle == kNoSocket)
    return false;
  int accepted = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
  if (accepted < 0)
    return false;
  connection.Adopt(accepted);
  return true;
}

void TTcpListener::Close() {
  std::lock_guard lock(FLock);
  if (FHandle != kNoSocket)
    close(Fd(FHandle));
  FHandle = kNoSocket;
}

}  // namespace velmora
