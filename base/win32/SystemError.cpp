// SystemErrorText on FormatMessageW.
#include "base/win32/SystemError.h"

#include "base/win32/Scoped.h"

namespace velmora {

std::wstring SystemErrorText(DWORD error) {
  TLocalMemory<wchar_t> text;
  // With ALLOCATE_BUFFER the call takes the address of the pointer in place of the buffer.
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(text.Receive()), 0, nullptr);
  std::wstring message = length != 0 && text ? std::wstring(text.Get(), length) : std::wstring();
  while (!message.empty() &&
         (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
    message.pop_back();
  return message.empty() ? L"System error " + std::to_wstring(error) : message;
}

}  // namespace velmora
