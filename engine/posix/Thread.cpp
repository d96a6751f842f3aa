// The connector's threads natively, on std::thread: released through a promise, ended when
// their body has returned.
#include <atomic>
#include <future>
#include <system_error>
#include <thread>

#include "engine/ThreadPlatform.h"

namespace velmora {

void CloseThreadHandle(TThreadHandle) {}

namespace threads {
namespace {

std::atomic<TThreadHandle> NextHandle{1};

class TStdThread : public TJoinable {
 public:
  TStdThread(std::thread thread, std::shared_ptr<std::atomic<bool>> done)
      : FThread(std::move(thread)), FDone(std::move(done)) {}
  ~TStdThread() override {
    if (FThread.joinable())
      FThread.join();
  }
  bool Finished() override { return FDone->load(); }
  void Join() override { FThread.join(); }

 private:
  std::thread FThread;
  std::shared_ptr<std::atomic<bool>> FDone;
};

}  // namespace

TStartedThread StartHeld(std::function<void()> body) {
  auto gate = std::make_shared<std::promise<void>>();
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::thread thread;
  try {
    thread = std::thread([opened = gate->get_future(), done, body = std::move(body)]() mutable {
      opened.wait();
      body();
      done->store(true);
    });
  } catch (const std::system_error&) {
    return {};
  }
  return {NextHandle.fetch_add(1), std::make_unique<TStdThread>(std::move(thread), done),
          [gate] { gate->set_value(); }};
}

}  // namespace threads
}  // namespace velmora
