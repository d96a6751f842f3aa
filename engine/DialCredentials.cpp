// The credentials the dialer would take for its switches, and the refusal's wording.
#include "engine/DialCredentials.h"

namespace velmora {

namespace {
constexpr wchar_t kRefusedPrefix[] = L"Подключение не выполнено: ";
}  // namespace

bool ReadAsDialerSwitch(const std::wstring& credential) {
  const size_t first = credential.find_first_not_of(L" \t");
  return first != std::wstring::npos && credential[first] == L'/';
}

TSwitchCredentials FindSwitchCredentials(const std::wstring& login, const std::wstring& password) {
  return {ReadAsDialerSwitch(login), ReadAsDialerSwitch(password)};
}

std::wstring DialRefusedLine(TSwitchCredentials which) {
  const wchar_t* const subject = which.Login && which.Password ? L"логин и пароль не могут"
                                 : which.Login                 ? L"логин не может"
                                                               : L"пароль не может";
  return std::wstring(kRefusedPrefix) + subject + L" начинаться с символа «/».";
}

bool IsDialRefusedLine(const std::wstring& output) {
  return output.starts_with(kRefusedPrefix);
}

std::optional<std::wstring> DialRefusal(const std::wstring& login, const std::wstring& password) {
  const TSwitchCredentials which = FindSwitchCredentials(login, password);
  if (!which.Any())
    return std::nullopt;
  return DialRefusedLine(which);
}

}  // namespace velmora
