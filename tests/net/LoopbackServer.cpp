// The scripted loopback server: one thread accepts, one thread serves each connection.
#include "tests/net/LoopbackServer.h"

#include <chrono>

namespace velmora::test {

namespace {

constexpr int kPollMs = 20;

}  // namespace

TLoopbackServer::TLoopbackServer() {
  FDefault.Bytes = "HTTP/1.1 500 No answer scripted\r\nContent-Length: 0\r\n\r\n";
  if (FListener.Listen())
    FAcceptor = std::thread([this] { AcceptLoop(); });
}

TLoopbackServer::~TLoopbackServer() {
  FStop = true;
  if (FAcceptor.joinable())
    FAcceptor.join();
  for (std::thread& worker : FWorkers)
    worker.join();
  FListener.Close();
}

std::string TLoopbackServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(Port()) + path;
}

std::wstring TLoopbackServer::WUrl(const std::wstring& path) const {
  return L"http://127.0.0.1:" + std::to_wstring(Port()) + path;
}

void TLoopbackServer::Queue(TScriptedAnswer answer) {
  std::lock_guard lock(FLock);
  FAnswers.push_back(std::move(answer));
}

void TLoopbackServer::Queue(const std::string& bytes, TAfterAnswer after) {
  Queue(TScriptedAnswer{bytes, after, {}});
}

void TLoopbackServer::SetDefault(TScriptedAnswer answer) {
  std::lock_guard lock(FLock);
  FDefault = std::move(answer);
}

std::vector<TRecordedRequest> TLoopbackServer::Requests() const {
  std::lock_guard lock(FLock);
  return FRequests;
}

TScriptedAnswer TLoopbackServer::NextAnswer() {
  std::lock_guard lock(FLock);
  if (FAnswers.empty())
    return FDefault;
  TScriptedAnswer answer = std::move(FAnswers.front());
  FAnswers.pop_front();
  return answer;
}

void TLoopbackServer::AcceptLoop() {
  while (!FStop) {
    auto connection = std::make_shared<TTcpSocket>();
    if (!FListener.Accept(*connection, kPollMs))
      continue;
    int id = ++FConnections;
    FWorkers.emplace_back([this, connection, id] { Serve(connection, id); });
  }
}

// Reads up to the empty line ending the header and a body of its Content-Length, if any.
bool TLoopbackServer::ReadRequest(TTcpSocket& connection, std::string& pending,
                                  std::string& request) {
  char buffer[4096];
  for (;;) {
    auto end = pending.find("\r\n\r\n");
    if (end != std::string::npos) {
      size_t length = end + 4;
      auto field = pending.find("Content-Length: ");
      if (field != std::string::npos && field < end) {
        length += std::stoul(pending.substr(field + 16));
      }
      if (pending.size() >= length) {
        request = pending.substr(0, length);
        pending.erase(0, length);
        return true;
      }
    }
    if (FStop)
      return false;
    size_t received = 0;
    TRecvResult result = connection.Recv(buffer, sizeof buffer, kPollMs, received);
    if (result == TRecvResult::Data) {
      pending.append(buffer, received);
    } else if (result != TRecvResult::Timeout) {
      return false;
    }
  }
}

void TLoopbackServer::Serve(std::shared_ptr<TTcpSocket> connection, int id) {
  std::string pending, request;
  while (ReadRequest(*connection, pending, request)) {
    {
      std::lock_guard lock(FLock);
      FRequests.push_back({request, id});
    }
    TScriptedAnswer answer = NextAnswer();
    if (answer.OnRequest)
      answer.OnRequest();
    connection->SendAll(answer.Bytes.data(), answer.Bytes.size(), 10000);
    switch (answer.After) {
      case TAfterAnswer::KeepOpen:
        continue;
      case TAfterAnswer::Close:
        connection->ShutdownSend();
        break;
      case TAfterAnswer::Reset:
        // Give the client time to take the bytes before the reset discards them.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        connection->CloseWithReset();
        return;
      case TAfterAnswer::Stall:
        break;
    }
    // Closed or stalled: wait until the client goes away or the server stops.
    char sink[512];
    size_t received = 0;
    while (!FStop) {
      TRecvResult result = connection->Recv(sink, sizeof sink, kPollMs, received);
      if (result != TRecvResult::Data && result != TRecvResult::Timeout)
        break;
    }
    return;
  }
}

std::string HeadAnswer(int64_t length) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
}

std::string OkAnswer(const std::string& body, const std::string& extraHeaders) {
  return "HTTP/1.1 200 OK\r\n" + extraHeaders + "Content-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

}  // namespace velmora::test
