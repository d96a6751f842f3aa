// THTTPSend: a plain HTTP/1.x client holding one connection, its cookies, the request body
// before and the answer after an exchange. Errors come back as results, never as exceptions.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "net/Streams.h"
#include "net/TcpSocket.h"

namespace velmora {

namespace http {
class TBufferedReader;
}

constexpr int kDefaultReadTimeoutMs = 90000;
// Answers larger than this fail: no update comes near it, and a broken or hostile server
// must not exhaust the process.
constexpr int64_t kMaxBodyBytes = int64_t{256} << 20;
// A server may set no more cookies than a browser keeps for one site, none longer than a
// browser's minimum: they go out again with every request.
constexpr size_t kMaxCookies = 50;
constexpr size_t kMaxCookieBytes = 4096;

// The socket events a client reports while it runs an exchange.
enum class THookSocketReason { Connect, ReadCount, WriteCount };

class THTTPSend;
// Value: the byte count as decimal text for ReadCount and WriteCount, empty otherwise.
using THookSocketStatus =
    std::function<void(THTTPSend* Sender, THookSocketReason Reason, const std::string& Value)>;

struct TCookie {
  std::string Name;
  std::string Value;
};

class THTTPSend {
 public:
  THTTPSend();
  ~THTTPSend();
  THTTPSend(const THTTPSend&) = delete;
  THTTPSend& operator=(const THTTPSend&) = delete;

  // Runs one exchange; the URL is 8-bit text (ANSI), sent as it stands. True when it
  // completed without a socket error, whatever the status code.
  bool HTTPMethod(const std::string& method, const std::string& url);
  // Thread-safe: the running exchange stops at its next step (its socket is shut down).
  void Abort();
  // Forgets an Abort, so the next exchange runs.
  void ClearAbort();

  // Request settings.
  std::string Protocol = "1.0";
  std::string UserAgent = "Mozilla/4.0 (compatible; Synapse)";
  int Timeout = kDefaultReadTimeoutMs;  // per single read, ms
  bool KeepAlive = true;
  int KeepAliveTimeout = 300;
  // An answer body longer than this fails the exchange (kMaxBodyBytes at most).
  int64_t MaxBodyBytes = kMaxBodyBytes;
  // Request body before an exchange, answer body after it.
  std::string Document;
  // When set, the answer body goes to this stream as it arrives instead of into Document;
  // a failed exchange leaves in it what had arrived.
  TStream* BodyStream = nullptr;
  std::vector<TCookie> Cookies;
  THookSocketStatus OnStatus;

  // The answer: status line and header lines (without line ends), status code, type.
  std::string ResultLine;
  std::vector<std::string> Headers;
  int ResultCode = 0;
  std::string MimeType;
  // The answer said where its body ends (Content-Length or the chunked end), rather than the
  // body running to the connection's close.
  bool BodyLengthProven = false;
  // Characters of the header block: the status line and each header line with CR LF, and
  // the closing empty line.
  int64_t HeaderBlockLength() const;

  // Connections opened so far (tests check reuse).
  int ConnectionCount() const { return FConnectionCount; }

 private:
  bool Exchange(const std::string& method, const std::string& url);
  bool OpenConnection(const std::string& host, const std::string& port);
  bool CanReuse(const std::string& host, const std::string& port);
  void CloseConnection();
  void Status(THookSocketReason reason, int64_t count);

  TTcpSocket FSock;
  std::unique_ptr<http::TBufferedReader> FReader;  // of the open connection
  std::string FConnectedHost;
  std::string FConnectedPort;
  int FConnectionCount = 0;
};

}  // namespace velmora
