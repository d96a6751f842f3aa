// Raw registry calls for the stored settings and login data.
#include "ui/win32/Registry.h"

#include <windows.h>

#include <vector>

#include "base/win32/Scoped.h"

namespace velmora {
namespace {

// Full access, as the settings have always asked for.
constexpr REGSAM kAccess = KEY_ALL_ACCESS;

class TRegistryKey final : public TSettingsKey {
 public:
  explicit TRegistryKey(HKEY key) : FKey(key) {}

  TStoredText ReadText(const std::wstring& section, const std::wstring& name) const override {
    TScopedKey sub;
    if (RegOpenKeyExW(FKey.Get(), section.c_str(), 0, kAccess, sub.Receive()) != ERROR_SUCCESS)
      return {};
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = RegQueryValueExW(sub.Get(), name.c_str(), nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND)
      return {};
    if (rc != ERROR_SUCCESS)
      return {TStoreStatus::Failed, {}};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
      return {TStoreStatus::WrongType, {}};
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    rc = RegQueryValueExW(sub.Get(), name.c_str(), nullptr, &type,
                          reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    if (rc != ERROR_SUCCESS)
      return {TStoreStatus::Failed, {}};
    buffer.back() = L'\0';  // a value stored without its zero still ends here
    return {TStoreStatus::Ok, std::wstring(buffer.data())};
  }

  TStoreStatus WriteText(const std::wstring& section, const std::wstring& name,
                         const std::wstring& value) override {
    TScopedKey sub;
    if (RegCreateKeyExW(FKey.Get(), section.c_str(), 0, nullptr, 0, kAccess, nullptr, sub.Receive(),
                        nullptr) != ERROR_SUCCESS)
      return TStoreStatus::Failed;
    DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    LONG rc = RegSetValueExW(sub.Get(), name.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    return rc == ERROR_SUCCESS ? TStoreStatus::Ok : TStoreStatus::Failed;
  }

  TStoreStatus DeleteValue(const std::wstring& section, const std::wstring& name) override {
    TScopedKey sub;
    if (RegOpenKeyExW(FKey.Get(), section.c_str(), 0, kAccess, sub.Receive()) != ERROR_SUCCESS)
      return TStoreStatus::Ok;
    LONG rc = RegDeleteValueW(sub.Get(), name.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? TStoreStatus::Ok
                                                             : TStoreStatus::Failed;
  }

 private:
  TScopedKey FKey;
};

}  // namespace

std::unique_ptr<TSettingsKey> TRegistryStore::OpenKey(const std::wstring& path, bool create) {
  const std::wstring relative = !path.empty() && path[0] == L'\\' ? path.substr(1) : path;
  HKEY key = nullptr;
  LONG rc = create ? RegCreateKeyExW(HKEY_CURRENT_USER, relative.c_str(), 0, nullptr, 0, kAccess,
                                     nullptr, &key, nullptr)
                   : RegOpenKeyExW(HKEY_CURRENT_USER, relative.c_str(), 0, kAccess, &key);
  if (rc != ERROR_SUCCESS)
    return nullptr;
  return std::make_unique<TRegistryKey>(key);
}

}  // namespace velmora
