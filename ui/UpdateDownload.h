// The update's download and the checks that decide whether it may replace the program: a 200
// answer that proves its length (Content-Length or the chunked end), a valid signature when the
// program carries a key, and a whole Windows executable for this processor whose version is
// later than the running one. Anything else is refused with a reason for the log, and the
// downloaded file is deleted.
#pragma once

#include <cstdint>
#include <string>

#include "engine/ExeVersion.h"
#include "engine/UpdateSignature.h"
#include "net/SynDownload.h"

namespace velmora {

inline constexpr wchar_t kUpdateRefusedPrefix[] = L"Обновление не выполнено: ";

struct TUpdateRequirements {
  uint16_t Machine = 0;                              // the running program's processor type
  TExeVersion Running;                               // the running program's version
  const TUpdateSignatureCheck* Signature = nullptr;  // null: the program carries no key
};

struct TUpdateDownloadResult {
  bool Accepted = false;
  std::wstring Reason;  // why it was refused, in Russian; empty when accepted
};

// Fetches link into target with download (URLToFile: HEAD, then GET), and with a key the
// signature from link + ".sig", then checks what arrived. A refused file is deleted. Errors
// thrown by the transfer (the target cannot be created) are caught and become the reason
// "Ошибка во время выполнения загрузки: <message> [<class>]".
TUpdateDownloadResult DownloadUpdate(TSynDownload& download, const std::wstring& link,
                                     const std::wstring& target,
                                     const TUpdateRequirements& requirements);

}  // namespace velmora
