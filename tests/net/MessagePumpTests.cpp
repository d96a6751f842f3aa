// Windows only: a transfer lets the calling thread's pending window messages through while it
// runs, so a window thread stays responsive during a download.
#include <gtest/gtest.h>
#include <windows.h>

#include "net/SynDownload.h"
#include "tests/net/LoopbackServer.h"

namespace velmora {
namespace {

int gHandled = 0;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP)
    ++gHandled;
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST(HttpMessagePump, TransferDispatchesThePendingMessagesOfItsThread) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = CountingProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"VelmoraPumpTest";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowW(L"VelmoraPumpTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              windowClass.hInstance, nullptr);
  ASSERT_NE(window, nullptr);

  test::TLoopbackServer server;
  server.Queue(test::HeadAnswer(4));
  server.Queue(test::OkAnswer("data"));
  TSynDownload download;
  gHandled = 0;
  ASSERT_TRUE(PostMessageW(window, WM_APP, 0, 0));
  EXPECT_EQ(download.URLToString(server.WUrl()), L"data");
  EXPECT_EQ(gHandled, 1) << "handled during the transfer, without a message loop";
  DestroyWindow(window);
}

}  // namespace
}  // namespace velmora
