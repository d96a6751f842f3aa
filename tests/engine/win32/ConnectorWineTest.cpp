// The connector with the platform's services end to end under Wine: the stand-in dialer in the
// prefix's system folder, the phonebook entry written by the program, and a real message-only
// window whose thread receives WM_CONNECTOR and reads the results as the main window does.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BuildConfig.h"
#include "base/win32/Scoped.h"
#include "base/win32/SystemCodePage.h"
#include "engine/EnvVariable.h"
#include "engine/Phonebook.h"
#include "engine/Rasphone.h"
#include "engine/Ticks.h"
#include "engine/uConnectorClass.h"
#include "tests/engine/win32/WholeFiles.h"

namespace velmora {
namespace {

struct TNote {
  uint32_t Code = 0;
  bool PingStatus = false;  // read on cnLineChecked
  std::wstring Output;      // read on cnDialDone and cnHangUp
};
using TNotes = std::vector<TNote>;

// A message-only window on a thread of its own, recording every notification but the account
// loop's once-a-second cnAccountInfo.
class TNotificationWindow {
 public:
  TNotificationWindow() {
    FThread = std::thread([this] { Loop(); });
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return FCreated; });
  }
  ~TNotificationWindow() {
    if (FWindow != nullptr)
      PostMessageW(FWindow, WM_CLOSE, 0, 0);
    FThread.join();
  }

  uintptr_t Handle() const { return reinterpret_cast<uintptr_t>(FWindow); }

  // The window thread reads properties of this connector; nullptr stops that. Synchronous: on
  // return no read is under way.
  void Attach(TConnector* connector) {
    SendMessageW(FWindow, kAttachMessage, 0, reinterpret_cast<LPARAM>(connector));
  }

  bool WaitUntil(const std::function<bool(const TNotes&)>& done) {
    std::unique_lock lock(FMutex);
    return FChanged.wait_for(lock, std::chrono::seconds(60), [&] { return done(FNotes); });
  }

  TNotes Notes() {
    std::lock_guard lock(FMutex);
    return FNotes;
  }

 private:
  static constexpr UINT kAttachMessage = WM_APP + 1;

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TNotificationWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr) {
      if (message == kAttachMessage) {
        self->FConnector = reinterpret_cast<TConnector*>(lParam);
        return 0;
      }
      if (message == WM_CONNECTOR) {
        self->Record(static_cast<uint32_t>(wParam));
        return 0;
      }
      if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
      }
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  void Record(uint32_t code) {
    if (code == cnAccountInfo)
      return;
    TNote note;
    note.Code = code;
    if (FConnector != nullptr && code == cnLineChecked)
      note.PingStatus = FConnector->PingStatus();
    if (FConnector != nullptr && (code == cnDialDone || code == cnHangUp)) {
      note.Output = FConnector->ConsoleOutput();
    }
    std::lock_guard lock(FMutex);
    FNotes.push_back(note);
    FChanged.notify_all();
  }

  void Loop() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VelmoraConnectorTestWindow";
    RegisterClassW(&windowClass);  // fails harmlessly when an earlier test registered it
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, windowClass.hInstance, nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    {
      std::lock_guard lock(FMutex);
      FWindow = window;
      FCreated = true;
      FChanged.notify_all();
    }
    MSG message;
    while (window != nullptr && GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (message.hwnd == window && message.message == WM_CLOSE) {
        DestroyWindow(window);
        continue;
      }
      DispatchMessageW(&message);
    }
  }

  std::thread FThread;
  std::mutex FMutex;
  std::condition_variable FChanged;
  bool FCreated = false;
  HWND FWindow = nullptr;
  TConnector* FConnector = nullptr;  // window thread only
  TNotes FNotes;
};

using testing::ReadBytes;
using testing::WriteBytes;

// A search of FindFirstFileW, ended with FindClose.
struct TFindCloser : THandleCloser {
  static bool Close(HANDLE search) { return FindClose(search) != FALSE; }
};

