// The main window's stored data: the login data and the settings put into the controls and
// taken from them; the rules live in StoredSettings, the store is the user's registry.
#include <vector>

#include "engine/AppTitle.h"
#include "engine/ExeVersion.h"
#include "engine/uConnectorClass.h"
#include "ui/SettingsText.h"
#include "ui/StoredSettings.h"
#include "ui/win32/ufrmMain.h"
#include "ui/win32/ControlText.h"
#include "ui/win32/Registry.h"

namespace velmora {
namespace {

TSettingsStore& Store() {
  static TRegistryStore registry;
  return registry;
}

std::wstring Lower(std::wstring text) {
  if (!text.empty())
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

void SelectYesNo(HWND list, bool on) {
  SendMessageW(list, CB_SETCURSEL, ListIndexFor(on), 0);
}

}  // namespace

void TfrmMain::ReportWriteFailure(const std::optional<std::wstring>& failure, bool typing) {
  using TCause = TWriteFailureReports::TCause;
  if (FWriteReports.ShouldShow(typing ? TCause::Typing : TCause::Action, failure.has_value()))
    MessageBoxW(FHandle, failure->c_str(), kApplicationTitle, MB_OK | MB_ICONERROR);
}

void TfrmMain::LoadLoginData() {
  std::vector<std::wstring> notes;
  TLoginData data = velmora::LoadLoginData(Store(), notes);
  for (const std::wstring& note : notes)
    AppendLog(note);
  if (!data.Found)
    return;
  SetEditText(ebLogin, data.Login);
  SetEditText(ebPassword, data.Password);
  if (data.Save != IsChecked(cbSaveAuthData)) {
    SendMessageW(cbSaveAuthData, BM_SETCHECK, data.Save ? BST_CHECKED : BST_UNCHECKED, 0);
    cbSaveAuthDataClick();
  }
  if (Connector) {
    Connector->SetLogin(WindowText(ebLogin));
    Connector->SetPassword(WindowText(ebPassword));
  }
}

void TfrmMain::SaveLoginData(const std::wstring& login, const std::wstring& password, bool typing) {
  ReportWriteFailure(velmora::SaveLoginData(Store(), login, password, IsChecked(cbSaveAuthData)),
                     typing);
}

void TfrmMain::cbSaveAuthDataClick() {
  if (IsChecked(cbSaveAuthData))
    SaveLoginData(WindowText(ebLogin), WindowText(ebPassword));
  else
    SaveLoginData(L"", L"");
}

void TfrmMain::LoadSettings() {
  std::vector<std::wstring> notes;
  TSettingsValues values = velmora::LoadSettings(Store(), OwnModulePath(), Lower, notes);
  for (const std::wstring& note : notes)
    AppendLog(note);
  if (values.Autostart)
    SelectYesNo(cbAutostart, *values.Autostart);
  if (!values.SettingsRead)
    return;
  for (const TSettingRow& row : kSettingRows)
    SelectYesNo(GetDlgItem(tsSettings, row.ListId), values.*row.Loaded);
}

void TfrmMain::SaveSettings() {
  TSettingsChoice choice{ListIsOn(cbAutostart)};
  for (const TSettingRow& row : kSettingRows)
    choice.*row.Chosen = SettingOn(row.ListId);
  ReportWriteFailure(velmora::SaveSettings(Store(), OwnModulePath(), choice), /*typing=*/false);
}

bool TfrmMain::SettingOn(int listId) const {
  return ListIsOn(GetDlgItem(tsSettings, listId));
}

void TfrmMain::bApplySettingsClick() {
  SaveSettings();
}

}  // namespace velmora
