// Scoped owners of the Win32 resources the program holds: one move-only template over a
// closer, the closers of kernel handles, registry keys, GDI objects, device contexts, icons,
// image lists, menus and system-allocated memory, and the device context's select-and-restore
// pair. A resource of another kind gets a closer of its own beside its one user.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <utility>

namespace velmora {

// Owns one resource of the kind TCloser describes: its type (THandle), the value that means
// none (None), which values are held (Held) and how one is given back (Close).
template <typename TCloser>
class TScoped {
 public:
  using THandle = typename TCloser::THandle;

  TScoped() = default;
  explicit TScoped(THandle handle) : FHandle(handle) {}
  ~TScoped() { Close(); }
  TScoped(TScoped&& other) noexcept : FHandle(other.Release()) {}
  TScoped& operator=(TScoped&& other) noexcept {
    if (this != &other)
      Reset(other.Release());
    return *this;
  }
  TScoped(const TScoped&) = delete;
  TScoped& operator=(const TScoped&) = delete;

  THandle Get() const { return FHandle; }
  bool Valid() const { return TCloser::Held(FHandle); }
  explicit operator bool() const { return Valid(); }

  // Gives the resource up without closing it.
  THandle Release() { return std::exchange(FHandle, TCloser::None()); }
  // Closes what is held and takes handle instead.
  void Reset(THandle handle = TCloser::None()) {
    Close();
    FHandle = handle;
  }
  // Closes what is held; false when the closer failed (a file's last write may fail there).
  bool Close() {
    const THandle handle = Release();
    return !TCloser::Held(handle) || TCloser::Close(handle);
  }
  // For the calls that hand a new resource out through a pointer: empty first, then filled.
  THandle* Receive() {
    Reset();
    return &FHandle;
  }

 private:
  THandle FHandle = TCloser::None();
};

// The closers of the kinds whose none is the null value.
template <typename T>
struct TNullIsNone {
  using THandle = T;
  static T None() { return nullptr; }
  static bool Held(T handle) { return handle != nullptr; }
};

// Kernel handles: creation calls report failure with either null or INVALID_HANDLE_VALUE.
struct THandleCloser : TNullIsNone<HANDLE> {
  static bool Held(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static bool Close(HANDLE handle) { return CloseHandle(handle) != FALSE; }
};

struct TKeyCloser : TNullIsNone<HKEY> {
  static bool Close(HKEY key) { return RegCloseKey(key) == ERROR_SUCCESS; }
};

template <typename T>
struct TGdiCloser : TNullIsNone<T> {
  static bool Close(T object) { return DeleteObject(object) != FALSE; }
};

// A memory device context (CreateCompatibleDC); a window's own one is TWindowDC.
struct TMemoryDCCloser : TNullIsNone<HDC> {
  static bool Close(HDC dc) { return DeleteDC(dc) != FALSE; }
};

struct TIconCloser : TNullIsNone<HICON> {
  static bool Close(HICON icon) { return DestroyIcon(icon) != FALSE; }
};

struct TImageListCloser : TNullIsNone<HIMAGELIST> {
  static bool Close(HIMAGELIST list) { return ImageList_Destroy(list) != FALSE; }
};

struct TMenuCloser : TNullIsNone<HMENU> {
  static bool Close(HMENU menu) { return DestroyMenu(menu) != FALSE; }
};

// Movable global memory, as the clipboard takes it.
struct TGlobalCloser : TNullIsNone<HGLOBAL> {
  static bool Close(HGLOBAL memory) { return GlobalFree(memory) == nullptr; }
};

// Memory the system allocated with LocalAlloc (FormatMessage, security descriptors).
template <typename T>
struct TLocalCloser : TNullIsNone<T*> {
  static bool Close(T* memory) { return LocalFree(memory) == nullptr; }
};

// Memory the system allocated with CoTaskMemAlloc (known folder paths).
template <typename T>
struct TCoTaskCloser : TNullIsNone<T*> {
  static bool Close(T* memory) {
    CoTaskMemFree(memory);
    return true;
  }
};

// A COM interface pointer: one reference, given back with Release.
template <typename T>
struct TComCloser : TNullIsNone<T*> {
  static bool Close(T* object) {
    object->Release();
    return true;
  }
};

using TScopedHandle = TScoped<THandleCloser>;
using TScopedKey = TScoped<TKeyCloser>;
using TScopedFont = TScoped<TGdiCloser<HFONT>>;
using TScopedBitmap = TScoped<TGdiCloser<HBITMAP>>;
using TMemoryDC = TScoped<TMemoryDCCloser>;
using TScopedIcon = TScoped<TIconCloser>;
using TScopedImageList = TScoped<TImageListCloser>;
using TScopedMenu = TScoped<TMenuCloser>;
using TGlobalMemory = TScoped<TGlobalCloser>;
template <typename T>
using TLocalMemory = TScoped<TLocalCloser<T>>;
template <typename T>
using TCoTaskMemory = TScoped<TCoTaskCloser<T>>;
template <typename T>
using TComPtr = TScoped<TComCloser<T>>;

// A window's device context (GetDC), given back to the window with ReleaseDC.
class TWindowDC {
 public:
  explicit TWindowDC(HWND window) : FWindow(window), FDC(GetDC(window)) {}
  ~TWindowDC() {
    if (FDC)
      ReleaseDC(FWindow, FDC);
  }
  TWindowDC(const TWindowDC&) = delete;
  TWindowDC& operator=(const TWindowDC&) = delete;
  HDC Get() const { return FDC; }

 private:
  HWND FWindow;
  HDC FDC;
};

// Selects an object into a device context for a scope and puts back what was there, so the
// object can be deleted and the context released afterwards. Declared after the object and
// the context, it is undone before them.
class TSelection {
 public:
  TSelection(HDC dc, HGDIOBJ object) : FDC(dc), FPrevious(SelectObject(dc, object)) {}
  ~TSelection() {
    if (FPrevious)
      SelectObject(FDC, FPrevious);
  }
  TSelection(const TSelection&) = delete;
  TSelection& operator=(const TSelection&) = delete;

 private:
  HDC FDC;
  HGDIOBJ FPrevious;
};

}  // namespace velmora