// Removes a folder with everything in it.
void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  const TScoped<TFindCloser> search(FindFirstFileW((folder + L"*").c_str(), &found));
  if (search) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..")
        continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(folder + name + L"\\");
      } else {
        DeleteFileW((folder + name).c_str());
      }
    } while (FindNextFileW(search.Get(), &found));
  }
  RemoveDirectoryW(folder.c_str());
}

std::vector<uint32_t> DialCodes(const TNotes& notes) {
  std::vector<uint32_t> codes;
  for (const TNote& note : notes) {
    if (note.Code != cnLineChecked)
      codes.push_back(note.Code);
  }
  return codes;
}

size_t CountOf(const TNotes& notes, uint32_t code) {
  size_t count = 0;
  for (const TNote& note : notes)
    count += note.Code == code;
  return count;
}

// The first cnLineChecked after the last note with the given code, or nullptr.
const TNote* LineCheckAfterLast(const TNotes& notes, uint32_t code) {
  size_t last = notes.size();
  for (size_t index = 0; index < notes.size(); ++index) {
    if (notes[index].Code == code)
      last = index;
  }
  for (size_t index = last == notes.size() ? notes.size() : last + 1; index < notes.size();
       ++index) {
    if (notes[index].Code == cnLineChecked)
      return &notes[index];
  }
  return nullptr;
}

// A fresh stand-in folder and all-users profile per test; the program writes its phonebook
// entry there, as at its start, and the stand-in dials the entry from it.
class ConnectorWine : public ::testing::Test {
 protected:
  void SetUp() override {
    // Every connector probes its target; only loopback may be reached from here.
    if (std::string(build::kProbeTarget) != "127.0.0.1") {
      GTEST_SKIP() << "probe target is " << build::kProbeTarget << ", not loopback";
    }
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    FFolder = std::wstring(temp) + L"velmora-connector-" + std::to_wstring(GetCurrentProcessId()) +
              L"-" + std::wstring(name.begin(), name.end()) + L"\\";
    CreateDirectoryW(FFolder.c_str(), nullptr);
    SetEnvironmentVariableW(L"VELMORA_RASDIAL_DIR", FFolder.c_str());
    FSavedProfile = GetEnvVariable(L"ALLUSERSPROFILE");
    SetEnvironmentVariableW(L"ALLUSERSPROFILE", (FFolder + L"profile").c_str());
    ASSERT_TRUE(WriteRasphoneEntry(FormRasPhonebookPath(FFolder + L"profile"),
                                   [](const std::wstring&, const std::wstring&) {}));
    ASSERT_TRUE(WriteBytes(FFolder + L"scenario.txt", "account = ivan secret\n"));

    FConnector = std::make_unique<TConnector>();
    FConnector->SetFormHandle(FWindow.Handle());
    FWindow.Attach(FConnector.get());
    FConnector->SetNextUserAccountCheck(kHoldOff);  // no account queries in these tests
    FConnector->SetLogin(L"ivan");
  }

  void TearDown() override {
    FWindow.Attach(nullptr);
    FConnector.reset();
    if (!FSavedProfile.empty())
      SetEnvironmentVariableW(L"ALLUSERSPROFILE", FSavedProfile.c_str());
    if (!FFolder.empty())
      RemoveTree(FFolder);
  }

  // The dialer in the system folder, whatever WINDIR says.
  std::wstring Dialer() const {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    return L"\"" + std::wstring(system) + L"\\rasdial.exe\"";
  }

  // The stand-in's log without the line watch's listings, which run at their own times; every
  // listing must be the quoted path and two blanks.
  std::vector<std::string> LoggedDialsAndHangUps() {
    const std::string log = ReadBytes(FFolder + L"commands.log");
    const std::string listing = ToUtf8(Dialer() + L"  ");
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = log.find('\n'); end != std::string::npos; end = log.find('\n', start)) {
      const std::string line = log.substr(start, end - start);
      start = end + 1;
      if (line.rfind(ToUtf8(Dialer()) + "  ", 0) == 0) {
        EXPECT_EQ(line, listing);
        continue;
      }
      lines.push_back(line);
    }
    EXPECT_EQ(start, log.size()) << "every record ends with a line feed";
    return lines;
  }

  std::wstring FFolder;
  std::wstring FSavedProfile;
  TNotificationWindow FWindow;
  std::unique_ptr<TConnector> FConnector;
};

