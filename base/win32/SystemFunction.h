// Functions of the system's DLLs looked up at run time, for the calls that not every
// supported Windows has: the one idiom for them. Keep the result in a function-local static,
// so each is looked up once, on first use, and safely from any thread:
//   static const auto getDpi = SystemFunction<TGetDpi>(L"user32.dll", "GetDpiForWindow");
#pragma once

#include <windows.h>

namespace velmora {

// A function of a DLL the caller has loaded; null when the DLL or the function is missing.
template <typename TFunction>
TFunction SystemFunction(HMODULE library, const char* name) {
  const FARPROC address = library != nullptr ? GetProcAddress(library, name) : nullptr;
  return reinterpret_cast<TFunction>(reinterpret_cast<void*>(address));
}

// The same, with the DLL loaded by its name; it stays loaded for good.
template <typename TFunction>
TFunction SystemFunction(const wchar_t* library, const char* name) {
  return SystemFunction<TFunction>(LoadLibraryW(library), name);
}

}  // namespace velmora
