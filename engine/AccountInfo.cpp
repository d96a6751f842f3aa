// Forming the account query's address and storing the server's answer.
#include "engine/AccountInfo.h"

#include <algorithm>
#include <string_view>

namespace velmora {

namespace {
bool NeedsEncoding(wchar_t character) {
  return character < 0x20 || character == 0x7F || character == L' ' || character == L'%' ||
         character == L'&' || character == L'#' || character == L'+';
}
}  // namespace

std::wstring EncodeQueryValue(const std::wstring& value) {
  static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
  std::wstring encoded;
  encoded.reserve(value.size());
  for (const wchar_t character : value) {
    if (!NeedsEncoding(character)) {
      encoded += character;
      continue;
    }
    encoded += L'%';
    encoded += kHex[character >> 4];
    encoded += kHex[character & 0xF];
  }
  return encoded;
}

std::wstring AccountRequestUrl(const std::wstring& host, const std::wstring& login,
                               const std::wstring& password, int64_t version) {
  return L"http://" + host + L"/connector/connector.php?user=" + EncodeQueryValue(login) +
         L"&pass=" + EncodeQueryValue(password) + L"&ver=" + std::to_wstring(version);
}

bool StoreAccountAnswer(const std::wstring& answer, TUserInfo& info) {
  // Split in place: a copy of a huge answer with "|" appended is what must not be made.
  const std::wstring_view text =
      answer.size() > kMaxAccountAnswerBytes ? std::wstring_view() : std::wstring_view(answer);
  bool changed = false;
  size_t start = 0;
  for (size_t field = 0; field < info.size() && start <= text.size(); ++field) {
    const size_t bar = std::min(text.find(L'|', start), text.size());
    const std::wstring_view piece = text.substr(start, bar - start);
    if (info[field] != piece) {
      info[field].assign(piece);
      changed = true;
    }
    start = bar + 1;
  }
  return changed;
}

}  // namespace velmora
