// The socket seam on Winsock: non-blocking sockets waited on with select in short slices, so
// an Abort from another thread ends any wait promptly.
#include "net/TcpSocket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

namespace velmora {

namespace {

constexpr intptr_t kNoSocket = static_cast<intptr_t>(INVALID_SOCKET);
constexpr int kWaitSliceMs = 100;
constexpr int kBufferSize = 65536;

SOCKET Sock(intptr_t handle) {
  return static_cast<SOCKET>(handle);
}

// Winsock is started once for the process and stays up until it ends.
void EnsureWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

// Buffers of at least 64 KiB, but never a fixed smaller one: a size set by hand turns the
// system's receive window tuning off and caps the throughput of every long transfer.
void EnsureBufferSize(SOCKET s, int option) {
  int size = 0;
  int length = sizeof size;
  if (getsockopt(s, SOL_SOCKET, option, reinterpret_cast<char*>(&size), &length) == 0 &&
      size >= kBufferSize)
    return;
  setsockopt(s, SOL_SOCKET, option, reinterpret_cast<const char*>(&kBufferSize),
             sizeof kBufferSize);
}

void MakeNonBlocking(SOCKET s) {
  u_long on = 1;
  ioctlsocket(s, FIONBIO, &on);
}

enum class TWaitFor { Read, Write };

// Waits in slices; false on time-out (timeoutMs < 0 waits without limit) or when abort is set.
// A failed connect shows in the exception set.
bool WaitFor(SOCKET s, TWaitFor what, int timeoutMs, const std::atomic<bool>& abort,
             bool& aborted) {
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
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval wait{slice / 1000, (slice % 1000) * 1000};
    int r = what == TWaitFor::Read ? select(0, &ready, nullptr, &failed, &wait)
                                   : select(0, nullptr, &ready, &failed, &wait);
    if (r != 0) {
      aborted = abort;
      return !aborted;
    }
    waited += slice;
  }
}

}  // namespace

TTcpSocket::TTcpSocket() : FHandle(kNoSocket) {
  EnsureWinsock();
}

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

  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET)
    return false;
  EnsureBufferSize(s, SO_RCVBUF);
  EnsureBufferSize(s, SO_SNDBUF);
  MakeNonBlocking(s);
  {
    std::lock_guard lock(FLock);
    FHandle = static_cast<intptr_t>(s);
  }
  if (FAbort) {  // an Abort that came before the handle was visible to it
    Close();
    return false;
  }
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
    return true;
  if (WSAGetLastError() != WSAEWOULDBLOCK) {
    Close();
    return false;
  }
  bool aborted = false;
  int error = 0;
  int length = sizeof error;
  if (!WaitFor(s, TWaitFor::Write, -1, FAbort, aborted) ||
      getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 ||
      error != 0) {
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
  SOCKET s = Sock(FHandle);
  while (size > 0) {
    bool aborted = false;
    if (!WaitFor(s, TWaitFor::Write, timeoutMs, FAbort, aborted))
      return false;
    int sent = send(s, data, static_cast<int>(std::min<size_t>(size, 1 << 20)), 0);
    if (sent == SOCKET_ERROR) {
      if (WSAGetLastError() == WSAEWOULDBLOCK)
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
  SOCKET s = Sock(FHandle);
  for (;;) {
    bool aborted = false;
    if (!WaitFor(s, TWaitFor::Read, timeoutMs, FAbort, aborted)) {
      return aborted ? TRecvResult::Aborted : TRecvResult::Timeout;
    }
    int n = recv(s, buffer, static_cast<int>(std::min<size_t>(size, 1 << 30)), 0);
    if (n > 0) {
      received = static_cast<size_t>(n);
      return FAbort ? TRecvResult::Aborted : TRecvResult::Data;
    }
    if (FAbort)
      return TRecvResult::Aborted;
    if (n == 0)
      return TRecvResult::Closed;
    int error = WSAGetLastError();
    if (error == WSAECONNRESET || error == WSAECONNABORTED)
      return TRecvResult::Closed;
    if (error != WSAEWOULDBLOCK && error != WSAEINTR)
      return TRecvResult::Error;
  }
}

bool TTcpSocket::CanReadNow() {
  if (FHandle == kNoSocket)
    return true;
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(Sock(FHandle), &ready);
  timeval now{0, 0};
  return select(0, &ready, nullptr, nullptr, &now) != 0;
}

void TTcpSocket::Close() {
  std::lock_guard lock(FLock);
  CloseLocked();
}

void TTcpSocket::CloseLocked() {
  if (FHandle != kNoSocket)
    closesocket(Sock(FHandle));
  FHandle = kNoSocket;
}

void TTcpSocket::Abort() {
  FAbort = true;
  std::lock_guard lock(FLock);
  if (FHandle != kNoSocket)
    shutdown(Sock(FHandle), SD_BOTH);
}

void TTcpSocket::ClearAbort() {
  FAbort = false;
}

void TTcpSocket::Adopt(intptr_t handle) {
  std::lock_guard lock(FLock);
  CloseLocked();
  MakeNonBlocking(Sock(handle));
  FHandle = handle;
}

void TTcpSocket::ShutdownSend() {
  std::lock_guard lock(FLock);
  if (FHandle != kNoSocket)
    shutdown(Sock(FHandle), SD_SEND);
}

void TTcpSocket::CloseWithReset() {
  std::lock_guard lock(FLock);
  if (FHandle == kNoSocket)
    return;
  linger hard{1, 0};
  setsockopt(Sock(FHandle), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard),
             sizeof hard);
  CloseLocked();
}

TTcpListener::TTcpListener() : FHandle(kNoSocket) {
  EnsureWinsock();
}

TTcpListener::~TTcpListener() {
  Close();
}

bool TTcpListener::Listen() {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET)
    return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 16) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closesocket(s);
    return false;
  }
  MakeNonBlocking(s);
  std::lock_guard lock(FLock);
  FHandle = static_cast<intptr_t>(s);
  FPort = ntohs(address.sin_port);
  return true;
}

bool TTcpListener::Accept(TTcpSocket& connection, int timeoutMs) {
  SOCKET s;
  {
    std::lock_guard lock(FLock);
    if (FHandle == kNoSocket)
      return false;
    s = Sock(FHandle);
  }
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(s, &ready);
  timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  if (select(0, &ready, nullptr, nullptr, &wait) <= 0)
    return false;
  std::lock_guard lock(FLock);
  if (FHandle == kNoSocket)
    return false;
  SOCKET accepted = accept(s, nullptr, nullptr);
  if (accepted == INVALID_SOCKET)
    return false;
  connection.Adopt(static_cast<intptr_t>(accepted));
  return true;
}

void TTcpListener::Close() {
  std::lock_guard lock(FLock);
  if (FHandle != kNoSocket)
    closesocket(Sock(FHandle));
  FHandle = kNoSocket;
}

}  // namespace velmora
