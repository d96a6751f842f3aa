// The rules of the stored login data and settings over a settings store: the layout of keys
// and values, the defaults, "1"/"0", the autostart value, and what a wrong value or a failing
// write leads to. The window only puts the results into its controls.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/SettingsStore.h"
#include "ui/resource.h"

namespace velmora {

struct TLoginData {
  bool Found = false;  // "Software\Norvenda" exists; nothing else is set otherwise
  std::wstring Login, Password;
  bool Save = false;
};

// The three settings as loaded: each from its row of kSettingRows.
struct TSettingsValues {
  std::optional<bool> Autostart;  // nothing when the Run key could not be opened
  bool SettingsRead = false;      // "Software" opened; the three lists are set only then
  bool AutoConnect = false, AutoReconnect = false, AutoUpdate = false;
};

// A value that cannot be used (not text, or unreadable) reads as absent; each such value
// adds one line for the log to notes.
TLoginData LoadLoginData(TSettingsStore& store, std::vector<std::wstring>& notes);
// The case-blind comparison of the autostart value uses lower (the system's rule).
using TLowerCase = std::wstring (*)(std::wstring);
TSettingsValues LoadSettings(TSettingsStore& store, const std::wstring& exePath, TLowerCase lower,
                             std::vector<std::wstring>& notes);

// The writes stop at the first failure, whose message names the value and its key; nothing
// when all went well or the key could not be opened (that is not reported).
std::optional<std::wstring> SaveLoginData(TSettingsStore& store, const std::wstring& login,
                                          const std::wstring& password, bool save);

struct TSettingsChoice {
  bool Autostart = false, AutoConnect = false, AutoReconnect = false, AutoUpdate = false;
};
std::optional<std::wstring> SaveSettings(TSettingsStore& store, const std::wstring& exePath,
                                         const TSettingsChoice& choice);

// The three settings, one row each in the settings page's order: the page's label and yes/no
// list (ui/resource.h), the value under "HKEY_CURRENT_USER\Software\velmora", the value that
// holds while none is stored, and the fields it fills. The rows make the page's controls and
// drive the load and the save.
struct TSettingRow {
  int LabelId;
  const wchar_t* Label;
  int ListId;
  const wchar_t* ValueName;
  bool Default;
  bool TSettingsValues::*Loaded;
  bool TSettingsChoice::*Chosen;
};
inline constexpr TSettingRow kSettingRows[] = {
    {IDC_lbAutoConnect, L"Автоподключение после запуска", IDC_cbAutoConnect, L"AutoConnect", false,
     &TSettingsValues::AutoConnect, &TSettingsChoice::AutoConnect},
    {IDC_lbAutoReconnect, L"Переподключаться при потере соединения", IDC_cbAutoReconnect,
     L"AutoReconnect", false, &TSettingsValues::AutoReconnect, &TSettingsChoice::AutoReconnect},
    {IDC_lblAutoUpdate, L"Автоматически обновлять программу", IDC_cbAutoUpdate, L"AutoUpdate", true,
     &TSettingsValues::AutoUpdate, &TSettingsChoice::AutoUpdate},
};

// Which failing writes reach the subscriber: every failure of an action of its own (the tick,
// "Сохранить"), but of the writes that follow the keystrokes only the first of a row, so the
// message does not come back at every key while the box is ticked.
class TWriteFailureReports {
 public:
  enum class TCause { Action, Typing };
  // A write ended; true when its failure is to be shown.
  bool ShouldShow(TCause cause, bool failed);

 private:
  bool FTypingFailed = false;
};

}  // namespace velmora
