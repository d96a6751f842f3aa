// The answer reader: framing by status line, headers, chunks, a length or the connection's end.
#include "net/HTTPAnswer.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace velmora::http {

namespace {

constexpr size_t kBufferBytes = 64 * 1024;

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  size_t n = std::strlen(prefix);
  if (text.size() < n)
    return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) !=
        std::toupper(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

bool ContainsNoCase(const std::string& text, const char* word) {
  std::string upper = text;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper.find(word) != std::string::npos;
}

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos)
    return {};
  size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

std::string ValueAfterColon(const std::string& line) {
  auto colon = line.find(':');
  return colon == std::string::npos ? std::string() : Trim(line.substr(colon + 1));
}

// A non-negative decimal number; -1 when the text is anything else or too large.
int64_t ParseDecimal(const std::string& text) {
  if (text.empty() || text.size() > 18)
    return -1;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9')
      return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

// A chunk size; -1 when the text is not a hexadecimal number or too large.
int64_t ParseHex(const std::string& text) {
  if (text.empty() || text.size() > 15)
    return -1;
  int64_t value = 0;
  for (char c : text) {
    int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                            : -1;
    if (digit < 0)
      return -1;
    value = value * 16 + digit;
  }
  return value;
}

// The number after the status line's first blank, 0 when it is none.
int StatusCode(const std::string& line) {
  auto blank = line.find(' ');
  if (blank == std::string::npos)
    return 0;
  auto end = line.find(' ', blank + 1);
  int64_t code =
      ParseDecimal(line.substr(blank + 1, end == std::string::npos ? end : end - blank - 1));
  return code < 0 || code > 999999 ? 0 : static_cast<int>(code);
}

bool ReadChunked(TBufferedReader& reader, TBodySink& body, int64_t maxBody) {
  int64_t start = reader.Received();
  std::string line;
  for (;;) {
    if (reader.ReadLine(line) != TReadStatus::Ok)
      return false;
    if (reader.Received() - start > maxBody + kMaxHeaderBytes)
      return false;
    if (line.empty())
      continue;
    std::string text = line.substr(0, line.find_first_of(" ;"));
    int64_t size = ParseHex(Trim(text));
    // A size line that is not a number is a broken answer, not the end of the body.
    if (size < 0)
      return false;
    if (size == 0)
      return true;  // the trailer stays unread
    if (body.Size() + size > maxBody)
      return false;
    if (reader.ReadExact(body, static_cast<size_t>(size)) != TReadStatus::Ok)
      return false;
  }
}

}  // namespace

bool TBodySink::Write(const char* data, size_t size) {
  if (size == 0)
    return true;
  FSize += static_cast<int64_t>(size);
  return FWrite(data, size);
}

TBufferedReader::TBufferedReader(IByteSource& source, int timeoutMs, TReadHook hook)
    : FSource(source),
      FTimeoutMs(timeoutMs),
      FHook(std::move(hook)),
      FBuffer(std::make_unique_for_overwrite<char[]>(kBufferBytes)) {}

TReadStatus TBufferedReader::Receive(char* into, size_t size, size_t& received) {
  switch (FSource.Recv(into, size, FTimeoutMs, received)) {
    case TRecvResult::Data:
      FReceived += static_cast<int64_t>(received);
      return !FHook || FHook(received) ? TReadStatus::Ok : TReadStatus::Failed;
    case TRecvResult::Closed:
      return TReadStatus::Closed;
    default:
      return TReadStatus::Failed;
  }
}

TReadStatus TBufferedReader::Fill() {
  if (FBegin == FEnd)
    FBegin = FEnd = 0;
  if (FEnd == kBufferBytes) {  // move the unread rest to the front
    std::copy(FBuffer.get() + FBegin, FBuffer.get() + FEnd, FBuffer.get());
    FEnd -= FBegin;
    FBegin = 0;
  }
  size_t received = 0;
  TReadStatus status = Receive(FBuffer.get() + FEnd, kBufferBytes - FEnd, received);
  if (status == TReadStatus::Ok)
    FEnd += received;
  return status;
}

TReadStatus TBufferedReader::ReadLine(std::string& line) {
  line.clear();
  for (;;) {
    const char* begin = FBuffer.get() + FBegin;
    const char* end = FBuffer.get() + FEnd;
    const char* lf = std::find(begin, end, '\n');
    line.append(begin, lf);
    if (lf != end) {
      FBegin = static_cast<size_t>(lf - FBuffer.get()) + 1;
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      return line.size() > kMaxLineBytes ? TReadStatus::Failed : TReadStatus::Ok;
    }
    FBegin = FEnd = 0;
    if (line.size() > kMaxLineBytes)
      return TReadStatus::Failed;
    TReadStatus status = Fill();
    if (status != TReadStatus::Ok)
      return status;
  }
}

TReadStatus TBufferedReader::ReadExact(TBodySink& into, size_t count) {
  size_t fromBuffer = std::min(count, Buffered());
  if (!into.Write(FBuffer.get() + FBegin, fromBuffer))
    return TReadStatus::Failed;
  FBegin += fromBuffer;
  count -= fromBuffer;
  // The rest passes through the emptied buffer, handed on as each piece arrives. A receive
  // asks for no more than is still owed, so what follows the body stays for the next read.
  while (count > 0) {
    FBegin = FEnd = 0;
    size_t received = 0;
    TReadStatus status = Receive(FBuffer.get(), std::min(count, kBufferBytes), received);
    if (status != TReadStatus::Ok)
      return status;
    if (!into.Write(FBuffer.get(), received))
      return TReadStatus::Failed;
    count -= received;
  }
  return TReadStatus::Ok;
}

