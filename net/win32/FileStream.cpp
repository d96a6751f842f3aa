// TFileStream on a Win32 file handle opened for writing with no sharing at all.
#include <windows.h>

#include "base/win32/Scoped.h"
#include "base/win32/SystemError.h"
#include "net/Streams.h"

namespace velmora {

struct TFileStream::THandle {
  TScopedHandle File;
};

TFileStream::TFileStream(const std::wstring& filename) : FHandle(std::make_unique<THandle>()) {
  FHandle->File.Reset(CreateFileW(filename.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!FHandle->File.Valid())
    FError = SystemErrorText(GetLastError());
}

TFileStream::~TFileStream() = default;

bool TFileStream::Open() const {
  return FHandle->File.Valid();
}

bool TFileStream::Write(const char* data, size_t size) {
  while (size > 0) {
    DWORD chunk = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
    DWORD written = 0;
    if (!WriteFile(FHandle->File.Get(), data, chunk, &written, nullptr) || written == 0)
      return false;
    data += written;
    size -= written;
  }
  return true;
}

void TFileStream::Truncate() {
  SetPosition(0);
  SetEndOfFile(FHandle->File.Get());
}

int64_t TFileStream::Position() const {
  LARGE_INTEGER zero{}, position{};
  SetFilePointerEx(FHandle->File.Get(), zero, &position, FILE_CURRENT);
  return position.QuadPart;
}

void TFileStream::SetPosition(int64_t position) {
  LARGE_INTEGER target{};
  target.QuadPart = position;
  SetFilePointerEx(FHandle->File.Get(), target, nullptr, FILE_BEGIN);
}

std::wstring FullFileName(const std::wstring& filename) {
  DWORD size = GetFullPathNameW(filename.c_str(), 0, nullptr, nullptr);
  if (size == 0)
    return filename;
  std::wstring full(size, L'\0');
  DWORD length = GetFullPathNameW(filename.c_str(), size, full.data(), nullptr);
  full.resize(length);
  return full;
}

}  // namespace velmora
