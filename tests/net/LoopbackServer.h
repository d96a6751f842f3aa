// A scripted HTTP server on 127.0.0.1 for the client's tests: records every request's raw bytes
// and the connection it came on, and plays queued answers, one per request.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/TcpSocket.h"

namespace velmora::test {

// What the server does once an answer's bytes are out.
enum class TAfterAnswer {
  KeepOpen,  // wait for the next request on the connection
  Close,     // orderly close
  Reset,     // close with a reset
  Stall,     // neither answer more nor close until the client goes or the server stops
};

struct TScriptedAnswer {
  std::string Bytes;
  TAfterAnswer After = TAfterAnswer::KeepOpen;
  // Runs when the request has arrived, before the answer goes out.
  std::function<void()> OnRequest;
};

struct TRecordedRequest {
  std::string Bytes;
  int Connection = 0;  // 1 for the first connection accepted, and so on
};

class TLoopbackServer {
 public:
  TLoopbackServer();
  ~TLoopbackServer();

  uint16_t Port() const { return FListener.Port(); }
  // "http://127.0.0.1:<port>" followed by path.
  std::string Url(const std::string& path = "/") const;
  std::wstring WUrl(const std::wstring& path = L"/") const;

  void Queue(TScriptedAnswer answer);
  void Queue(const std::string& bytes, TAfterAnswer after = TAfterAnswer::KeepOpen);
  // Played when the queue is empty.
  void SetDefault(TScriptedAnswer answer);

  std::vector<TRecordedRequest> Requests() const;
  int Connections() const { return FConnections; }

 private:
  void AcceptLoop();
  void Serve(std::shared_ptr<TTcpSocket> connection, int id);
  bool ReadRequest(TTcpSocket& connection, std::string& pending, std::string& request);
  TScriptedAnswer NextAnswer();

  TTcpListener FListener;
  std::atomic<bool> FStop{false};
  std::atomic<int> FConnections{0};
  mutable std::mutex FLock;
  std::deque<TScriptedAnswer> FAnswers;
  TScriptedAnswer FDefault;
  std::vector<TRecordedRequest> FRequests;
  std::vector<std::thread> FWorkers;
  std::thread FAcceptor;
};

// Head answer with a Content-Length, as a server sends it to a size query.
std::string HeadAnswer(int64_t length);
// A complete 200 answer with a Content-Length.
std::string OkAnswer(const std::string& body, const std::string& extraHeaders = "");

}  // namespace velmora::test