TEST_F(ConnectorWine, FailedDialDialAndHangUpNotifyInOrderWithTheExactCommandLines) {
  FConnector->SetPassword(L"wrong");
  ASSERT_TRUE(FConnector->Connect());
  ASSERT_TRUE(FWindow.WaitUntil([](const TNotes& n) { return CountOf(n, cnDialDone) == 1; }));
  FConnector->SetPassword(L"secret");
  ASSERT_TRUE(FConnector->Connect());
  ASSERT_TRUE(FWindow.WaitUntil([](const TNotes& n) { return CountOf(n, cnDialDone) == 2; }));
  ASSERT_TRUE(FConnector->Disconnect());
  ASSERT_TRUE(FWindow.WaitUntil([](const TNotes& n) { return DialCodes(n).size() == 6; }));

  const TNotes notes = FWindow.Notes();
  EXPECT_EQ(DialCodes(notes), (std::vector<uint32_t>{cnDialStarted, cnHangUp, cnDialDone,
                                                     cnDialStarted, cnDialDone, cnHangUp}));
  std::vector<std::wstring> outputs;
  for (const TNote& note : notes) {
    if (note.Code == cnDialDone || note.Code == cnHangUp)
      outputs.push_back(note.Output);
  }
  ASSERT_EQ(outputs.size(), 4u);
  EXPECT_EQ(GetRasphoneErrorCode(outputs[0]), 691) << "the failed dial's cnHangUp";
  EXPECT_EQ(GetRasphoneErrorCode(outputs[1]), 691) << "the failed dial's cnDialDone";
  EXPECT_EQ(GetRasphoneErrorCode(outputs[2]), 0);
  EXPECT_NE(outputs[2].find(L"Tarvolix."), std::wstring::npos) << "connected to the entry";
  EXPECT_FALSE(outputs[3].empty());
  EXPECT_EQ(GetRasphoneErrorCode(outputs[3]), 0);

  EXPECT_EQ(LoggedDialsAndHangUps(), (std::vector<std::string>{
                                         ToUtf8(Dialer() + L" Tarvolix ivan wrong "),
                                         ToUtf8(Dialer() + L" Tarvolix ivan secret "),
                                         ToUtf8(Dialer() + L" Tarvolix /DISCONNECT "),
                                     }));
}

TEST_F(ConnectorWine, LineWatchReportsConnectedOnlyAfterADial) {
  FConnector->SetPassword(L"secret");
  FConnector->SetNextPingCheck(kDueNow);
  ASSERT_TRUE(FWindow.WaitUntil([](const TNotes& n) { return CountOf(n, cnLineChecked) >= 1; }));
  EXPECT_FALSE(FWindow.Notes().front().PingStatus) << "listing names no entry yet";

  // The next regular check is 20 s away; the one after the dial comes about a second after it.
  ASSERT_TRUE(FConnector->Connect());
  ASSERT_TRUE(FWindow.WaitUntil(
      [](const TNotes& n) { return LineCheckAfterLast(n, cnDialDone) != nullptr; }));
  EXPECT_TRUE(LineCheckAfterLast(FWindow.Notes(), cnDialDone)->PingStatus);

  ASSERT_TRUE(FConnector->Disconnect());
  ASSERT_TRUE(FWindow.WaitUntil(
      [](const TNotes& n) { return LineCheckAfterLast(n, cnHangUp) != nullptr; }));
  EXPECT_FALSE(LineCheckAfterLast(FWindow.Notes(), cnHangUp)->PingStatus);
}

}  // namespace
}  // namespace velmora
