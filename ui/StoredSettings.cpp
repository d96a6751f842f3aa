// Login data under "Software\Norvenda", the three settings under "Software\velmora" and the
// autostart value under "\Software\Microsoft\Windows\CurrentVersion\Run".
#include "ui/StoredSettings.h"

#include "ui/SettingsText.h"

namespace velmora {
namespace {

constexpr wchar_t kLoginKey[] = L"Software\\Norvenda";
constexpr wchar_t kLoginSection[] = L"LoginData";
constexpr wchar_t kSettingsKey[] = L"Software";
constexpr wchar_t kSettingsSection[] = L"velmora";
constexpr wchar_t kRunKey[] = L"\\Software\\Microsoft\\Windows\\CurrentVersion";
constexpr wchar_t kRunSection[] = L"Run";
constexpr wchar_t kAutostartValue[] = L"velmora";

std::wstring ValuePath(const wchar_t* key, const wchar_t* section) {
  std::wstring path = key[0] == L'\\' ? key + 1 : key;
  return L"HKEY_CURRENT_USER\\" + path + L"\\" + section;
}

// The text of a value, or empty when it is absent or cannot be used (noted for the log).
std::wstring ReadOrAbsent(const TSettingsKey& key, const wchar_t* keyPath, const wchar_t* section,
                          const wchar_t* name, std::vector<std::wstring>& notes) {
  TStoredText value = key.ReadText(section, name);
  if (value.Status == TStoreStatus::Ok)
    return value.Text;
  const std::wstring where = ValuePath(keyPath, section) + L"\\" + name;
  if (value.Status == TStoreStatus::WrongType)
    notes.push_back(L"Значение реестра " + where + L" не текстовое; взято значение по умолчанию");
  else if (value.Status == TStoreStatus::Failed)
    notes.push_back(L"Значение реестра " + where + L" не читается; взято значение по умолчанию");
  return {};
}

std::wstring WriteFailure(const wchar_t* key, const wchar_t* section, const wchar_t* name) {
  return std::wstring(L"Не удалось записать данные для '") + name + L"' в " +
         ValuePath(key, section);
}

}  // namespace

TLoginData LoadLoginData(TSettingsStore& store, std::vector<std::wstring>& notes) {
  TLoginData data;
  std::unique_ptr<TSettingsKey> key = store.OpenKey(kLoginKey, /*create=*/false);
  if (!key)
    return data;
  data.Found = true;
  data.Login = ReadOrAbsent(*key, kLoginKey, kLoginSection, L"Login", notes);
  data.Password = ReadOrAbsent(*key, kLoginKey, kLoginSection, L"Password", notes);
  data.Save =
      ParseStoredBoolean(ReadOrAbsent(*key, kLoginKey, kLoginSection, L"Save", notes), false);
  return data;
}

TSettingsValues LoadSettings(TSettingsStore& store, const std::wstring& exePath, TLowerCase lower,
                             std::vector<std::wstring>& notes) {
  TSettingsValues values;
  if (std::unique_ptr<TSettingsKey> run = store.OpenKey(kRunKey, /*create=*/true)) {
    std::wstring value = ReadOrAbsent(*run, kRunKey, kRunSection, kAutostartValue, notes);
    values.Autostart = lower(value) == lower(AutostartCommand(exePath));
  }
  std::unique_ptr<TSettingsKey> key = store.OpenKey(kSettingsKey, /*create=*/true);
  if (!key)
    return values;
  values.SettingsRead = true;
  for (const TSettingRow& row : kSettingRows)
    values.*row.Loaded = ParseStoredBoolean(
        ReadOrAbsent(*key, kSettingsKey, kSettingsSection, row.ValueName, notes), row.Default);
  return values;
}

std::optional<std::wstring> SaveLoginData(TSettingsStore& store, const std::wstring& login,
                                          const std::wstring& password, bool save) {
  std::unique_ptr<TSettingsKey> key = store.OpenKey(kLoginKey, /*create=*/true);
  if (!key)
    return std::nullopt;
  const std::pair<const wchar_t*, std::wstring> values[] = {
      {L"Login", login}, {L"Password", password}, {L"Save", StoredBooleanText(save)}};
  for (const auto& [name, text] : values)
    if (key->WriteText(kLoginSection, name, text) != TStoreStatus::Ok)
      return WriteFailure(kLoginKey, kLoginSection, name);
  return std::nullopt;
}

std::optional<std::wstring> SaveSettings(TSettingsStore& store, const std::wstring& exePath,
                                         const TSettingsChoice& choice) {
  if (std::unique_ptr<TSettingsKey> run = store.OpenKey(kRunKey, /*create=*/true)) {
    TStoreStatus status =
        choice.Autostart ? run->WriteText(kRunSection, kAutostartValue, AutostartCommand(exePath))
                         : run->DeleteValue(kRunSection, kAutostartValue);
    if (status != TStoreStatus::Ok)
      return WriteFailure(kRunKey, kRunSection, kAutostartValue);
  }
  std::unique_ptr<TSettingsKey> key = store.OpenKey(kSettingsKey, /*create=*/true);
  if (!key)
    return std::nullopt;
  for (const TSettingRow& row : kSettingRows)
    if (key->WriteText(kSettingsSection, row.ValueName, StoredBooleanText(choice.*row.Chosen)) !=
        TStoreStatus::Ok)
      return WriteFailure(kSettingsKey, kSettingsSection, row.ValueName);
  return std::nullopt;
}

bool TWriteFailureReports::ShouldShow(TCause cause, bool failed) {
  bool show = failed && (cause == TCause::Action || !FTypingFailed);
  FTypingFailed = failed;
  return show;
}

}  // namespace velmora
