// The file version of an executable, read from its version record, and the program's own
// version, read once at start and sent to the account server as the sum of its four parts.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace velmora {

struct TExeVersion {
  int64_t Number = 0;  // Major + Minor + Release + Build, the plain sum
  int32_t Major = 0;
  int32_t Minor = 0;
  int32_t Release = 0;
  int32_t Build = 0;
};

// The record from the two 32-bit words of a fixed version record (dwFileVersionMS, ...LS).
constexpr TExeVersion MakeExeVersion(uint32_t versionMS, uint32_t versionLS) {
  TExeVersion v;
  v.Major = static_cast<int32_t>(versionMS >> 16);
  v.Minor = static_cast<int32_t>(versionMS & 0xFFFF);
  v.Release = static_cast<int32_t>(versionLS >> 16);
  v.Build = static_cast<int32_t>(versionLS & 0xFFFF);
  v.Number = int64_t{v.Major} + v.Minor + v.Release + v.Build;
  return v;
}

// The four numbers as "a.b.c.d".
inline std::wstring VersionText(const TExeVersion& v) {
  return std::to_wstring(v.Major) + L"." + std::to_wstring(v.Minor) + L"." +
         std::to_wstring(v.Release) + L"." + std::to_wstring(v.Build);
}

// A file without a version record. what() holds the message in UTF-8, Message() as UTF-16.
class EExeVersionError : public std::runtime_error {
 public:
  EExeVersionError(const std::string& utf8, std::wstring message)
      : std::runtime_error(utf8), FMessage(std::move(message)) {}
  const std::wstring& Message() const { return FMessage; }

 private:
  std::wstring FMessage;
};

// The version of the executable at path. Throws EExeVersionError with the message
// "Can't get file version information for " + path when the file has no version record.
// Windows only.
TExeVersion GetExeVersion(const std::wstring& path);

// The full path of the running executable, whatever its length. Windows only.
std::wstring OwnModulePath();

// Reads the running program's own version into the record behind ExeVersion(). The program
// entry calls it once, before any window or thread exists; throws like GetExeVersion.
// Windows only.
void LoadExeVersion();

// The program's own version as LoadExeVersion read it; all zero before. Read-only afterwards,
// so any thread may read it without a lock.
const TExeVersion& ExeVersion();

}  // namespace velmora
