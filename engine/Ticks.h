// Deadlines on the system's 32-bit millisecond uptime counter, which wraps about every
// 49.7 days. Comparisons take the wrap into account, so a deadline set just before the wrap
// does not hold a loop for a whole cycle.
#pragma once

#include <cstdint>

namespace velmora {

// A deadline of 0 is due at once; kHoldOff keeps the loop that waits for it from running.
inline constexpr uint32_t kDueNow = 0;
inline constexpr uint32_t kHoldOff = 0xFFFFFFFF;

// True when the counter has reached the deadline. A deadline up to half a cycle (24.8 days)
// ahead of the counter counts as not yet reached.
constexpr bool IsDue(uint32_t now, uint32_t deadline) {
  if (deadline == kDueNow) return true;
  if (deadline == kHoldOff) return false;
  return static_cast<int32_t>(now - deadline) >= 0;
}

// The deadline ms milliseconds after now; steps past the two special values, so a computed
// deadline never means "at once" or "held off" by accident of the wrap.
constexpr uint32_t DeadlineAfter(uint32_t now, uint32_t ms) {
  uint32_t deadline = now + ms;
  if (deadline == kDueNow) return 1;
  if (deadline == kHoldOff) return kHoldOff - 1;
  return deadline;
}

// Milliseconds from since to now, across the wrap.
constexpr uint32_t TicksSince(uint32_t now, uint32_t since) { return now - since; }

}  // namespace velmora
