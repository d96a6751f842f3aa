// The provider's dial-up entry and the dialer's error numbers: the phonebook writer, the
// dialer's command lines and the window's reading of a dial all take them from here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velmora {

// The entry's name, 7-bit ASCII: the phonebook's section and the dialer's argument.
inline constexpr std::string_view kEntryName = "Tarvolix";

// The same name as a terminated UTF-16 string, for the dialer's command lines.
inline constexpr auto kWideEntryName = [] {
  std::array<wchar_t, kEntryName.size() + 1> wide{};
  for (size_t i = 0; i < kEntryName.size(); ++i)
    wide[i] = static_cast<wchar_t>(kEntryName[i]);
  return wide;
}();

// Error numbers of the dialer that mean the dial failed.
inline constexpr int32_t kFirstDialError = 600;
inline constexpr int32_t kLastDialError = 800;

constexpr bool IsDialError(int32_t errorCode) {
  return errorCode >= kFirstDialError && errorCode <= kLastDialError;
}

}  // namespace velmora
