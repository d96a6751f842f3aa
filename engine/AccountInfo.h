// The account query: the address asked of the account server and how its "|"-separated
// answer is stored in the 13 account fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/uConnectorClass.h"

namespace velmora {

// A real answer is under a kilobyte; a longer body is taken for the failed exchange it is.
inline constexpr size_t kMaxAccountAnswerBytes = 64 * 1024;

// A login or password as it goes into the query: only the bytes that would end the value,
// change the query or break the request line (blank, "%", "&", "#", "+", control characters
// and DEL) become "%XX"; every other character stays as it is, non-ASCII ones included.
std::wstring EncodeQueryValue(const std::wstring& value);

// "http://" + host + "/connector/connector.php?user=" + login + "&pass=" + password + "&ver="
// + version, login and password through EncodeQueryValue.
std::wstring AccountRequestUrl(const std::wstring& host, const std::wstring& login,
                               const std::wstring& password, int64_t version);

// Splits answer + "|" at every "|" and stores the first 13 pieces from ufErrorCode on; the
// fields past the last piece keep their values. An empty answer (a failed exchange) thus
// empties only ufErrorCode, and so does an answer longer than kMaxAccountAnswerBytes.
// Returns whether any field changed.
bool StoreAccountAnswer(const std::wstring& answer, TUserInfo& info);

}  // namespace velmora
