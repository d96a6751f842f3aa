// The UI driver's finding of windows and controls (Find.h).
#include "tests/app/driver/Find.h"

#include <commctrl.h>

#include <cwchar>

#include "engine/AppTitle.h"
#include "ui/resource.h"

namespace velmora::uidriver {

namespace {

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

// EnumWindows and EnumChildWindows hand each window to a callback: these collect them.
BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
  reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::wstring ClassOf(HWND window) {
  wchar_t className[64] = L"";
  GetClassNameW(window, className, 64);
  return className;
}

DWORD ProcessOf(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  return processId;
}

}  // namespace

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
  return static_cast<LRESULT>(result);
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

std::wstring IdName(int id) {
  for (const TNamedId& named : kIds) {
    if (named.Id == id) {
      return named.Name;
    }
  }
  return std::to_wstring(id);
}

std::vector<HWND> MainWindows() {
  std::vector<HWND> found;
  for (HWND window : TopLevelWindows()) {
    wchar_t title[64] = L"";
    GetWindowTextW(window, title, 64);
    if (ClassOf(window) == kMainFormClassName && std::wcscmp(title, kApplicationTitle) == 0) {
      found.push_back(window);
    }
  }
  return found;
}

HWND MainWindow() {
  const std::vector<HWND> windows = MainWindows();
  return windows.empty() ? nullptr : windows.front();
}

std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&children));
  return children;
}

HWND FindControl(HWND main, int id) {
  for (HWND control : ChildWindows(main)) {
    if (GetDlgCtrlID(control) == id) {
      return control;
    }
  }
  return nullptr;
}

HWND FindMessageBox(HWND main) {
  const DWORD processId = ProcessOf(main);
  for (HWND box = FindWindowW(L"#32770", kApplicationTitle); box != nullptr;
       box = FindWindowExW(nullptr, box, L"#32770", kApplicationTitle)) {
    if (ProcessOf(box) == processId) {
      return box;
    }
  }
  return nullptr;
}

std::vector<HWND> ProcessTooltips(HWND main) {
  const DWORD processId = ProcessOf(main);
  std::vector<HWND> found;
  for (HWND window : TopLevelWindows()) {
    if (ProcessOf(window) == processId && _wcsicmp(ClassOf(window).c_str(), TOOLTIPS_CLASSW) == 0) {
      found.push_back(window);
    }
  }
  return found;
}

HWND FindDialog(const std::wstring& titlePart) {
  for (HWND window : TopLevelWindows()) {
    wchar_t title[256] = L"";
    GetWindowTextW(window, title, 256);
    if (IsWindowVisible(window) && ClassOf(window) == L"#32770" &&
        std::wcsstr(title, titlePart.c_str()) != nullptr) {
      return window;
    }
  }
  return nullptr;
}

}  // namespace velmora::uidriver
