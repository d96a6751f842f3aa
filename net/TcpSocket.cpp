// TTcpSocket and TTcpListener over the platform socket calls: non-blocking sockets waited on
// in short slices, so an Abort from another thread ends any wait promptly.
#include "net/TcpSocket.h"

#include <algorithm>

#include "net/SocketApi.h"

namespace velmora {

using namespace sockets;

namespace {

constexpr int kWaitSliceMs = 100;
constexpr int kBufferSize = 65536;

// Buffers of at least 64 KiB, but never a fixed smaller one: a size set by hand turns the
// system's window tuning off and caps the throughput of every long transfer.
void EnsureBufferSize(intptr_t handle, TBuffer which) {
  int size = 0;
  if (GetBufferSize(handle, which, size) && size >= kBufferSize)
    return;
  SetBufferSize(handle, which, kBufferSize);
}

// Waits in slices; false on time-out (timeoutMs < 0 waits without limit) or when abort is set.
bool WaitFor(intptr_t handle, TWaitFor what, int timeoutMs, const std::atomic<bool>& abort,
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
    if (WaitReady(handle, what, slice)) {
      aborted = abort;
      return !aborted;
    }
    waited += slice;
  }
}

}  // namespace

TTcpSocket::TTcpSocket() : FHandle(kNoSocket) {
  StartSockets();
}

TTcpSocket::~TTcpSocket() {
  Close();
}

bool TTcpSocket::Connect(const std::string& host, const std::string& port) {
  Close();
  if (FAbort)
    return false;
  TIPv4Endpoint endpoint;
  if (!ResolveIPv4(host, port, endpoint))
    return false;
  intptr_t handle = OpenStreamSocket();
  if (handle == kNoSocket)
    return false;
  EnsureBufferSize(handle, TBuffer::Receive);
  EnsureBufferSize(handle, TBuffer::Send);
  MakeNonBlocking(handle);
  {
    std::lock_guard lock(FLock);
    FHandle = handle;
  }
  if (FAbort) {  // an Abort that came before the handle was visible to it
    Close();
    return false;
  }
  TStartConnect started = StartConnect(handle, endpoint);
  if (started == TStartConnect::Connected)
    return true;
  bool aborted = false;
  if (started == TStartConnect::Failed || !WaitFor(handle, TWaitFor::Write, -1, FAbort, aborted) ||
      !ConnectSucceeded(handle)) {
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
  intptr_t handle = FHandle;
  while (size > 0) {
    bool aborted = false;
    if (!WaitFor(handle, TWaitFor::Write, timeoutMs, FAbort, aborted))
      return false;
    size_t sent = 0;
    TIoResult result = SendSome(handle, data, size, sent);
    if (result == TIoResult::WouldBlock)
      continue;
    if (result != TIoResult::Done)
      return false;
    data += sent;
    size -= sent;
  }
  return !FAbort;
}

TRecvResult TTcpSocket::Recv(char* buffer, size_t size, int timeoutMs, size_t& received) {
  received = 0;
  if (FHandle == kNoSocket)
    return TRecvResult::Error;
  intptr_t handle = FHandle;
  for (;;) {
    bool aborted = false;
    if (!WaitFor(handle, TWaitFor::Read, timeoutMs, FAbort, aborted))
      return aborted ? TRecvResult::Aborted : TRecvResult::Timeout;
    size_t got = 0;
    TIoResult result = ReceiveSome(handle, buffer, size, got);
    if (result == TIoResult::Done) {
      received = got;
      return FAbort ? TRecvResult::Aborted : TRecvResult::Data;
    }
    if (FAbort)
      return TRecvResult::Aborted;
    if (result == TIoResult::Closed)
      return TRecvResult::Closed;
    if (result == TIoResult::Error)
      return TRecvResult::Error;
  }
}

bool TTcpSocket::CanReadNow() {
  if (FHandle == kNoSocket)
    return true;
  return WaitReady(FHandle, TWaitFor::Read, 0);
}

void TTcpSocket::Close() {
  std::lock_guard lock(FLock);
  CloseLocked();
}

void TTcpSocket::CloseLocked() {
  if (FHandle != kNoSocket)
    CloseSocket(FHandle);
  FHandle = kNoSocket;
}

void TTcpSocket::Abort() {
  FAbort = true;
  std::lock_guard lock(FLock);
  if (FHandle != kNoSocket)
    Shutdown(FHandle, TShutdown::Both);
}

void TTcpSocket::ClearAbort() {
  FAbort = false;
}

void TTcpSocket::Adopt(intptr_t handle) {
  std::lock_guard lock(FLock);
  CloseLocked();
  MakeNonBlocking(handle);
  FHandle = handle;
}

void TTcpSocket::ShutdownSend() {
  std::lock_guard lock(FLock);
  if (FHandle != kNoSocket)
    Shutdown(FHandle, TShutdown::Send);
}

void TTcpSocket::CloseWithReset() {
  std::lock_guard lock(FLock);
  if (FHandle == kNoSocket)
    return;
  SetResetOnClose(FHandle);
  CloseLocked();
}

TTcpListener::TTcpListener() : FHandle(kNoSocket) {
  StartSockets();
}

TTcpListener::~TTcpListener() {
  Close();
}

bool TTcpListener::Listen() {
  intptr_t handle = OpenStreamSocket();
  if (handle == kNoSocket)
    return false;
  uint16_t port = 0;
  if (!ListenOnLoopback(handle, 16, port)) {
    CloseSocket(handle);
    return false;
  }
  MakeNonBlocking(handle);
  std::lock_guard lock(FLock);
  FHandle = handle;
  FPort = port;
  return true;
}

bool TTcpListener::Accept(TTcpSocket& connection, int timeoutMs) {
  intptr_t handle;
  {
    std::lock_guard lock(FLock);
    if (FHandle == kNoSocket)
      return false;
    handle = FHandle;
  }
  if (!WaitReady(handle, TWaitFor::Read, timeoutMs))
    return false;
  std::lock_guard lock(FLock);
  if (FHandle == kNoSocket)
    return false;
  intptr_t accepted = AcceptConnection(handle);
  if (accepted == kNoSocket)
    return false;
  connection.Adopt(accepted);
  return true;
}

void TTcpListener::Close() {
  std::lock_guard lock(FLock);
  if (FHandle != kNoSocket)
    CloseSocket(FHandle);
  FHandle = kNoSocket;
}

}  // namespace velmora
