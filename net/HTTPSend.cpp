// THTTPSend: request text, connection reuse and the answer reader over the socket seam.
#include "net/HTTPSend.h"

namespace velmora {

THTTPSend::THTTPSend() = default;
THTTPSend::~THTTPSend() = default;
bool THTTPSend::HTTPMethod(const std::string&, const std::string&) {
  return false;
}
void THTTPSend::Abort() {}
void THTTPSend::ClearAbort() {}
int64_t THTTPSend::HeaderBlockLength() const {
  return 0;
}

}  // namespace velmora
