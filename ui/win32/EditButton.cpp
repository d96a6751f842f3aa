// The edit's right-hand button: a child of the edit, kept at its right end by a subclass that
// also draws it and forwards its clicks to the edit's parent.
#include "ui/win32/EditButton.h"

namespace velmora {
namespace {

constexpr UINT_PTR kSubclassId = 0x45425452;  // "EBTR"
// The button's state, also reachable from outside the subclass procedure.
constexpr wchar_t kStateProp[] = L"VelmoraRightButton";

struct TRightButton {
  HWND Button = nullptr;
  HIMAGELIST Images = nullptr;
};

void PlaceButton(HWND edit, HWND button) {
  RECT client;
  GetClientRect(edit, &client);
  int size = client.bottom - client.top;
  SetWindowPos(button, nullptr, client.right - size, 0, size, size, SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(edit, EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, size + 1));
}

void DrawButton(const DRAWITEMSTRUCT& item, HIMAGELIST images) {
  HBRUSH background =
      GetSysColorBrush(IsWindowEnabled(item.hwndItem) ? COLOR_WINDOW : COLOR_BTNFACE);
  FillRect(item.hDC, &item.rcItem, background);
  if (item.itemState & ODS_SELECTED)
    DrawEdge(item.hDC, const_cast<RECT*>(&item.rcItem), BDR_SUNKENOUTER, BF_RECT);
  if (!images)
    return;
  int cx = 0, cy = 0;
  ImageList_GetIconSize(images, &cx, &cy);
  int shift = (item.itemState & ODS_SELECTED) ? 1 : 0;
  int x = item.rcItem.left + (item.rcItem.right - item.rcItem.left - cx) / 2 + shift;
  int y = item.rcItem.top + (item.rcItem.bottom - item.rcItem.top - cy) / 2 + shift;
  ImageList_Draw(images, 0, item.hDC, x, y, ILD_TRANSPARENT);
}

LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR data) {
  auto* state = reinterpret_cast<TRightButton*>(data);
  switch (message) {
    case WM_COMMAND:
      if (reinterpret_cast<HWND>(lParam) == state->Button)
        return SendMessageW(GetParent(edit), WM_COMMAND, wParam, lParam);
      break;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item->hwndItem == state->Button) {
        DrawButton(*item, state->Images);
        return TRUE;
      }
      break;
    }
    case WM_SIZE:
    case WM_SETFONT: {
      LRESULT result = DefSubclassProc(edit, message, wParam, lParam);
      PlaceButton(edit, state->Button);
      return result;
    }
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == state->Button) {
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(edit, EditProc, kSubclassId);
      RemovePropW(edit, kStateProp);
      delete state;
      break;
  }
  return DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace

HWND AttachRightButton(HWND edit, int id) {
  auto* state = new TRightButton;
  state->Button = CreateWindowExW(
      0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 0, 0, 0, edit,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(edit, GWLP_HINSTANCE)), nullptr);
  if (!state->Button ||
      !SetWindowSubclass(edit, EditProc, kSubclassId, reinterpret_cast<DWORD_PTR>(state))) {
    if (state->Button)
      DestroyWindow(state->Button);
    delete state;
    return nullptr;
  }
  SetPropW(edit, kStateProp, state);
  PlaceButton(edit, state->Button);
  return state->Button;
}

void SetRightButtonImage(HWND edit, HIMAGELIST images) {
  auto* state = static_cast<TRightButton*>(GetPropW(edit, kStateProp));
  if (!state)
    return;
  state->Images = images;
  InvalidateRect(state->Button, nullptr, TRUE);
}

}  // namespace velmora