TReadStatus TBufferedReader::ReadToClose(TBodySink& into, int64_t limit) {
  bool kept = into.Write(FBuffer.get() + FBegin, Buffered());
  FBegin = FEnd = 0;
  if (!kept)
    return TReadStatus::Failed;
  for (;;) {
    if (into.Size() > limit)
      return TReadStatus::Failed;
    size_t received = 0;
    TReadStatus status = Receive(FBuffer.get(), kBufferBytes, received);
    if (status == TReadStatus::Closed)
      return TReadStatus::Ok;
    if (status != TReadStatus::Ok)
      return status;
    if (!into.Write(FBuffer.get(), received))
      return TReadStatus::Failed;
  }
}

bool ReadAnswer(TBufferedReader& reader, bool isHead, THTTPAnswer& answer, TBodySink& body,
                int64_t maxBody) {
  answer = THTTPAnswer();
  int64_t start = reader.Received();
  auto headerTooLong = [&] { return reader.Received() - start > kMaxHeaderBytes; };
  std::string line;

  // The status line; 100 Continue and empty lines are skipped.
  for (;;) {
    TReadStatus status = reader.ReadLine(line);
    bool isStatusLine = StartsWithNoCase(line, "HTTP/");
    if (status == TReadStatus::Closed && !line.empty() && !isStatusLine) {
      answer.CloseConnection = true;  // a one-line answer without header and line end
      return body.Write(line.data(), line.size());
    }
    if (status != TReadStatus::Ok || headerTooLong())
      return false;
    if (line.empty())
      continue;
    if (!isStatusLine) {  // no header at all: the body runs to the connection's end
      answer.CloseConnection = true;
      line += "\r\n";
      return body.Write(line.data(), line.size()) &&
             reader.ReadToClose(body, maxBody) == TReadStatus::Ok;
    }
    answer.ResultCode = StatusCode(line);
    if (answer.ResultCode != 100)
      break;
  }
  answer.ResultLine = line;

  int64_t length = -1;
  bool chunked = false;
  for (;;) {
    if (reader.ReadLine(line) != TReadStatus::Ok || headerTooLong())
      return false;
    if (line.empty())
      break;
    answer.Headers.push_back(line);
    if (StartsWithNoCase(line, "CONTENT-LENGTH:")) {
      length = ParseDecimal(ValueAfterColon(line));
    } else if (StartsWithNoCase(line, "TRANSFER-ENCODING:")) {
      chunked = chunked || ContainsNoCase(ValueAfterColon(line), "CHUNKED");
    } else if (StartsWithNoCase(line, "CONTENT-TYPE:")) {
      answer.MimeType = ValueAfterColon(line);
    } else if (StartsWithNoCase(line, "CONNECTION:")) {
      answer.CloseConnection = answer.CloseConnection || ContainsNoCase(line, "CLOSE");
    }
  }

  if (isHead || answer.ResultCode == 204 || answer.ResultCode == 304) {
    answer.LengthProven = true;
    return true;
  }
  if (chunked) {
    answer.LengthProven = ReadChunked(reader, body, maxBody);
    return answer.LengthProven;
  }
  if (length >= 0) {
    if (length > maxBody)
      return false;
    answer.LengthProven = reader.ReadExact(body, static_cast<size_t>(length)) == TReadStatus::Ok;
    return answer.LengthProven;
  }
  answer.CloseConnection = true;
  return reader.ReadToClose(body, maxBody) == TReadStatus::Ok;
}

bool ReadAnswer(TBufferedReader& reader, bool isHead, THTTPAnswer& answer, int64_t maxBody) {
  TBodySink body([&answer](const char* data, size_t size) {
    answer.Body.append(data, size);
    return true;
  });
  return ReadAnswer(reader, isHead, answer, body, maxBody);
}

void StoreCookies(const std::vector<std::string>& headers, std::vector<TCookie>& cookies) {
  for (const std::string& line : headers) {
    if (!StartsWithNoCase(line, "SET-COOKIE:"))
      continue;
    std::string text = line.substr(11);
    text = text.substr(0, text.find(';'));
    auto equals = text.find('=');
    TCookie cookie{Trim(text.substr(0, equals)),
                   equals == std::string::npos ? std::string() : Trim(text.substr(equals + 1))};
    if (cookie.Name.empty() || cookie.Name.size() + 1 + cookie.Value.size() > kMaxCookieBytes)
      continue;
    auto same = std::find_if(cookies.begin(), cookies.end(),
                             [&](const TCookie& c) { return c.Name == cookie.Name; });
    if (same != cookies.end()) {
      same->Value = std::move(cookie.Value);
      continue;
    }
    if (cookies.size() >= kMaxCookies)
      cookies.erase(cookies.begin(), cookies.begin() + (cookies.size() - kMaxCookies + 1));
    cookies.push_back(std::move(cookie));
  }
}

}  // namespace velmora::http
