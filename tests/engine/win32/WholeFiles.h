// Whole files for the Wine tests: read while the stand-in dialer may still hold them open for
// writing, and written anew.
#pragma once

#include <windows.h>

#include <string>

#include "base/win32/Scoped.h"

namespace velmora::testing {

// Empty when the file cannot be opened.
inline std::string ReadBytes(const std::wstring& path) {
  const TScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return std::string();
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file.Get(), buffer, sizeof(buffer), &got, nullptr) && got > 0)
    bytes.append(buffer, got);
  return bytes;
}

inline bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  const TScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return false;
  DWORD written = 0;
  return WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace velmora::testing
