// The main window's stored data: login data under "Software\Norvenda", the three settings
// under "Software\velmora" and the autostart value; a registry error is told in a message box.
#include <vector>

#include "engine/AppTitle.h"
#include "engine/uConnectorClass.h"
#include "ui/SettingsText.h"
#include "ui/ufrmMain.h"
#include "ui/win32/ControlText.h"
#include "ui/win32/Registry.h"

namespace velmora {
namespace {

constexpr wchar_t kLoginKey[] = L"Software\\Norvenda";
constexpr wchar_t kLoginSection[] = L"LoginData";
constexpr wchar_t kSettingsKey[] = L"Software";
constexpr wchar_t kSettingsSection[] = L"velmora";
constexpr wchar_t kRunKey[] = L"\\Software\\Microsoft\\Windows\\CurrentVersion";
constexpr wchar_t kRunSection[] = L"Run";
constexpr wchar_t kAutostartValue[] = L"velmora";

void ReportRegistryError(HWND owner, const std::wstring& text) {
  MessageBoxW(owner, text.c_str(), kApplicationTitle, MB_OK | MB_ICONERROR);
}

// A read that went wrong is reported; true when the value (or its absence) can be used.
bool ReadUsable(HWND owner, const TRegText& value, const wchar_t* name) {
  switch (value.Status) {
    case TRegStatus::Ok:
    case TRegStatus::Missing:
      return true;
    case TRegStatus::WrongType:
      ReportRegistryError(owner, std::wstring(L"Неверный тип данных для '") + name + L"'");
      return false;
    case TRegStatus::Failed:
      break;
  }
  ReportRegistryError(owner, std::wstring(L"Не удалось прочитать значение '") + name + L"'");
  return false;
}

bool Written(HWND owner, TRegStatus status, const wchar_t* name) {
  if (status == TRegStatus::Ok)
    return true;
  ReportRegistryError(owner, std::wstring(L"Не удалось записать данные для '") + name + L"'");
  return false;
}

std::wstring ExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH + 1, L'\0');
  DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  return std::wstring(buffer.data(), length);
}

std::wstring Lower(std::wstring text) {
  if (!text.empty())
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

}  // namespace

bool TfrmMain::LoadLoginData() {
  TRegKey key(kLoginKey, /*create=*/false);
  if (!key.IsOpen())
    return true;
  TRegText login = key.ReadText(kLoginSection, L"Login");
  if (!ReadUsable(FHandle, login, L"Login"))
    return false;
  SetEditText(ebLogin, login.Text);
  TRegText password = key.ReadText(kLoginSection, L"Password");
  if (!ReadUsable(FHandle, password, L"Password"))
    return false;
  SetEditText(ebPassword, password.Text);
  TRegText save = key.ReadText(kLoginSection, L"Save");
  if (!ReadUsable(FHandle, save, L"Save"))
    return false;
  bool ticked = ParseStoredBoolean(save.Text, false);
  if (ticked != IsChecked(cbSaveAuthData)) {
    SendMessageW(cbSaveAuthData, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
    cbSaveAuthDataClick();
  }
  if (Connector) {
    Connector->SetLogin(WindowText(ebLogin));
    Connector->SetPassword(WindowText(ebPassword));
  }
  return true;
}

void TfrmMain::SaveLoginData(const std::wstring& login, const std::wstring& password) {
  TRegKey key(kLoginKey, /*create=*/true);
  if (!key.IsOpen())
    return;
  if (!Written(FHandle, key.WriteText(kLoginSection, L"Login", login), L"Login"))
    return;
  if (!Written(FHandle, key.WriteText(kLoginSection, L"Password", password), L"Password"))
    return;
  Written(FHandle,
          key.WriteText(kLoginSection, L"Save", StoredBooleanText(IsChecked(cbSaveAuthData))),
          L"Save");
}

void TfrmMain::cbSaveAuthDataClick() {
  if (IsChecked(cbSaveAuthData))
    SaveLoginData(WindowText(ebLogin), WindowText(ebPassword));
  else
    SaveLoginData(L"", L"");
}

bool TfrmMain::LoadSettings() {
  {
    TRegKey run(kRunKey, /*create=*/true);
    if (run.IsOpen()) {
      TRegText value = run.ReadText(kRunSection, kAutostartValue);
      if (!ReadUsable(FHandle, value, kAutostartValue))
        return false;
      bool matches = Lower(value.Text) == Lower(AutostartCommand(ExecutablePath()));
      SendMessageW(cbAutostart, CB_SETCURSEL, ListIndexFor(matches), 0);
    }
  }
  TRegKey key(kSettingsKey, /*create=*/true);
  if (!key.IsOpen())
    return true;
  const struct {
    HWND List;
    const wchar_t* Name;
    bool Default;
  } settings[] = {{cbAutoConnect, L"AutoConnect", false},
                  {cbAutoReconnect, L"AutoReconnect", false},
                  {cbAutoUpdate, L"AutoUpdate", true}};
  for (const auto& setting : settings) {
    TRegText value = key.ReadText(kSettingsSection, setting.Name);
    if (!ReadUsable(FHandle, value, setting.Name))
      return false;
    bool on = ParseStoredBoolean(value.Text, setting.Default);
    SendMessageW(setting.List, CB_SETCURSEL, ListIndexFor(on), 0);
  }
  return true;
}

void TfrmMain::SaveSettings() {
  {
    TRegKey run(kRunKey, /*create=*/true);
    if (run.IsOpen()) {
      TRegStatus status = ListIsOn(cbAutostart) ? run.WriteText(kRunSection, kAutostartValue,
                                                                AutostartCommand(ExecutablePath()))
                                                : run.DeleteValue(kRunSection, kAutostartValue);
      if (!Written(FHandle, status, kAutostartValue))
        return;
    }
  }
  TRegKey key(kSettingsKey, /*create=*/true);
  if (!key.IsOpen())
    return;
  const struct {
    HWND List;
    const wchar_t* Name;
  } settings[] = {{cbAutoConnect, L"AutoConnect"},
                  {cbAutoReconnect, L"AutoReconnect"},
                  {cbAutoUpdate, L"AutoUpdate"}};
  for (const auto& setting : settings)
    if (!Written(FHandle,
                 key.WriteText(kSettingsSection, setting.Name,
                               StoredBooleanText(ListIsOn(setting.List))),
                 setting.Name))
      return;
}

void TfrmMain::bApplySettingsClick() {
  SaveSettings();
}

}  // namespace velmora
