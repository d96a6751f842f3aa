// Reads what the self-update needs to know of a downloaded file before it may replace the
// program: is it a Windows executable, for which processor, and which version does its version
// record carry. Works on the bytes alone, so untrusted input never reaches a loader.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/ExeVersion.h"

namespace velmora {

// Processor types of a PE file header.
inline constexpr uint16_t kMachineI386 = 0x014C;
inline constexpr uint16_t kMachineAmd64 = 0x8664;

// The processor type this program is built for.
#if defined(__x86_64__) || defined(_M_X64)
inline constexpr uint16_t kOwnMachine = kMachineAmd64;
#else
inline constexpr uint16_t kOwnMachine = kMachineI386;
#endif

struct TPeImageInfo {
  uint16_t Machine = 0;
  // The fixed part of the version record; absent when the file carries none.
  std::optional<TExeVersion> Version;
};

// The facts of a whole executable image (not a DLL); nullopt when the bytes are not one, or
// are one cut short: its headers, a section's data or its certificate table reaching past the
// end (such a file does not start). Every offset is checked against the data, so hostile files
// give nullopt or no version, never a read out of bounds.
std::optional<TPeImageInfo> ReadPeImage(std::string_view bytes);

// True when the bytes begin as an executable image that ends too soon, as a cut download does;
// false for a whole image and for bytes that are no image at all.
bool IsCutPeImage(std::string_view bytes);

// True when a is a later version than b, comparing the four numbers in turn.
bool IsNewerVersion(const TExeVersion& a, const TExeVersion& b);

}  // namespace velmora
