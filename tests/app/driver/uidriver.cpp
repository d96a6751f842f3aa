// uidriver: drives the running Ostrada.exe from outside for the end-to-end tests. Finds the
// main window by its title and the controls by their IDC_ IDs, reads and changes them, and
// captures what the screen shows. One subcommand per run; exit code 0 on success.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "base/WindowMessages.h"
#include "base/win32/Dib.h"
#include "base/win32/Scoped.h"
#include "base/win32/SystemCodePage.h"
#include "base/win32/SystemFunction.h"
#include "engine/AppTitle.h"
#include "ui/resource.h"

namespace {

using velmora::kApplicationTitle;
using velmora::kMainFormClassName;
constexpr UINT kSendTimeoutMs = 5000;

struct TNamedId {
  const wchar_t* Name;
  int Id;
};

#define VELMORA_ID(name) \
  { L## #name, IDC_##name }
const TNamedId kIds[] = {
    VELMORA_ID(pc),
    VELMORA_ID(tsConnect),
    VELMORA_ID(tsLog),
    VELMORA_ID(tsSettings),
    VELMORA_ID(tsHelp),
    VELMORA_ID(pMainInfo),
    VELMORA_ID(imgMainLogo),
    VELMORA_ID(lbContract),
    VELMORA_ID(lbContractInfo),
    VELMORA_ID(lbFIO),
    VELMORA_ID(lbFIOInfo),
    VELMORA_ID(lbTariff),
    VELMORA_ID(lbTariffInfo),
    VELMORA_ID(lbBalance),
    VELMORA_ID(lbBalanceInfo),
    VELMORA_ID(lbDieDate),
    VELMORA_ID(lbDieDateInfo),
    VELMORA_ID(lbContactInfoRight),
    VELMORA_ID(lbContactInfoLeft),
    VELMORA_ID(bRefresh),
    VELMORA_ID(lbAccountLink),
    VELMORA_ID(ebLogin),
    VELMORA_ID(ebPassword),
    VELMORA_ID(ebLoginRightButton),
    VELMORA_ID(ebPasswordRightButton),
    VELMORA_ID(cbSaveAuthData),
    VELMORA_ID(cbHidePassword),
    VELMORA_ID(bConnect),
    VELMORA_ID(bDisconnect),
    VELMORA_ID(mInfo),
    VELMORA_ID(lbCopy),
    VELMORA_ID(lbAutoConnect),
    VELMORA_ID(cbAutoConnect),
    VELMORA_ID(lbAutoReconnect),
    VELMORA_ID(cbAutoReconnect),
    VELMORA_ID(lblAutoUpdate),
    VELMORA_ID(cbAutoUpdate),
    VELMORA_ID(lbAutostart),
    VELMORA_ID(cbAutostart),
    VELMORA_ID(bApplySettings),
    VELMORA_ID(catHelp),
    VELMORA_ID(ct691),
    VELMORA_ID(lb691),
    VELMORA_ID(ct734),
    VELMORA_ID(lb734),
    VELMORA_ID(ct769),
    VELMORA_ID(lb769),
    VELMORA_ID(ct680676),
    VELMORA_ID(lb680676),
    VELMORA_ID(ct651),
    VELMORA_ID(lb651),
    VELMORA_ID(ct678),
    VELMORA_ID(lb678),
};
#undef VELMORA_ID

void Write(const std::wstring& text) {
  std::string bytes = velmora::ToUtf8(text) + '\n';
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
            &written, nullptr);
}

void Fail(const std::wstring& text) {
  std::string bytes;
  for (wchar_t c : text) {
    bytes += c < 128 ? static_cast<char>(c) : '?';
  }
  std::fprintf(stderr, "uidriver: %s\n", bytes.c_str());
}

std::optional<int> ParseId(const std::wstring& text) {
  for (const TNamedId& named : kIds) {
    if (text == named.Name || text == std::wstring(L"IDC_") + named.Name) {
      return named.Id;
    }
  }
  wchar_t* end = nullptr;
  const long value = std::wcstol(text.c_str(), &end, 10);
  if (!text.empty() && end != nullptr && *end == 0) {
    return static_cast<int>(value);
  }
  return std::nullopt;
}

struct TWindowSearch {
  std::vector<HWND> Found;
};

BOOL CALLBACK CollectMainWindows(HWND window, LPARAM context) {
  wchar_t className[64] = L"";
  wchar_t title[64] = L"";
  GetClassNameW(window, className, 64);
  GetWindowTextW(window, title, 64);
  if (std::wcscmp(className, kMainFormClassName) == 0 &&
      std::wcscmp(title, kApplicationTitle) == 0) {
    reinterpret_cast<TWindowSearch*>(context)->Found.push_back(window);
  }
  return TRUE;
}

std::vector<HWND> MainWindows() {
  TWindowSearch search;
  EnumWindows(CollectMainWindows, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

HWND MainWindow() {
  const std::vector<HWND> windows = MainWindows();
  return windows.empty() ? nullptr : windows.front();
}

struct TControlSearch {
  int Id;
  HWND Found;
};

BOOL CALLBACK MatchControl(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<TControlSearch*>(context);
  if (GetDlgCtrlID(window) == search->Id) {
    search->Found = window;
    return FALSE;
  }
  return TRUE;
}

// Controls sit on page windows; EnumChildWindows walks every descendant.
HWND FindControl(HWND main, int id) {
  TControlSearch search = {id, nullptr};
  EnumChildWindows(main, MatchControl, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
  return static_cast<LRESULT>(result);
}

std::wstring ControlText(HWND control) {
  const LRESULT length = Send(control, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied =
      Send(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(copied));
  return text;
}

// Memory inside the program's process, for messages whose pointers the system does not carry
// across processes (the tooltip's tool records).
class TRemoteBuffer {
 public:
  TRemoteBuffer(HWND window, size_t size) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    FProcess.Reset(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (FProcess) {
      FAddress = VirtualAllocEx(FProcess.Get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
  }
  ~TRemoteBuffer() {
    if (FAddress != nullptr) {
      VirtualFreeEx(FProcess.Get(), FAddress, 0, MEM_RELEASE);
    }
  }
  TRemoteBuffer(const TRemoteBuffer&) = delete;
  TRemoteBuffer& operator=(const TRemoteBuffer&) = delete;

  bool Valid() const { return FAddress != nullptr; }
  BYTE* Address() const { return static_cast<BYTE*>(FAddress); }
  bool Write(size_t offset, const void* data, size_t size) {
    return WriteProcessMemory(FProcess.Get(), Address() + offset, data, size, nullptr) != FALSE;
  }
  bool Read(size_t offset, void* data, size_t size) {
    return ReadProcessMemory(FProcess.Get(), Address() + offset, data, size, nullptr) != FALSE;
  }

 private:
  velmora::TScopedHandle FProcess;
  void* FAddress = nullptr;
};

struct TTooltipSearch {
  DWORD ProcessId;
  std::vector<HWND> Found;
};

BOOL CALLBACK CollectTooltips(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<TTooltipSearch*>(context);
  wchar_t className[64] = L"";
  GetClassNameW(window, className, 64);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == search->ProcessId && _wcsicmp(className, TOOLTIPS_CLASSW) == 0) {
    search->Found.push_back(window);
  }
  return TRUE;
}

// The hint of a control: asks each tooltip of the program's process for the tool that the
// control is registered as (by handle, under its parent).
std::wstring ControlHint(HWND main, HWND control) {
  TTooltipSearch search = {0, {}};
  GetWindowThreadProcessId(main, &search.ProcessId);
  EnumWindows(CollectTooltips, reinterpret_cast<LPARAM>(&search));
  constexpr size_t kTextChars = 1024;
  const size_t textOffset = (sizeof(TTTOOLINFOW) + 15) & ~size_t{15};
  for (HWND tooltip : search.Found) {
    TRemoteBuffer remote(tooltip, textOffset + kTextChars * sizeof(wchar_t));
    if (!remote.Valid()) {
      continue;
    }
    const std::vector<HWND> owners = {GetParent(control), main};
    for (HWND owner : owners) {
      TTTOOLINFOW info = {};
      info.cbSize = sizeof(info);
      info.hwnd = owner;
      info.uId = reinterpret_cast<UINT_PTR>(control);
      info.lpszText = reinterpret_cast<wchar_t*>(remote.Address() + textOffset);
      const wchar_t empty = 0;
      remote.Write(0, &info, sizeof(info));
      remote.Write(textOffset, &empty, sizeof(empty));
      Send(tooltip, TTM_GETTEXTW, kTextChars, reinterpret_cast<LPARAM>(remote.Address()));
      std::wstring text(kTextChars, L'\0');
      remote.Read(textOffset, text.data(), kTextChars * sizeof(wchar_t));
      text.resize(std::wcslen(text.c_str()));
      if (!text.empty()) {
        return text;
      }
    }
  }
  return L"";
}

// The screen's pixels of a rectangle (the program's windows are drawn on the display).
struct TCapture {
  int Width = 0;
  int Height = 0;
  std::vector<BYTE> Pixels;  // 32-bit BGRA rows, top-down
};

TCapture CaptureScreen(const RECT& rect) {
  TCapture capture;
  capture.Width = rect.right - rect.left;
  capture.Height = rect.bottom - rect.top;
  if (capture.Width <= 0 || capture.Height <= 0) {
    return capture;
  }
  const velmora::TWindowDC screen(nullptr);
  const velmora::TMemoryDC memory(CreateCompatibleDC(screen.Get()));
  void* bits = nullptr;
  const velmora::TScopedBitmap bitmap =
      velmora::MakeTopDownDib(capture.Width, capture.Height, bits);
  if (bitmap) {
    const velmora::TSelection selected(memory.Get(), bitmap.Get());
    BitBlt(memory.Get(), 0, 0, capture.Width, capture.Height, screen.Get(), rect.left, rect.top,
           SRCCOPY);
    GdiFlush();
    const BYTE* first = static_cast<const BYTE*>(bits);
    capture.Pixels.assign(first, first + static_cast<size_t>(capture.Width) * capture.Height * 4);
  }
  return capture;
}

// Which of the connect button's three images shows: a clearly green or red patch, else grey.
std::wstring ImageColour(HWND control) {
  RECT rect;
  GetWindowRect(control, &rect);
  const TCapture capture = CaptureScreen(rect);
  int green = 0;
  int red = 0;
  for (size_t i = 0; i + 3 < capture.Pixels.size(); i += 4) {
    const int b = capture.Pixels[i];
    const int g = capture.Pixels[i + 1];
    const int r = capture.Pixels[i + 2];
    if (g > 100 && g > r + 60 && g > b + 60) {
      ++green;
    } else if (r > 100 && r > g + 60 && r > b + 60) {
      ++red;
    }
  }
  constexpr int kPatch = 30;  // well below a 16 x 16 image, well above stray pixels
  if (green >= kPatch && green >= red) {
    return L"green";
  }
  if (red >= kPatch) {
    return L"red";
  }
  return L"grey";
}

bool SaveBitmap(const std::wstring& path, const TCapture& capture) {
  if (capture.Pixels.empty()) {
    return false;
  }
  const int rowBytes = capture.Width * 3 + ((4 - capture.Width * 3 % 4) % 4);
  const DWORD imageSize = static_cast<DWORD>(rowBytes) * capture.Height;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER header = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(header);
  file.bfSize = file.bfOffBits + imageSize;
  header.biSize = sizeof(header);
  header.biWidth = capture.Width;
  header.biHeight = capture.Height;  // bottom-up rows
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = imageSize;
  std::vector<BYTE> data(imageSize, 0);
  for (int y = 0; y < capture.Height; ++y) {
    const BYTE* source =
        &capture.Pixels[static_cast<size_t>(capture.Height - 1 - y) * capture.Width * 4];
    BYTE* target = &data[static_cast<size_t>(y) * rowBytes];
    for (int x = 0; x < capture.Width; ++x) {
      target[x * 3] = source[x * 4];
      target[x * 3 + 1] = source[x * 4 + 1];
      target[x * 3 + 2] = source[x * 4 + 2];
    }
  }
  const velmora::TScopedHandle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) {
    return false;
  }
  DWORD written = 0;
  return WriteFile(out.Get(), &file, sizeof(file), &written, nullptr) &&
         WriteFile(out.Get(), &header, sizeof(header), &written, nullptr) &&
         WriteFile(out.Get(), data.data(), imageSize, &written, nullptr);
}

struct TResult {
  bool Ok;
  std::wstring Output;
};

TResult Error(const std::wstring& text) {
  return {false, text};
}

// The program's tray icon (its window, ID 1): a change without flags succeeds only while the
// shell holds the icon.
bool TrayIconExists(HWND main) {
  NOTIFYICONDATAW data = {};
  data.cbSize = sizeof(data);
  data.hWnd = main;
  data.uID = 1;
  return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

// Holds the clipboard with text for ms milliseconds, as a busy program would.
TResult HoldClipboard(DWORD ms, const std::wstring& text) {
  HWND owner =
      CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  if (owner == nullptr || !OpenClipboard(owner)) {
    return Error(L"cannot open the clipboard");
  }
  EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  std::memcpy(GlobalLock(memory), text.c_str(), bytes);
  GlobalUnlock(memory);
  SetClipboardData(CF_UNICODETEXT, memory);
  Write(L"held");
  Sleep(ms);
  CloseClipboard();
  // Its text stays readable while the owner lives on a little.
  Write(L"released");
  Sleep(5000);
  return {true, L"ended"};
}

TResult ClipboardText() {
  // Wine's clipboard manager opens the clipboard for a moment after every change to hand the
  // text to X; a loaded machine stretches that moment, so try for a while.
  const ULONGLONG deadline = GetTickCount64() + 5000;
  while (!OpenClipboard(nullptr)) {
    if (GetTickCount64() > deadline) {
      return Error(L"cannot open the clipboard");
    }
    Sleep(50);
  }
  std::wstring text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return {true, text};
}

// The handles a process holds, from the system's handle table: Wine answers
// GetProcessHandleCount for the calling process only.
struct TSystemHandleEntry {
  ULONG OwnerProcessId;
  BYTE ObjectType;
  BYTE Flags;
  USHORT Value;
  PVOID Object;
  ULONG Access;
};

int ProcessHandleCount(DWORD processId) {
  using TQuery = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  constexpr ULONG kSystemHandleInformation = 16;
  constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
  static const auto query =
      velmora::SystemFunction<TQuery>(L"ntdll.dll", "NtQuerySystemInformation");
  if (query == nullptr) {
    return -1;
  }
  std::vector<BYTE> buffer(1 << 16);
  for (;;) {
    ULONG needed = 0;
    const LONG status =
        query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch) {
      buffer.resize(std::max<size_t>(buffer.size() * 2, needed));
      continue;
    }
    if (status < 0) {
      return -1;
    }
    ULONG count = 0;
    std::memcpy(&count, buffer.data(), sizeof(count));
    const auto* entries =
        reinterpret_cast<const TSystemHandleEntry*>(buffer.data() + sizeof(ULONG_PTR));
    int owned = 0;
    for (ULONG i = 0; i < count; ++i) {
      owned += entries[i].OwnerProcessId == processId ? 1 : 0;
    }
    return owned;
  }
}

// What a long run watches for growth in the program's process: its handles and threads.
TResult ProcessCounts(HWND main) {
  DWORD processId = 0;
  GetWindowThreadProcessId(main, &processId);
  int threads = 0;
  const velmora::TScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (snapshot) {
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more;
         more = Thread32Next(snapshot.Get(), &entry)) {
      threads += entry.th32OwnerProcessID == processId ? 1 : 0;
    }
  }
  return {true, L"handles=" + std::to_wstring(ProcessHandleCount(processId)) + L" threads=" +
                    std::to_wstring(threads)};
}

// Another program's dialog (an installer's wizard): the shown top-level dialog whose title
// contains the given text.
struct TDialogSearch {
  std::wstring TitlePart;
  HWND Found = nullptr;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<TDialogSearch*>(context);
  wchar_t className[64] = L"";
  wchar_t title[256] = L"";
  GetClassNameW(window, className, 64);
  GetWindowTextW(window, title, 256);
  if (IsWindowVisible(window) && std::wcscmp(className, L"#32770") == 0 &&
      std::wcsstr(title, search->TitlePart.c_str()) != nullptr) {
    search->Found = window;
    return FALSE;
  }
  return TRUE;
}

// A control's text as a user reads it: without the "&" that marks its access key.
std::wstring ShownText(HWND control) {
  std::wstring text;
  for (wchar_t c : ControlText(control)) {
    if (c != L'&') {
      text += c;
    }
  }
  return text;
}

// The items of a tree view in another process, one "item|STATE|text" line each; STATE is the
// item's state image (the check box of a components list).
std::wstring TreeItems(HWND tree) {
  std::wstring lines;
  constexpr size_t kTextChars = 256;
  const size_t textOffset = (sizeof(TVITEMW) + 15) & ~size_t{15};
  TRemoteBuffer remote(tree, textOffset + kTextChars * sizeof(wchar_t));
  if (!remote.Valid()) {
    return lines;
  }
  for (auto item = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
       item != nullptr; item = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                                reinterpret_cast<LPARAM>(item)))) {
    TVITEMW info = {};
    info.mask = TVIF_HANDLE | TVIF_STATE | TVIF_TEXT;
    info.hItem = item;
    info.stateMask = TVIS_STATEIMAGEMASK;
    info.pszText = reinterpret_cast<wchar_t*>(remote.Address() + textOffset);
    info.cchTextMax = kTextChars;
    remote.Write(0, &info, sizeof(info));
    Send(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.Address()));
    remote.Read(0, &info, sizeof(info));
    std::wstring text(kTextChars, L'\0');
    remote.Read(textOffset, text.data(), kTextChars * sizeof(wchar_t));
    text.resize(std::wcslen(text.c_str()));
    lines +=
        L"item|" + std::to_wstring((info.state & TVIS_STATEIMAGEMASK) >> 12) + L"|" + text + L"\n";
  }
  return lines;
}

struct TDialogControls {
  std::vector<HWND> Found;
};

BOOL CALLBACK CollectControls(HWND window, LPARAM context) {
  reinterpret_cast<TDialogControls*>(context)->Found.push_back(window);
  return TRUE;
}

// dialog-controls TITLE: the shown controls, "class|enabled|checked|text" a line, tree items
// after their tree. dialog-click TITLE TEXT: a click on the shown, enabled button of that text.
TResult RunDialogCommand(const std::vector<std::wstring>& args) {
  if (args.size() < 2) {
    return Error(args[0] + L" needs a part of the dialog's title");
  }
  TDialogSearch search = {args[1]};
  EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
  if (search.Found == nullptr) {
    return Error(L"no dialog titled *" + args[1] + L"*");
  }
  TDialogControls controls;
  EnumChildWindows(search.Found, CollectControls, reinterpret_cast<LPARAM>(&controls));
  std::wstring lines;
  for (HWND control : controls.Found) {
    if (!IsWindowVisible(control)) {
      continue;
    }
    wchar_t className[64] = L"";
    GetClassNameW(control, className, 64);
    const std::wstring text = ShownText(control);
    if (args[0] == L"dialog-click") {
      if (args.size() >= 3 && text == args[2] && _wcsicmp(className, L"Button") == 0 &&
          IsWindowEnabled(control)) {
        PostMessageW(control, BM_CLICK, 0, 0);
        return {true, L"clicked"};
      }
      continue;
    }
    lines += std::wstring(className) + L"|" + (IsWindowEnabled(control) ? L"1" : L"0") + L"|" +
             (Send(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? L"1" : L"0") + L"|" + text + L"\n";
    if (_wcsicmp(className, WC_TREEVIEWW) == 0) {
      lines += TreeItems(control);
    }
  }
  if (args[0] == L"dialog-click") {
    return Error(L"no enabled button " + (args.size() >= 3 ? args[2] : L""));
  }
  return {true, lines};
}

// Runs one subcommand against the running program.
TResult RunCommand(const std::vector<std::wstring>& args) {
  const std::wstring& command = args[0];
  if (command == L"clipboard-hold") {
    return HoldClipboard(args.size() >= 2 ? static_cast<DWORD>(_wtoi(args[1].c_str())) : 1000,
                         args.size() >= 3 ? args[2] : L"");
  }
  if (command == L"clipboard-text") {
    return ClipboardText();
  }
  if (command == L"tray-exists" && args.size() >= 2) {
    // By a window handle from "handle": also after the program has ended.
    return {true, TrayIconExists(reinterpret_cast<HWND>(
                      static_cast<INT_PTR>(std::wcstoll(args[1].c_str(), nullptr, 10))))
                      ? L"1"
                      : L"0"};
  }
  if (command == L"dialog-controls" || command == L"dialog-click") {
    return RunDialogCommand(args);
  }
  if (command == L"windows") {
    // Shown windows only: a window counts once its creation has finished and it is shown.
    int shown = 0;
    for (HWND window : MainWindows()) {
      shown += IsWindowVisible(window) ? 1 : 0;
    }
    return {true, std::to_wstring(shown)};
  }
  HWND main = MainWindow();
  if (main == nullptr) {
    return Error(std::wstring(L"no window titled ") + kApplicationTitle);
  }
  if (command == L"foreground") {
    return {true, GetForegroundWindow() == main ? L"1" : L"0"};
  }
  if (command == L"responds") {
    // The window thread answers a message within the driver's time-out.
    DWORD_PTR ignored = 0;
    const bool answered =
        SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &ignored) != 0;
    return {true, answered ? L"1" : L"0"};
  }
  if (command == L"process-counts") {
    return ProcessCounts(main);
  }
  if (command == L"window-visible") {
    return {true, IsWindowVisible(main) && !IsIconic(main) ? L"1" : L"0"};
  }
  if (command == L"hide") {
    ShowWindow(main, SW_HIDE);  // as if hidden to the tray
    return {true, IsWindowVisible(main) ? L"1" : L"0"};
  }
  if (command == L"show-request") {
    // What a second start broadcasts; "self" carries the window's own handle instead of 0.
    const UINT message = RegisterWindowMessageW(velmora::kShowFormMessageName);
    const bool self = args.size() >= 2 && args[1] == L"self";
    PostMessageW(main, message, self ? reinterpret_cast<WPARAM>(main) : 0, 0);
    return {true, L"posted"};
  }
  if (command == L"close") {
    PostMessageW(main, WM_CLOSE, 0, 0);  // the title bar's close button
    return {true, L"closed"};
  }
  if (command == L"handle") {
    return {true, std::to_wstring(reinterpret_cast<INT_PTR>(main))};
  }
  if (command == L"query-end-session") {
    // What the system asks at log-off; the answer is printed (1: may end).
    return {true, std::to_wstring(static_cast<int>(Send(main, WM_QUERYENDSESSION, 0, 0)))};
  }
  if (command == L"end-session") {
    // The outcome of a log-off: 1 it ends, 0 another program cancelled it.
    const WPARAM ending = args.size() >= 2 && args[1] == L"1" ? TRUE : FALSE;
    Send(main, WM_ENDSESSION, ending, 0);
    return {true, L"sent"};
  }
  if (command == L"resume") {
    PostMessageW(main, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    return {true, L"posted"};
  }
  if (command == L"taskbar-created") {
    PostMessageW(main, RegisterWindowMessageW(velmora::kTaskbarCreatedMessageName), 0, 0);
    return {true, L"posted"};
  }
  if (command == L"tray-exists") {
    return {true, TrayIconExists(main) ? L"1" : L"0"};
  }
  if (command == L"tray-remove") {
    // As a restarted Explorer would: the shell no longer holds the icon.
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = main;
    data.uID = 1;
    return {true, Shell_NotifyIconW(NIM_DELETE, &data) ? L"1" : L"0"};
  }
  if (command == L"focus") {
    // The name of the control that has the keyboard focus in the program's window thread.
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info);
    const int id = info.hwndFocus != nullptr ? GetDlgCtrlID(info.hwndFocus) : 0;
    for (const TNamedId& named : kIds) {
      if (named.Id == id) {
        return {true, named.Name};
      }
    }
    return {true, std::to_wstring(id)};
  }
  if (command == L"message-box") {
    // The text of the program's message box; "close" also presses its OK button.
    DWORD processId = 0;
    GetWindowThreadProcessId(main, &processId);
    for (HWND box = FindWindowW(L"#32770", kApplicationTitle); box != nullptr;
         box = FindWindowExW(nullptr, box, L"#32770", kApplicationTitle)) {
      DWORD owner = 0;
      GetWindowThreadProcessId(box, &owner);
      if (owner != processId) {
        continue;
      }
      std::wstring text = ControlText(GetDlgItem(box, 0xFFFF));
      if (args.size() >= 2 && args[1] == L"close") {
        PostMessageW(box, WM_COMMAND, IDOK, 0);
      }
      return {true, text};
    }
    return Error(L"no message box");
  }
  if (command == L"screenshot") {
    if (args.size() < 2) {
      return Error(L"screenshot needs a file name");
    }
    HWND target = main;
    if (args.size() >= 3) {
      const std::optional<int> id = ParseId(args[2]);
      target = id ? FindControl(main, *id) : nullptr;
      if (target == nullptr) {
        return Error(L"no control " + args[2]);
      }
    }
    SetForegroundWindow(main);
    RECT rect;
    GetWindowRect(target, &rect);
    return SaveBitmap(args[1], CaptureScreen(rect)) ? TResult{true, args[1]}
                                                    : Error(L"cannot save " + args[1]);
  }
  if (args.size() < 2) {
    return Error(command + L" needs a control");
  }
  const std::optional<int> id = ParseId(args[1]);
  if (!id) {
    return Error(L"unknown control " + args[1]);
  }
  HWND control = FindControl(main, *id);
  if (control == nullptr) {
    return Error(L"control not found: " + args[1]);
  }
  if (command == L"text") {
    return {true, ControlText(control)};
  }
  if (command == L"enabled") {
    return {true, IsWindowEnabled(control) ? L"1" : L"0"};
  }
  if (command == L"visible") {
    return {true, IsWindowVisible(control) ? L"1" : L"0"};
  }
  if (command == L"combo") {
    return {true, std::to_wstring(static_cast<int>(Send(control, CB_GETCURSEL, 0, 0)))};
  }
  if (command == L"checked") {
    return {true, Send(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? L"1" : L"0"};
  }
  if (command == L"key") {
    // A key pressed and released on the control (a virtual-key code, decimal), through the
    // program's message loop, which gives it the dialog keys.
    const WPARAM key = args.size() >= 3 ? static_cast<WPARAM>(_wtoi(args[2].c_str())) : VK_RETURN;
    PostMessageW(control, WM_KEYDOWN, key, 1);
    PostMessageW(control, WM_KEYUP, key, 0xC0000001);
    return {true, L"pressed"};
  }
  if (command == L"click-at") {
    // A left click at a point of the control's client area (links have no BM_CLICK).
    const int x = args.size() >= 3 ? _wtoi(args[2].c_str()) : 1;
    const int y = args.size() >= 4 ? _wtoi(args[3].c_str()) : 1;
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    return {true, L"clicked"};
  }
  if (command == L"top-line") {
    return {true, std::to_wstring(static_cast<int>(Send(control, EM_GETFIRSTVISIBLELINE, 0, 0)))};
  }
  if (command == L"wheel") {
    // Notches away from the user (negative: towards), with the cursor over the control. The
    // turn goes through the program's message loop, as the system delivers it.
    const int notches = args.size() >= 3 ? _wtoi(args[2].c_str()) : -1;
    RECT rect;
    GetWindowRect(control, &rect);
    const int x = (rect.left + rect.right) / 2;
    const int y = (rect.top + rect.bottom) / 2;
    SetCursorPos(x, y);
    PostMessageW(control, WM_MOUSEWHEEL,
                 MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(notches * WHEEL_DELTA))),
                 MAKELPARAM(x, y));
    return {true, L"posted"};
  }
  if (command == L"lines") {
    return {true, std::to_wstring(static_cast<int>(Send(control, EM_GETLINECOUNT, 0, 0)))};
  }
  if (command == L"hint") {
    return {true, ControlHint(main, control)};
  }
  if (command == L"image") {
    SetForegroundWindow(main);
    return {true, ImageColour(control)};
  }
  if (command == L"settext") {
    const std::wstring text = args.size() >= 3 ? args[2] : L"";
    // An edit answers WM_SETTEXT with its change notification, as typing would.
    Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return {true, ControlText(control)};
  }
  if (command == L"click") {
    if (!IsWindowEnabled(control) || !IsWindowVisible(control)) {
      return Error(L"control is disabled or hidden: " + args[1]);
    }
    // Posted: a click that opens a modal box must not hold the driver.
    PostMessageW(control, BM_CLICK, 0, 0);
    return {true, L"clicked"};
  }
  if (command == L"choose") {
    // A list's item as a user picks it: the selection, then the change notification.
    const int index = args.size() >= 3 ? _wtoi(args[2].c_str()) : 0;
    Send(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Send(GetParent(control), WM_COMMAND, MAKEWPARAM(*id, CBN_SELCHANGE),
         reinterpret_cast<LPARAM>(control));
    return {true, std::to_wstring(static_cast<int>(Send(control, CB_GETCURSEL, 0, 0)))};
  }
  if (command == L"select") {
    // The page control: moving the focus to a tab selects it and notifies the window.
    const int index = args.size() >= 3 ? _wtoi(args[2].c_str()) : 0;
    Send(control, TCM_SETCURFOCUS, static_cast<WPARAM>(index), 0);
    return {true, std::to_wstring(static_cast<int>(Send(control, TCM_GETCURSEL, 0, 0)))};
  }
  return Error(L"unknown command " + command);
}

constexpr wchar_t kUsage[] =
    L"usage: uidriver [--expect TEXT] [--timeout MS] COMMAND [ARGS]\n"
    L"  windows | foreground | window-visible | hide | close | responds | process-counts\n"
    L"  show-request [self] | screenshot FILE.bmp [CONTROL]\n"
    L"  text|enabled|visible|combo|checked|lines|hint|image CONTROL\n"
    L"  settext CONTROL TEXT | click CONTROL | select pc INDEX | choose LIST INDEX\n"
    L"  handle | query-end-session | end-session 0|1 | resume | taskbar-created\n"
    L"  tray-exists [HANDLE] | tray-remove | message-box [close]\n"
    L"  clipboard-hold MS TEXT | clipboard-text | top-line CONTROL | wheel CONTROL NOTCHES\n"
    L"  click-at CONTROL X Y | key CONTROL VK | focus\n"
    L"  dialog-controls TITLE | dialog-click TITLE BUTTON   (another program's dialog)\n"
    L"CONTROL: a name such as bConnect (IDC_ prefix optional) or a number.\n"
    L"With --expect the read is repeated until it gives TEXT (exit 0) or the time runs out "
    L"(exit 1, last reading printed); default 10000 ms.";

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::optional<std::wstring> expected;
  DWORD timeoutMs = 0;
  std::vector<std::wstring> args;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--expect" && i + 1 < argc) {
      expected = argv[++i];
    } else if (arg == L"--timeout" && i + 1 < argc) {
      timeoutMs = static_cast<DWORD>(_wtoi(argv[++i]));
    } else {
      args.push_back(arg);
    }
  }
  if (args.empty()) {
    Fail(kUsage);
    return 2;
  }
  if (expected && timeoutMs == 0) {
    timeoutMs = 10000;
  }
  const DWORD start = GetTickCount();
  for (;;) {
    const TResult result = RunCommand(args);
    const bool matched = result.Ok && (!expected || result.Output == *expected);
    const bool timedOut = GetTickCount() - start >= timeoutMs;
    if (matched || timedOut) {
      if (result.Ok) {
        Write(result.Output);
      } else {
        Fail(result.Output);
      }
      return matched ? 0 : 1;
    }
    Sleep(100);
  }
}
