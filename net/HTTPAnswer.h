// Reads one HTTP answer from a byte source: status line, header lines and the body framed by
// chunks, a length or the end of the connection. In-memory sources make it testable and fuzzable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "net/HTTPSend.h"
#include "net/TcpSocket.h"

namespace velmora::http {

// Limits a broken or hostile server meets: one line, the whole header part.
constexpr size_t kMaxLineBytes = 64 * 1024;
constexpr int64_t kMaxHeaderBytes = 1 << 20;

enum class TReadStatus { Ok, Closed, Failed };

// Where a body goes as it arrives, piece by piece, and how much of it went there so far.
class TBodySink {
 public:
  // False stops the reading: the piece could not be kept.
  using TWrite = std::function<bool(const char* data, size_t size)>;

  explicit TBodySink(TWrite write) : FWrite(std::move(write)) {}
  bool Write(const char* data, size_t size);
  int64_t Size() const { return FSize; }

 private:
  TWrite FWrite;
  int64_t FSize = 0;
};

// A byte source behind a buffer; reports every receive to a hook that may stop the reading.
class TBufferedReader {
 public:
  using TReadHook = std::function<bool(size_t count)>;

  TBufferedReader(IByteSource& source, int timeoutMs, TReadHook hook);

  // A line without its LF and an optional CR before it. Closed: the source ended first (what
  // came of the line stays in line).
  TReadStatus ReadLine(std::string& line);
  // Hands exactly count bytes to into as they arrive, never reading past them.
  TReadStatus ReadExact(TBodySink& into, size_t count);
  // Hands bytes to into until the source closes (Ok then), failing once it holds more than
  // limit bytes.
  TReadStatus ReadToClose(TBodySink& into, int64_t limit);

  void SetTimeout(int timeoutMs) { FTimeoutMs = timeoutMs; }
  // Bytes received but not read yet (sent past the last answer).
  size_t Buffered() const { return FEnd - FBegin; }
  // Bytes taken from the source so far.
  int64_t Received() const { return FReceived; }

 private:
  TReadStatus Fill();
  TReadStatus Receive(char* into, size_t size, size_t& received);

  IByteSource& FSource;
  int FTimeoutMs;
  TReadHook FHook;
  // Every receive lands here and bodies are handed on from here: reused, never cleared.
  std::unique_ptr<char[]> FBuffer;
  size_t FBegin = 0;
  size_t FEnd = 0;
  int64_t FReceived = 0;
};

struct THTTPAnswer {
  std::string ResultLine;            // empty for an answer without header
  std::vector<std::string> Headers;  // header lines as received
  int ResultCode = 0;
  std::string MimeType;
  std::string Body;              // unless the body went to a sink
  bool CloseConnection = false;  // the server closes it, or asked for it with "Connection: close"
  // The answer itself said where its body ends (its Content-Length, the chunked end, or no body
  // by rule), so a body cut short by a closed connection cannot pass for a whole one.
  bool LengthProven = false;
};

// Reads the answer to a request, its body into body; true when it came complete. A truncated
// body or one longer than maxBody bytes, a broken chunk size line, a failed read or a body
// piece the sink could not keep make it false.
bool ReadAnswer(TBufferedReader& reader, bool isHead, THTTPAnswer& answer, TBodySink& body,
                int64_t maxBody = kMaxBodyBytes);
// The same with the body into answer.Body.
bool ReadAnswer(TBufferedReader& reader, bool isHead, THTTPAnswer& answer,
                int64_t maxBody = kMaxBodyBytes);

// Every "Set-Cookie:" line stored into cookies, a cookie of the same name replaced in its
// place. A cookie longer than kMaxCookieBytes (name, "=" and value) is not stored; past
// kMaxCookies a new name pushes the oldest cookie out.
void StoreCookies(const std::vector<std::string>& headers, std::vector<TCookie>& cookies);

}  // namespace velmora::http
