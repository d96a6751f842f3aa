// The connector's threads on CreateThread. Each thread starts suspended so its handle is
// recorded before it runs; the group keeps a duplicate of every handle to wait on, since the
// dial and hang-up threads close their own.
#include <windows.h>

#include "base/win32/Scoped.h"
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
  explicit TWin32Thread(TScopedHandle own) : FOwn(std::move(own)) {}
  bool Finished() override { return WaitForSingleObject(FOwn.Get(), 0) == WAIT_OBJECT_0; }
  void Join() override { WaitForSingleObject(FOwn.Get(), INFINITE); }

 private:
  TScopedHandle FOwn;
};

DWORD WINAPI ThreadEntry(LPVOID parameter) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  (*body)();
  return 0;
}

}  // namespace

TStartedThread StartHeld(std::function<void()> body) {
  auto* parameter = new std::function<void()>(std::move(body));
  TScopedHandle thread(CreateThread(nullptr, 0, ThreadEntry, parameter, CREATE_SUSPENDED, nullptr));
  if (!thread) {
    delete parameter;
    return {};
  }
  TScopedHandle own;
  if (!DuplicateHandle(GetCurrentProcess(), thread.Get(), GetCurrentProcess(), own.Receive(),
                       SYNCHRONIZE, FALSE, 0)) {
    // Without a handle to wait on the thread must not run at all; it has not run yet.
    TerminateThread(thread.Get(), 0);
    delete parameter;
    return {};
  }
  // From here the handle is the caller's, to close with CloseThreadHandle.
  HANDLE started = thread.Release();
  return {reinterpret_cast<TThreadHandle>(started), std::make_unique<TWin32Thread>(std::move(own)),
          [started] { ResumeThread(started); }};
}

}  // namespace threads
}  // namespace velmora
