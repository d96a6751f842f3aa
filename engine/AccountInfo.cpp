// Forming the account query's address and storing the server's answer.
#include "engine/AccountInfo.h"

namespace velmora {

std::wstring AccountRequestUrl(const std::wstring& host, const std::wstring& login,
                               const std::wstring& password, int64_t version) {
  return L"http://" + host + L"/connector/connector.php?user=" + login + L"&pass=" + password +
         L"&ver=" + std::to_wstring(version);
}

void StoreAccountAnswer(const std::wstring& answer, TUserInfo& info) {
  const std::wstring text = answer + L"|";
  size_t start = 0;
  for (size_t field = 0; field < info.size(); ++field) {
    const size_t bar = text.find(L'|', start);
    if (bar == std::wstring::npos)
      break;
    info[field] = text.substr(start, bar - start);
    start = bar + 1;
  }
}

}  // namespace velmora
