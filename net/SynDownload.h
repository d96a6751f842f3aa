// TSynDownload: fetches a URL over plain HTTP into text, a stream or a file, asks a server for
// a resource's size with HEAD, and drives a progress bar or a percentage callback meanwhile.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "net/HTTPSend.h"
#include "net/Streams.h"

namespace velmora {

// Anything with an integer maximum and position that a transfer can drive.
class IProgressBar {
 public:
  virtual ~IProgressBar() = default;
  virtual int32_t Max() const = 0;
  virtual void SetMax(int32_t value) = 0;
  virtual int32_t Position() const = 0;
  virtual void SetPosition(int32_t value) = 0;
};

class TSynDownload;
using TOnPercent = std::function<void(TSynDownload* Sender, int32_t Percent)>;

// Raised by URLToFile, before any request, when the target cannot be created or truncated.
class EFCreateError : public std::runtime_error {
 public:
  explicit EFCreateError(const std::wstring& message);
  const std::wstring& Message() const { return FMessage; }

 private:
  std::wstring FMessage;
};

// Raised by GetSize when the size line holds no digit.
class EConvertError : public std::runtime_error {
 public:
  explicit EConvertError(const std::string& message) : std::runtime_error(message) {}
};

// Readies a client for the next GET or POST: no body, no header lines, protocol "1.1" and a
// browser's User-Agent. Cookies, the open connection and the time-out stay.
void PrepareRequest(THTTPSend& HTTP);

class TSynDownload {
 public:
  TSynDownload();
  ~TSynDownload();
  TSynDownload(const TSynDownload&) = delete;
  TSynDownload& operator=(const TSynDownload&) = delete;

  // GET; the body decoded from the ANSI code page, empty when the exchange failed.
  std::wstring URLToString(const std::wstring& URL);
  // GET; on success the body is written at the stream's position; the position ends at 0.
  void URLToStream(const std::wstring& URL, TStream& Stream);
  // Creates (truncates) the file first, throwing EFCreateError when that fails, then GET;
  // on success the body is written to it. A failed exchange leaves it empty.
  void URLToFile(const std::wstring& URL, const std::wstring& Filename);
  // POST without a body; true when the exchange completed.
  bool PostURL(const std::wstring& URL);
  // HEAD size queries: Content-Length plus the answer's header block length, -1 when unknown.
  // GetSize throws EConvertError when its size line has no digit.
  int64_t GetSize(const std::wstring& URL);
  int64_t GetSize2(const std::wstring& URL);

  // Thread-safe: ends the running exchange at once (shuts its socket down) and makes every
  // later exchange of this helper fail without touching the network.
  void Cancel();

  IProgressBar* ProgressBar() const { return FPB; }
  void SetProgressBar(IProgressBar* bar) { FPB = bar; }
  int64_t Size() const { return FMaxSize; }
  int8_t Percent() const { return FPercent; }
  const TOnPercent& OnPercent() const { return FOnPercent; }
  void SetOnPercent(TOnPercent handler) { FOnPercent = std::move(handler); }
  // Pause and Abort may be set from another thread; they are read at the next socket event.
  bool Pause() const { return FPause; }
  void SetPause(bool value) { FPause = value; }
  bool Abort() const { return FAbort; }
  void SetAbort(bool value) { FAbort = value; }
  bool Aborted() const { return FAborted; }

  // The persistent client of every GET and POST (its connection and cookies carry over).
  THTTPSend& HTTP() { return *FHTTP; }
  // Read time-out in ms of every exchange, the size queries' included (90 000 by default).
  void SetReadTimeout(int ms);

 private:
  bool DoDownload(const std::wstring& URL, TStream& Target);
  bool DoPost(const std::wstring& URL);
  void StartTransfer(const std::wstring& URL);
  void FinishTransfer();
  bool RunExchange(THTTPSend& client, const std::string& method, const std::string& url);
  bool HeadQuery(THTTPSend& client, const std::wstring& URL);
  void SetProgress(int64_t position, int64_t maximum);
  void SockStatus(THTTPSend* Sender, THookSocketReason Reason, const std::string& Value);

  int64_t FDownload = 0;
  int64_t FMaxSize = 0;
  int8_t FPercent = 0;
  IProgressBar* FPB = nullptr;
  TOnPercent FOnPercent;
  std::atomic<bool> FPause{false};
  std::atomic<bool> FAbort{false};
  std::atomic<bool> FAborted{false};
  std::unique_ptr<THTTPSend> FHTTP;
  int FReadTimeout = kDefaultReadTimeoutMs;

  // Cancel's view of the client that currently talks to a server.
  std::mutex FCancelLock;
  bool FCancelled = false;
  THTTPSend* FActive = nullptr;
};

}  // namespace velmora
