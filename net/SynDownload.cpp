// TSynDownload: transfers over the helper's persistent client, each preceded by a HEAD size
// query on a client of its own, with progress counted from the socket's read notifications.
#include "net/SynDownload.h"

#include <limits>

#include "base/CodePage.h"
#include "net/MessagePump.h"
#include "net/SizeQuery.h"

namespace velmora {

namespace {

constexpr const char* kBrowserAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64; rv:19.0) Gecko/20100101 Firefox/19.0";

// Points a client's answer bodies at a stream for as long as it lives.
class TBodyStreamScope {
 public:
  TBodyStreamScope(THTTPSend& http, TStream& stream) : FHttp(http) { FHttp.BodyStream = &stream; }
  ~TBodyStreamScope() { FHttp.BodyStream = nullptr; }
  TBodyStreamScope(const TBodyStreamScope&) = delete;
  TBodyStreamScope& operator=(const TBodyStreamScope&) = delete;

 private:
  THTTPSend& FHttp;
};

}  // namespace

EFCreateError::EFCreateError(const std::wstring& message)
    : std::runtime_error(WideToAnsi(message)), FMessage(message) {}

void PrepareRequest(THTTPSend& HTTP) {
  HTTP.Document.clear();
  HTTP.Headers.clear();
  HTTP.Protocol = "1.1";
  HTTP.UserAgent = kBrowserAgent;
}

TSynDownload::TSynDownload() : FHTTP(std::make_unique<THTTPSend>()) {
  FHTTP->OnStatus = [this](THTTPSend* Sender, THookSocketReason Reason, const std::string& Value) {
    SockStatus(Sender, Reason, Value);
  };
}

TSynDownload::~TSynDownload() {
  FHTTP->Abort();
}

void TSynDownload::SetReadTimeout(int ms) {
  FReadTimeout = ms;
  FHTTP->Timeout = ms;
}

std::wstring TSynDownload::URLToString(const std::wstring& URL) {
  TMemoryStream body;
  return DoDownload(URL, body) ? AnsiBytesToWide(body.Data()) : std::wstring();
}

void TSynDownload::URLToStream(const std::wstring& URL, TStream& Stream) {
  // Collected apart first: a failed exchange must leave the caller's stream as it was.
  TMemoryStream body;
  if (DoDownload(URL, body))
    Stream.Write(body.Data().data(), body.Data().size());
  Stream.SetPosition(0);
}

void TSynDownload::URLToFile(const std::wstring& URL, const std::wstring& Filename) {
  TFileStream file(Filename);
  if (!file.Open()) {
    throw EFCreateError(L"Cannot create file \"" + FullFileName(Filename) + L"\". " + file.Error());
  }
  // A file that could not be written whole is left empty, like after a failed exchange.
  if (!DoDownload(URL, file))
    file.Truncate();
}

bool TSynDownload::PostURL(const std::wstring& URL) {
  return DoPost(URL);
}

bool TSynDownload::DoDownload(const std::wstring& URL, TStream& Target) {
  StartTransfer(URL);
  bool completed;
  {
    // Each piece of the body goes on to the target as it arrives: never held whole.
    TBodyStreamScope into(*FHTTP, Target);
    completed = RunExchange(*FHTTP, "GET", WideToAnsi(URL));
  }
  FinishTransfer();
  return completed;
}

bool TSynDownload::DoPost(const std::wstring& URL) {
  StartTransfer(URL);
  bool completed = RunExchange(*FHTTP, "POST", WideToAnsi(URL));
  FinishTransfer();
  return completed;
}

void TSynDownload::StartTransfer(const std::wstring& URL) {
  FDownload = 0;
  FPercent = 0;
  FPause = false;
  FAbort = false;
  FAborted = false;
  FMaxSize = GetSize2(URL);
  if (FMaxSize > 0)
    SetProgress(0, FMaxSize);
  if (FOnPercent)
    FOnPercent(this, FPercent);
  PrepareRequest(*FHTTP);
}

void TSynDownload::FinishTransfer() {
  if (FPB)
    SetProgress(FPB->Max(), FPB->Max());
}

bool TSynDownload::RunExchange(THTTPSend& client, const std::string& method,
                               const std::string& url) {
  {
    std::lock_guard lock(FCancelLock);
    if (FCancelled)
      return false;
    client.ClearAbort();
    FActive = &client;
  }
  bool completed = client.HTTPMethod(method, url);
  std::lock_guard lock(FCancelLock);
  FActive = nullptr;
  return completed;
}

bool TSynDownload::HeadQuery(THTTPSend& client, const std::wstring& URL) {
  client.Timeout = FReadTimeout;
  return RunExchange(client, "HEAD", WideToAnsi(URL));
}

int64_t TSynDownload::GetSize2(const std::wstring& URL) {
  FMaxSize = -1;
  int64_t result = -1;
  THTTPSend client;
  if (HeadQuery(client, URL)) {
    int64_t length = http::ContentLengthValue(client.Headers);
    if (length >= 0) {
      result = http::TransferSize(length, client.HeaderBlockLength());
      FMaxSize = result;
    }
  }
  return result;
}

int64_t TSynDownload::GetSize(const std::wstring& URL) {
  FMaxSize = -1;
  int64_t result = -1;
  THTTPSend client;
  if (HeadQuery(client, URL)) {
    const std::optional<std::string> digits =
        http::SizeLineDigits(client.ResultLine, client.Headers);
    if (digits) {
      int64_t length = http::ParseSizeValue(*digits);
      if (length < 0)
        throw EConvertError("'" + *digits + "' is not a valid integer value");
      result = http::TransferSize(length, client.HeaderBlockLength());
      FMaxSize = result;
    }
  }
  return result;
}

void TSynDownload::Cancel() {
  std::lock_guard lock(FCancelLock);
  FCancelled = true;
  if (FActive)
    FActive->Abort();
}

void TSynDownload::SetProgress(int64_t position, int64_t maximum) {
  if (!FPB)
    return;
  // The bar takes 32-bit values: the low 32 bits of the counters.
  if (maximum != -1)
    FPB->SetMax(static_cast<int32_t>(maximum));
  if (position != -1)
    FPB->SetPosition(static_cast<int32_t>(position));
  http::ProcessPendingMessages();
}

void TSynDownload::SockStatus(THTTPSend*, THookSocketReason Reason, const std::string& Value) {
  if (FPause) {
    http::ProcessPendingMessages();
    return;
  }
  if (FAbort) {
    SetProgress(0, 0);
    FHTTP->Abort();
    FAborted = true;
    FAbort = false;
    return;
  }
  if (Reason != THookSocketReason::ReadCount)
    return;
  FDownload += http::ParseSizeValue(Value);
  if (FMaxSize > 0) {
    double exact = static_cast<double>(FDownload) / static_cast<double>(FMaxSize) * 100;
    int32_t percent = exact >= std::numeric_limits<int32_t>::max()
                          ? std::numeric_limits<int32_t>::max()
                          : static_cast<int32_t>(exact);
    SetProgress(FDownload, FMaxSize);
    if (FOnPercent && percent != FPercent)
      FOnPercent(this, percent);
    FPercent = static_cast<int8_t>(percent);
  }
  http::ProcessPendingMessages();
}

}  // namespace velmora
