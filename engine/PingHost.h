// The reachability half of the line check: one ICMP echo.
#pragma once

#include <string>

namespace velmora {

// Sends one ICMP echo (64-byte payload, 2000 ms timeout) to target, a host name or a dotted
// IPv4 address; true when the platform reported no error for it. Windows only.
bool PingHost(const std::string& target);

}  // namespace velmora
