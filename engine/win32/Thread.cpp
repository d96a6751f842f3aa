// The connector's threads on CreateThread. Each thread starts suspended so its handle is
// recorded before it runs; the group keeps a duplicate of every handle to wait on, since the
// dial and hang-up threads close their own.
#include <windows.h>

#include "engine/ThreadPlatform.h"

namespace velmora {

void CloseThreadHandle(TThreadHandle handle) {
  if (handle)
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

namespace threads {
namespace {

class TWin32Thread : public TJoinable {
 public:
  explicit TWin32Thread(HANDLE own) : FOwn(own) {}
  ~TWin32Thread() override { CloseHandle(FOwn); }
  bool Finished() override { return WaitForSingleObject(FOwn, 0) == WAIT_OBJECT_0; }
  void Join() override { WaitForSingleObject(FOwn, INFINITE); }

 private:
  HANDLE FOwn;
};

DWORD WINAPI ThreadEntry(LPVOID parameter) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  (*body)();
  return 0;
}

}  // namespace

TStartedThread StartHeld(std::function<void()> body) {
  auto* parameter = new std::function<void()>(std::move(body));
  HANDLE thread = CreateThread(nullptr, 0, ThreadEntry, parameter, CREATE_SUSPENDED, nullptr);
  if (!thread) {
    delete parameter;
    return {};
  }
  HANDLE own = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &own, SYNCHRONIZE, FALSE,
                       0)) {
    // Without a handle to wait on the thread must not run at all; it has not run yet.
    TerminateThread(thread, 0);
    CloseHandle(thread);
    delete parameter;
    return {};
  }
  return {reinterpret_cast<TThreadHandle>(thread), std::make_unique<TWin32Thread>(own),
          [thread] { ResumeThread(thread); }};
}

}  // namespace threads
}  // namespace velmora
