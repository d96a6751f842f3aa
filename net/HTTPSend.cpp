// THTTPSend: request text, connection reuse and the answer reader over the socket seam.
#include "net/HTTPSend.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "net/HTTPAnswer.h"
#include "net/HTTPRequest.h"

namespace velmora {

THTTPSend::THTTPSend() = default;

THTTPSend::~THTTPSend() {
  CloseConnection();
}

bool THTTPSend::HTTPMethod(const std::string& method, const std::string& url) {
  bool completed = false;
  try {
    completed = Exchange(method, url);
  } catch (const std::bad_alloc&) {
    // A body the process has no room for (a 32-bit process may lack the address space even
    // below the body limit) is one more failed exchange.
    Document = std::string();
  }
  if (!completed)
    CloseConnection();
  return completed;
}

void THTTPSend::Abort() {
  FSock.Abort();
}

void THTTPSend::ClearAbort() {
  FSock.ClearAbort();
}

int64_t THTTPSend::HeaderBlockLength() const {
  if (ResultLine.empty())
    return 0;
  int64_t length = static_cast<int64_t>(ResultLine.size()) + 2 + 2;
  for (const std::string& line : Headers)
    length += static_cast<int64_t>(line.size()) + 2;
  return length;
}

bool THTTPSend::Exchange(const std::string& method, const std::string& url) {
  ResultLine.clear();
  Headers.clear();
  ResultCode = 0;
  MimeType.clear();
  BodyLengthProven = false;
  std::string body = std::move(Document);
  Document.clear();
  if (FSock.AbortRequested())
    return false;

  http::TURL target = http::ParseURL(url);
  if (target.Scheme != "http")
    return false;  // no TLS: https fails like an unreachable host
  if (!CanReuse(target.Host, target.Port)) {
    CloseConnection();
    if (!OpenConnection(target.Host, target.Port))
      return false;
  }

  http::TRequestSettings settings{Protocol,  UserAgent, KeepAliveTimeout,
                                  KeepAlive, &Cookies,  body.size()};
  std::string request = http::BuildRequest(method, target, settings) + body;
  if (!FSock.SendAll(request.data(), request.size(), Timeout))
    return false;
  Status(THookSocketReason::WriteCount, static_cast<int64_t>(request.size()));
  if (FSock.AbortRequested())
    return false;

  std::string upper = method;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  http::THTTPAnswer answer;
  TStream* stream = BodyStream;
  http::TBodySink into([&answer, stream](const char* data, size_t size) {
    if (stream)
      return stream->Write(data, size);
    answer.Body.append(data, size);
    return true;
  });
  FReader->SetTimeout(Timeout);
  bool completed = http::ReadAnswer(*FReader, upper == "HEAD", answer, into,
                                    std::min(MaxBodyBytes, kMaxBodyBytes));
  ResultLine = std::move(answer.ResultLine);
  Headers = std::move(answer.Headers);
  ResultCode = answer.ResultCode;
  MimeType = std::move(answer.MimeType);
  BodyLengthProven = answer.LengthProven;
  http::StoreCookies(Headers, Cookies);
  if (!completed || FSock.AbortRequested())
    return false;
  Document = std::move(answer.Body);
  if (answer.CloseConnection || Protocol != "1.1")
    CloseConnection();
  return true;
}

bool THTTPSend::CanReuse(const std::string& host, const std::string& port) {
  // A connection the server has closed, or one with unread bytes, reads as pending.
  return FSock.Connected() && FReader && host == FConnectedHost && port == FConnectedPort &&
         FReader->Buffered() == 0 && !FSock.CanReadNow();
}

bool THTTPSend::OpenConnection(const std::string& host, const std::string& port) {
  if (!FSock.Connect(host, port))
    return false;
  ++FConnectionCount;
  FConnectedHost = host;
  FConnectedPort = port;
  FReader = std::make_unique<http::TBufferedReader>(FSock, Timeout, [this](size_t count) {
    Status(THookSocketReason::ReadCount, static_cast<int64_t>(count));
    return !FSock.AbortRequested();
  });
  Status(THookSocketReason::Connect, 0);
  return !FSock.AbortRequested();
}

void THTTPSend::CloseConnection() {
  FSock.Close();
  FReader.reset();
  FConnectedHost.clear();
  FConnectedPort.clear();
}

void THTTPSend::Status(THookSocketReason reason, int64_t count) {
  if (!OnStatus)
    return;
  OnStatus(this, reason,
           reason == THookSocketReason::Connect ? std::string() : std::to_string(count));
}

}  // namespace velmora
