// Raw registry calls for the stored settings and login data.
#include "ui/win32/Registry.h"

#include <vector>

namespace velmora {
namespace {

// Full access, as the settings have always asked for.
constexpr REGSAM kAccess = KEY_ALL_ACCESS;

// Closes a section key when it goes.
struct TSection {
  HKEY Key = nullptr;
  ~TSection() {
    if (Key)
      RegCloseKey(Key);
  }
};

}  // namespace

TRegKey::TRegKey(const std::wstring& path, bool create)
    : FPath(!path.empty() && path[0] == L'\\' ? path.substr(1) : path) {
  HKEY key = nullptr;
  LONG rc = create ? RegCreateKeyExW(HKEY_CURRENT_USER, FPath.c_str(), 0, nullptr, 0, kAccess,
                                     nullptr, &key, nullptr)
                   : RegOpenKeyExW(HKEY_CURRENT_USER, FPath.c_str(), 0, kAccess, &key);
  if (rc == ERROR_SUCCESS)
    FKey = key;
}

TRegKey::~TRegKey() {
  if (FKey)
    RegCloseKey(FKey);
}

TRegText TRegKey::ReadText(const std::wstring& section, const std::wstring& name) const {
  TRegText result;
  if (!FKey)
    return result;
  TSection sub;
  if (RegOpenKeyExW(FKey, section.c_str(), 0, kAccess, &sub.Key) != ERROR_SUCCESS)
    return result;
  DWORD type = 0;
  DWORD size = 0;
  LONG rc = RegQueryValueExW(sub.Key, name.c_str(), nullptr, &type, nullptr, &size);
  if (rc == ERROR_FILE_NOT_FOUND)
    return result;
  if (rc != ERROR_SUCCESS)
    return {TRegStatus::Failed, {}};
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    return {TRegStatus::WrongType, {}};
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
  DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  rc = RegQueryValueExW(sub.Key, name.c_str(), nullptr, &type,
                        reinterpret_cast<BYTE*>(buffer.data()), &bytes);
  if (rc != ERROR_SUCCESS)
    return {TRegStatus::Failed, {}};
  buffer.back() = L'\0';  // a value stored without its zero still ends here
  return {TRegStatus::Ok, std::wstring(buffer.data())};
}

TRegStatus TRegKey::WriteText(const std::wstring& section, const std::wstring& name,
                              const std::wstring& value) const {
  if (!FKey)
    return TRegStatus::Failed;
  TSection sub;
  if (RegCreateKeyExW(FKey, section.c_str(), 0, nullptr, 0, kAccess, nullptr, &sub.Key, nullptr) !=
      ERROR_SUCCESS)
    return TRegStatus::Failed;
  DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  LONG rc = RegSetValueExW(sub.Key, name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(value.c_str()), bytes);
  return rc == ERROR_SUCCESS ? TRegStatus::Ok : TRegStatus::Failed;
}

TRegStatus TRegKey::DeleteValue(const std::wstring& section, const std::wstring& name) const {
  if (!FKey)
    return TRegStatus::Failed;
  TSection sub;
  if (RegOpenKeyExW(FKey, section.c_str(), 0, kAccess, &sub.Key) != ERROR_SUCCESS)
    return TRegStatus::Ok;
  LONG rc = RegDeleteValueW(sub.Key, name.c_str());
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? TRegStatus::Ok : TRegStatus::Failed;
}

}  // namespace velmora
