// Runs a console program without a window and hands its output to a callback in chunks of
// ANSI text. The engine's only way of running the system's dialer.
#pragma once

#include <cstdint>
#include <string>

#include "engine/ConnectorEnv.h"

namespace velmora {

// Bound of one run: a dialer that never ends must not hold its caller (and csDial) for good.
inline constexpr uint32_t kConsoleRunLimitMs = 120000;

// Runs command + " " + params with a hidden console; every byte the program writes to its
// standard output and error reaches onChunk, in order, OEM text converted to ANSI, at most
// 2400 bytes a call. Returns when the program has ended, when stop is set, or after limitMs
// (the program is then ended and what it wrote is still delivered). Windows only.
void RunConsoleCommand(const std::wstring& command, const std::wstring& params,
                       const TConsoleOutputProc& onChunk, const TStopSignal* stop = nullptr,
                       uint32_t limitMs = kConsoleRunLimitMs);

}  // namespace velmora
