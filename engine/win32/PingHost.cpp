// PingHost on Windows: one ICMP echo through the ICMP helper, the target resolved with the
// 1.1 socket interface.
#include "engine/PingHost.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <vector>

#include "base/win32/Scoped.h"

namespace velmora {
namespace {

constexpr WORD kSocketsVersion = 0x0101;
constexpr WORD kPayloadBytes = 64;
constexpr DWORD kEchoTimeoutMs = 2000;
// The reply record as this build lays it out (28 bytes in 32-bit, more in 64-bit), the echoed
// payload, and the 8 bytes the helper wants for an ICMP error message.
constexpr DWORD kReplyBytes = sizeof(ICMP_ECHO_REPLY) + kPayloadBytes + 8;

// The ICMP helper's handle: a kernel handle that the helper closes.
struct TIcmpCloser : THandleCloser {
  static bool Close(HANDLE handle) { return IcmpCloseHandle(handle) != FALSE; }
};

// The socket interface for the life of one probe; cleaned up only when it started.
class TSocketsStartup {
 public:
  TSocketsStartup() : FStarted(WSAStartup(kSocketsVersion, &FData) == 0) {}
  ~TSocketsStartup() {
    if (FStarted)
      WSACleanup();
  }
  TSocketsStartup(const TSocketsStartup&) = delete;
  TSocketsStartup& operator=(const TSocketsStartup&) = delete;
  bool Started() const { return FStarted; }

 private:
  WSADATA FData{};
  bool FStarted;
};

}  // namespace

bool PingHost(const std::string& target) {
  const TScoped<TIcmpCloser> echo(IcmpCreateFile());
  if (!echo.Valid())
    return false;
  std::vector<unsigned char> reply(kReplyBytes);
  const TSocketsStartup sockets;
  if (!sockets.Started())
    return false;

  // The error state is cleared before each call, so a stale error of an earlier call does not
  // fail a probe that went through.
  SetLastError(0);
  const hostent* host = gethostbyname(target.c_str());
  if (host == nullptr || GetLastError() != 0 || host->h_addrtype != AF_INET ||
      host->h_length != 4 || host->h_addr_list == nullptr || host->h_addr_list[0] == nullptr) {
    return false;
  }
  IPAddr destination = 0;
  memcpy(&destination, host->h_addr_list[0], sizeof(destination));

  unsigned char payload[kPayloadBytes];
  for (WORD index = 0; index < kPayloadBytes; ++index)
    payload[index] = 'a' + index % 26;
  SetLastError(0);
  IcmpSendEcho(echo.Get(), destination, payload, kPayloadBytes, nullptr, reply.data(), kReplyBytes,
               kEchoTimeoutMs);
  return GetLastError() == 0;
}

}  // namespace velmora
