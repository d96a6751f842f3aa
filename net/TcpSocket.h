// The socket seam: one TCP connection and one listening socket, Winsock on Windows and BSD
// sockets elsewhere, so the HTTP client and its loopback test server run on both.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace velmora {

// What a wait for bytes ended with.
enum class TRecvResult { Data, Closed, Timeout, Error, Aborted };

// Where received bytes come from: a socket, or memory in tests and the fuzzer.
class IByteSource {
 public:
  virtual ~IByteSource() = default;
  // Waits up to timeoutMs for bytes and reads at most size of them into buffer; received
  // tells how many (only for TRecvResult::Data, then at least one).
  virtual TRecvResult Recv(char* buffer, size_t size, int timeoutMs, size_t& received) = 0;
};

class TTcpSocket : public IByteSource {
 public:
  TTcpSocket();
  ~TTcpSocket() override;
  TTcpSocket(const TTcpSocket&) = delete;
  TTcpSocket& operator=(const TTcpSocket&) = delete;

  // Resolves host (IPv4) and connects; waits as long as the system does unless aborted.
  bool Connect(const std::string& host, const std::string& port);
  bool Connected() const;
  // Sends everything, each wait for room limited to timeoutMs.
  bool SendAll(const char* data, size_t size, int timeoutMs);
  TRecvResult Recv(char* buffer, size_t size, int timeoutMs, size_t& received) override;
  // True when a read would not block: bytes waiting, or the peer has closed or reset.
  bool CanReadNow();
  void Close();

  // Thread-safe: makes the running and every later wait of this socket end with Aborted and
  // shuts the connection down, until ClearAbort.
  void Abort();
  void ClearAbort();
  bool AbortRequested() const { return FAbort; }

  // Used by TTcpListener to hand over an accepted connection.
  void Adopt(intptr_t handle);
  // Peer closes its half gracefully (test servers use it to end an answer without length).
  void ShutdownSend();
  // Closes with a reset instead of an orderly close (test servers).
  void CloseWithReset();

 private:
  void CloseLocked();

  mutable std::mutex FLock;  // guards FHandle against Abort from another thread
  intptr_t FHandle;
  std::atomic<bool> FAbort{false};
};

// A listening socket on 127.0.0.1 with an ephemeral port (test servers).
class TTcpListener {
 public:
  TTcpListener();
  ~TTcpListener();
  TTcpListener(const TTcpListener&) = delete;
  TTcpListener& operator=(const TTcpListener&) = delete;

  bool Listen();
  uint16_t Port() const { return FPort; }
  // Waits up to timeoutMs for a connection; false on time-out or after Close.
  bool Accept(TTcpSocket& connection, int timeoutMs);
  void Close();

 private:
  std::mutex FLock;
  intptr_t FHandle;
  uint16_t FPort = 0;
};

}  // namespace velmora
