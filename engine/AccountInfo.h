// The account query: the address asked of the account server and how its "|"-separated
// answer is stored in the 13 account fields.
#pragma once

#include <cstdint>
#include <string>

#include "engine/uConnectorClass.h"

namespace velmora {

// "http://" + host + "/connector/connector.php?user=" + login + "&pass=" + password + "&ver="
// + version; login and password go in unencoded, as the server expects them.
std::wstring AccountRequestUrl(const std::wstring& host, const std::wstring& login,
                               const std::wstring& password, int64_t version);

// Splits answer + "|" at every "|" and stores the first 13 pieces from ufErrorCode on; the
// fields past the last piece keep their values. An empty answer (a failed exchange) thus
// empties only ufErrorCode.
void StoreAccountAnswer(const std::wstring& answer, TUserInfo& info);

}  // namespace velmora
