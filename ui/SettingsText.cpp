// Texts of the stored settings.
#include "ui/SettingsText.h"

#include "ui/ConnectionLogic.h"

namespace velmora {

const wchar_t* const kListNo = L"Нет";
const wchar_t* const kListYes = L"Да";

bool ParseStoredBoolean(const std::wstring& text, bool fallback) {
  std::optional<int> value = ParseInteger(text);
  return value ? *value != 0 : fallback;
}

const wchar_t* StoredBooleanText(bool value) {
  return value ? L"1" : L"0";
}

std::wstring AutostartCommand(const std::wstring& exePath) {
  return L"\"" + exePath + L"\"";
}

}  // namespace velmora
