// The few socket calls TTcpSocket and TTcpListener are built on: BSD sockets in posix/, Winsock
// in win32/, the address calls alike on both in SocketAddress.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmora::sockets {

// A socket handle as TTcpSocket keeps it; INVALID_SOCKET and -1 both read as this.
constexpr intptr_t kNoSocket = -1;

// An IPv4 address and port, both in network byte order.
struct TIPv4Endpoint {
  uint32_t Address = 0;
  uint16_t Port = 0;
};

enum class TWaitFor { Read, Write };
enum class TBuffer { Receive, Send };
enum class TShutdown { Send, Both };
enum class TStartConnect { Connected, InProgress, Failed };
// How one read or write ended: Done moved at least one byte (or all of an empty write).
enum class TIoResult { Done, WouldBlock, Closed, Error };

// Starts the system's socket layer once for the process (Winsock); harmless to repeat.
void StartSockets();

bool ResolveIPv4(const std::string& host, const std::string& port, TIPv4Endpoint& endpoint);
// A new TCP socket, not inherited by child processes; kNoSocket on failure.
intptr_t OpenStreamSocket();
void MakeNonBlocking(intptr_t handle);
bool GetBufferSize(intptr_t handle, TBuffer which, int& size);
void SetBufferSize(intptr_t handle, TBuffer which, int size);

TStartConnect StartConnect(intptr_t handle, const TIPv4Endpoint& endpoint);
// After a connect that failed at once: whether it only goes on in the background.
bool ConnectGoesOn();
// After a connect in progress has become writable: whether it was established.
bool ConnectSucceeded(intptr_t handle);

// Waits up to timeoutMs (0 polls, < 0 without limit); true when the socket is ready or the
// wait itself failed, so that the following call reports the error.
bool WaitReady(intptr_t handle, TWaitFor what, int timeoutMs);
TIoResult SendSome(intptr_t handle, const char* data, size_t size, size_t& sent);
// A reset by the peer reads as Closed.
TIoResult ReceiveSome(intptr_t handle, char* buffer, size_t size, size_t& received);

// Binds to 127.0.0.1 on an ephemeral port and listens; port is the one the system picked.
bool ListenOnLoopback(intptr_t handle, int backlog, uint16_t& port);
// An accepted connection, not inherited by child processes; kNoSocket on failure.
intptr_t AcceptConnection(intptr_t listener);

void Shutdown(intptr_t handle, TShutdown how);
// Makes the next close send a reset instead of an orderly close.
void SetResetOnClose(intptr_t handle);
void CloseSocket(intptr_t handle);

}  // namespace velmora::sockets
