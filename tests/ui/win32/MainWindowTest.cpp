// The real main window under Wine, on a connector whose services are fakes: the design's
// controls and states, the notifications' effect on them, stored settings and visibility.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/win32/Dib.h"
#include "base/win32/Scoped.h"
#include "engine/AppTitle.h"
#include "engine/uConnectorClass.h"
#include "tests/engine/fakes/FakeClock.h"
#include "tests/engine/fakes/FakeProbe.h"
#include "tests/engine/fakes/FakeTransfer.h"
#include "tests/engine/fakes/ScriptedRunner.h"
#include "ui/resource.h"
#include "ui/win32/uDataModule.h"
#include "ui/win32/ufrmMain.h"
#include "ui/HelpTexts.h"
#include "ui/win32/HelpGroup.h"

namespace velmora {
namespace {

using testing::TDialerRun;

constexpr DWORD kWaitMs = 15000;
const char kFailedDial[] =
    "Connecting to Tarvolix...\r\nVerifying username and password...\r\n\r\n"
    "Remote Access error 691 - The remote connection was denied.\r\n\r\n"
    "For more help on this error:\r\n        Type 'hh netcfg.chm'\r\n";
const char kListingConnected[] = "Connected to\r\nTarvolix\r\nCommand completed successfully.\r\n";

// Posts the connector's codes to the window, as the real notifier does.
class TWindowNotifier : public INotifier {
 public:
  void Post(uintptr_t window, uint32_t code) override {
    PostMessageW(reinterpret_cast<HWND>(window), WM_CONNECTOR, code, 0);
  }
};

std::wstring Text(HWND window) {
  wchar_t buffer[4096] = L"";
  GetWindowTextW(window, buffer, 4096);
  return buffer;
}

struct TSearch {
  int Id;
  HWND Found;
};

BOOL CALLBACK MatchId(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<TSearch*>(data);
  if (GetDlgCtrlID(child) != search->Id)
    return TRUE;
  search->Found = child;
  return FALSE;
}

// Controls sit on pages and panels: search the whole tree of the window.
HWND FindControl(HWND window, int id) {
  TSearch search{id, nullptr};
  EnumChildWindows(window, MatchId, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

// The main window's tooltip control (an owned popup of the window's thread).
BOOL CALLBACK FindTooltip(HWND window, LPARAM data) {
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  if (lstrcmpiW(name, TOOLTIPS_CLASSW) != 0 || GetWindow(window, GW_OWNER) != frmMain->Handle())
    return TRUE;
  *reinterpret_cast<HWND*>(data) = window;
  return FALSE;
}

void DeleteTree(const wchar_t* path) {
  RegDeleteTreeW(HKEY_CURRENT_USER, path);
}

void SetRegText(const wchar_t* path, const wchar_t* name, const std::wstring& value) {
  RegSetKeyValueW(HKEY_CURRENT_USER, path, name, REG_SZ, value.c_str(),
                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::wstring RegText(const wchar_t* path, const wchar_t* name) {
  wchar_t buffer[1024] = L"";
  DWORD bytes = sizeof(buffer);
  if (RegGetValueW(HKEY_CURRENT_USER, path, name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) !=
      ERROR_SUCCESS)
    return L"<none>";
  return buffer;
}

std::wstring ExecutablePath() {
  wchar_t path[MAX_PATH + 1] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
  return path;
}

// Closes the next message box titled with the program's title and keeps its text.
class TMessageBoxCloser {
 public:
  TMessageBoxCloser()
      : FThread([this] {
          for (int i = 0; i < 1000 && !FStop; ++i) {
            HWND box = FindWindowW(L"#32770", kApplicationTitle);
            if (box) {
              wchar_t text[1024] = L"";
              GetDlgItemTextW(box, 0xFFFF, text, 1024);
              FText = text;
              PostMessageW(box, WM_COMMAND, IDOK, 0);
              FSeen = true;
              return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
        }) {}
  ~TMessageBoxCloser() {
    FStop = true;
    FThread.join();
  }
  bool Seen() const { return FSeen; }
  std::wstring Text() {
    FThread.join();
    FStop = true;
    FThread = std::thread([] {});
    return FText;
  }

 private:
  std::atomic<bool> FStop{false};
  std::atomic<bool> FSeen{false};
  std::wstring FText;
  std::thread FThread;
};

class MainWindow : public ::testing::Test {
 protected:
  static constexpr const wchar_t* kLoginKey = L"Software\\Norvenda";
  static constexpr const wchar_t* kLoginData = L"Software\\Norvenda\\LoginData";
  static constexpr const wchar_t* kSettings = L"Software\\velmora";
  static constexpr const wchar_t* kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

  MainWindow() : Clock(GetTickCount()), Transfer(std::make_shared<testing::TFakeTransferState>()) {}

  void SetUp() override {
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    Profile = std::wstring(temp) + L"velmora-ui-test";
    SetEnvironmentVariableW(L"ALLUSERSPROFILE", Profile.c_str());
    ClearRegistry();
    ReconnectState = {};
    Runner.Script(TDialerRun::Listing, {"No connections\r\nCommand completed successfully.\r\n"});
    Runner.Script(TDialerRun::HangUp, {"Command completed successfully.\r\n"});
  }

  void TearDown() override {
    DestroyMainForms();
    ClearRegistry();
  }

  void ClearRegistry() {
    DeleteTree(kLoginKey);
    DeleteTree(kSettings);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kRun, L"velmora");
  }

  void Create() {
    TConnectorEnv env;
    env.Clock = &Clock;
    env.Notifier = &Notifier;
    env.Runner = &Runner;
    env.Probe = &Probe;
    env.MakeTransfer = [state = Transfer] {
      return std::make_unique<testing::TFakeTransfer>(state);
    };
    env.SystemDir = L"C:\\Windows\\System32";
    env.ProbeTarget = "127.0.0.1";
    env.AccountHost = L"127.0.0.1:18931";
    ASSERT_TRUE(CreateMainForms(GetModuleHandleW(nullptr), SW_SHOWNOACTIVATE, &env));
    ASSERT_NE(frmMain, nullptr);
    Window = frmMain->Handle();
    Clock.WaitSleeping(2);  // the line watch and the account thread wait for virtual time
  }

  HWND Control(int id) { return FindControl(Window, id); }

  // Handles what is queued for the window now.
  void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        QuitPosted = true;
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

  // Handles the window's messages until done holds; false when it did not within kWaitMs.
  bool PumpUntil(const std::function<bool()>& done) {
    DWORD start = GetTickCount();
    for (;;) {
      Pump();
      if (done())
        return true;
      if (GetTickCount() - start > kWaitMs)
        return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }

  void Notify(uint32_t code) { SendMessageW(Window, WM_CONNECTOR, code, 0); }
  int ConnectImage() {
    return static_cast<int>(
               reinterpret_cast<INT_PTR>(GetPropW(Control(IDC_bConnect), L"VelmoraConnectImage"))) -
           1;
  }
  bool Enabled(int id) { return IsWindowEnabled(Control(id)) != FALSE; }
  bool Checked(int id) { return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  int Selected(int id) { return static_cast<int>(SendMessageW(Control(id), CB_GETCURSEL, 0, 0)); }
  void Click(int id) { SendMessageW(Control(id), BM_CLICK, 0, 0); }
  void Select(int id, int index) { SendMessageW(Control(id), CB_SETCURSEL, index, 0); }

  std::wstring Hint(HWND control) {
    HWND tooltip = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindTooltip, reinterpret_cast<LPARAM>(&tooltip));
    if (!tooltip)
      return L"<no tooltip>";
    wchar_t buffer[1024] = L"";
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = GetParent(control);
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = buffer;
    SendMessageW(tooltip, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&info));
    return buffer;
  }

  testing::TFakeClock Clock;
  TWindowNotifier Notifier;
  testing::TScriptedRunner Runner;
  testing::TFakeProbe Probe;
  std::shared_ptr<testing::TFakeTransferState> Transfer;
  std::wstring Profile;
  HWND Window = nullptr;
  bool QuitPosted = false;
};

TEST_F(MainWindow, CreatesTheDesignedControlsWithTheirCaptionsAndStates) {
  ASSERT_NO_FATAL_FAILURE(Create());
  EXPECT_EQ(Text(Window), L"Velmora Connector");
  wchar_t className[64] = L"";
  GetClassNameW(Window, className, 64);
  EXPECT_STREQ(className, kMainFormClassName);
  RECT client;
  GetClientRect(Window, &client);
  EXPECT_EQ(client.right, MulDiv(348, static_cast<int>(frmMain->Dpi()), 96));
  EXPECT_EQ(client.bottom, MulDiv(364, static_cast<int>(frmMain->Dpi()), 96));

  struct TExpected {
    int Id;
    const wchar_t* Caption;  // nullptr: not compared
    bool Enabled;
    bool Visible;
  };
  const TExpected controls[] = {
      {IDC_bConnect, L"Подключить", false, true},
      {IDC_bDisconnect, L"Отключить", false, true},
      {IDC_bRefresh, L"", true, true},
      {IDC_ebLogin, L"", true, true},
      {IDC_ebPassword, L"", true, true},
      {IDC_cbSaveAuthData, L"Сохранить логин и пароль", true, true},
      {IDC_cbHidePassword, L"Скрыть пароль", true, true},
      {IDC_lbContract, L"Номер договора:", true, true},
      {IDC_lbTariff, L"Тариф:", true, true},
      {IDC_lbBalance, L"Баланс:", true, true},
      {IDC_lbDieDate, L"Дата отключения:", true, true},
      {IDC_lbFIO, L"ФИО:", true, true},
      {IDC_lbContractInfo, L"", true, true},
      {IDC_lbTariffInfo, L"", true, true},
      {IDC_lbBalanceInfo, L"", true, true},
      {IDC_lbDieDateInfo, L"", true, true},
      {IDC_lbFIOInfo, L"", true, true},
      {IDC_imgMainLogo, nullptr, true, true},
      {IDC_lbAccountLink, nullptr, true, true},
      {IDC_lbContactInfoLeft, nullptr, true, true},
      {IDC_lbContactInfoRight, nullptr, true, true},
      {IDC_ebLoginRightButton, nullptr, true, true},
      {IDC_ebPasswordRightButton, nullptr, true, true},
      {IDC_mInfo, L"", true, false},  // on the hidden log page
      {IDC_lbCopy, nullptr, true, false},
      {IDC_lbAutoConnect, L"Автоподключение после запуска", true, false},
      {IDC_lbAutoReconnect, L"Переподключаться при потере соединения", true, false},
      {IDC_lblAutoUpdate, L"Автоматически обновлять программу", true, false},
      {IDC_lbAutostart, L"Запускать при входе в Windows", true, false},
      {IDC_cbAutoConnect, nullptr, true, false},
      {IDC_cbAutoReconnect, nullptr, true, false},
      {IDC_cbAutoUpdate, nullptr, true, false},
      {IDC_cbAutostart, nullptr, true, false},
      {IDC_bApplySettings, L"Сохранить", true, false},
      {IDC_catHelp, nullptr, true, false},
  };
  for (const TExpected& c : controls) {
    SCOPED_TRACE(c.Id);
    HWND control = Control(c.Id);
    ASSERT_NE(control, nullptr);
    if (c.Caption) {
      EXPECT_EQ(Text(control), c.Caption);
    }
    EXPECT_EQ(IsWindowEnabled(control) != FALSE, c.Enabled);
    EXPECT_EQ(IsWindowVisible(control) != FALSE, c.Visible);
  }
  EXPECT_TRUE(Checked(IDC_cbHidePassword));
  EXPECT_FALSE(Checked(IDC_cbSaveAuthData));
  EXPECT_EQ(SendMessageW(Control(IDC_ebPassword), EM_GETPASSWORDCHAR, 0, 0), L'*');
  EXPECT_EQ(ConnectImage(), 0);
  EXPECT_EQ(Hint(Control(IDC_bRefresh)), L"Обновить информацию");
  EXPECT_EQ(Hint(Control(IDC_ebLoginRightButton)), L"Очистить поле");
  EXPECT_EQ(Hint(Control(IDC_ebPasswordRightButton)), L"Очистить поле");

  // First start, empty registry: "Нет", "Нет", "Да", hidden autostart "Нет".
  EXPECT_EQ(Selected(IDC_cbAutoConnect), 0);
  EXPECT_EQ(Selected(IDC_cbAutoReconnect), 0);
  EXPECT_EQ(Selected(IDC_cbAutoUpdate), 1);
  EXPECT_EQ(Selected(IDC_cbAutostart), 0);
  EXPECT_EQ(RegText(kLoginData, L"Login"), L"<none>");

  HWND pc = Control(IDC_pc);
  ASSERT_EQ(SendMessageW(pc, TCM_GETITEMCOUNT, 0, 0), 4);
  const wchar_t* pages[] = {L"Соединение", L"Лог", L"Настройки", L"Помощь"};
  for (int i = 0; i < 4; ++i) {
    wchar_t caption[64] = L"";
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption;
    item.cchTextMax = 64;
    SendMessageW(pc, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(caption, pages[i]);
  }
  EXPECT_EQ(SendMessageW(pc, TCM_GETCURSEL, 0, 0), 0);
}

TEST_F(MainWindow, DpiChangeScalesTheLayoutAndFont) {
  ASSERT_NO_FATAL_FAILURE(Create());
  UINT dpi = frmMain->Dpi();
  RECT suggested{40, 30, 40 + 600, 30 + 700};
  SendMessageW(Window, WM_DPICHANGED, MAKEWPARAM(dpi * 3 / 2, dpi * 3 / 2),
               reinterpret_cast<LPARAM>(&suggested));
  RECT client;
  GetClientRect(Window, &client);
  EXPECT_EQ(client.right, MulDiv(348, static_cast<int>(dpi * 3 / 2), 96));
  EXPECT_EQ(client.bottom, MulDiv(364, static_cast<int>(dpi * 3 / 2), 96));
  RECT window;
  GetWindowRect(Window, &window);
  EXPECT_EQ(window.left, 40);
  RECT button;
  GetWindowRect(Control(IDC_bConnect), &button);
  EXPECT_EQ(button.right - button.left, MulDiv(159, static_cast<int>(dpi * 3 / 2), 96));
  EXPECT_EQ(button.bottom - button.top, MulDiv(35, static_cast<int>(dpi * 3 / 2), 96));
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Control(IDC_bConnect), WM_GETFONT, 0, 0)),
             sizeof(font), &font);
  EXPECT_EQ(font.lfHeight, -MulDiv(8, static_cast<int>(dpi * 3 / 2), 72));
  EXPECT_STREQ(font.lfFaceName, L"Tahoma");
}

// The logo drawn through the window's WM_DRAWITEM into a bitmap of the box's size: its count
// of colours (a box filled with the background alone has one).
int LogoColours(HWND window, HWND logo) {
  RECT box;
  GetClientRect(logo, &box);
  void* bits = nullptr;
  const TScopedBitmap target = MakeTopDownDib(box.right, box.bottom, bits);
  const TMemoryDC dc(CreateCompatibleDC(nullptr));
  if (!target || !dc)
    return 0;
  const TSelection selected(dc.Get(), target.Get());
  DRAWITEMSTRUCT item{};
  item.CtlType = ODT_STATIC;
  item.CtlID = IDC_imgMainLogo;
  item.itemAction = ODA_DRAWENTIRE;
  item.hwndItem = logo;
  item.hDC = dc.Get();
  item.rcItem = box;
  SendMessageW(window, WM_DRAWITEM, IDC_imgMainLogo, reinterpret_cast<LPARAM>(&item));
  GdiFlush();
  const auto* pixels = static_cast<const DWORD*>(bits);
  std::set<DWORD> colours(pixels, pixels + box.right * box.bottom);
  return static_cast<int>(colours.size());
}

TEST_F(MainWindow, LogoIsDrawnAtEveryDpi) {
  ASSERT_NO_FATAL_FAILURE(Create());
  const UINT dpi = frmMain->Dpi();
  for (UINT percent : {100u, 150u, 200u}) {
    SCOPED_TRACE(percent);
    const UINT scaled = dpi * percent / 100;
    RECT suggested{40, 30, 40 + 800, 30 + 800};
    SendMessageW(Window, WM_DPICHANGED, MAKEWPARAM(scaled, scaled),
                 reinterpret_cast<LPARAM>(&suggested));
    EXPECT_GT(LogoColours(Window, Control(IDC_imgMainLogo)), 16);
  }
}

TEST_F(MainWindow, LineCheckRowsSetButtonsCaptionImageAndTheRedialTimer) {
  ASSERT_NO_FATAL_FAILURE(Create());
  // Not connected, automatic dialling not armed: the report only arms it.
  Notify(cnLineChecked);
  EXPECT_TRUE(Enabled(IDC_bConnect));
  EXPECT_FALSE(Enabled(IDC_bDisconnect));
  EXPECT_EQ(Text(Control(IDC_bConnect)), L"Подключить");
  EXPECT_EQ(ConnectImage(), 0);
  EXPECT_FALSE(DataModuleX->tmrReconnect.Enabled());

  // Redial on: the next report schedules an automatic dial.
  Select(IDC_cbAutoReconnect, 1);
  Notify(cnLineChecked);
  EXPECT_FALSE(Enabled(IDC_bConnect));
  EXPECT_FALSE(Enabled(IDC_bDisconnect));
  EXPECT_EQ(ConnectImage(), 2);
  EXPECT_TRUE(DataModuleX->tmrReconnect.Enabled());
  EXPECT_EQ(ReconnectState.Attempts, 1);

  // A dial that ends without an error number drops the pending redial and reads "Подключено".
  Notify(cnDialDone);
  EXPECT_FALSE(DataModuleX->tmrReconnect.Enabled());
  EXPECT_EQ(Text(Control(IDC_bConnect)), L"Подключено");
  EXPECT_NE(Text(Control(IDC_mInfo)).find(L"------------------------\r\n"), std::wstring::npos);

  // The line watch finds the entry listed and the echo answered: connected.
  Runner.Script(TDialerRun::Listing, {kListingConnected});
  Connector->SetNextPingCheck(0);
  Clock.Advance(1000);
  ASSERT_TRUE(PumpUntil([&] { return ConnectImage() == 1; }));
  EXPECT_FALSE(Enabled(IDC_bConnect));
  EXPECT_TRUE(Enabled(IDC_bDisconnect));
  EXPECT_EQ(Text(Control(IDC_bConnect)), L"Подключено");
  EXPECT_EQ(ReconnectState.Attempts, 1);  // a connection resets nothing
}

TEST_F(MainWindow, FailedDialShowsRedAndLogsTheOutputTwiceThenTheSeparator) {
  ASSERT_NO_FATAL_FAILURE(Create());
  Runner.Script(TDialerRun::Dial, {kFailedDial});
  Notify(cnLineChecked);  // enables bConnect
  Click(IDC_bConnect);
  HWND log = Control(IDC_mInfo);
  ASSERT_TRUE(
      PumpUntil([&] { return Text(log).find(L"------------------------") != std::wstring::npos; }));
  Pump();
  EXPECT_TRUE(Enabled(IDC_bConnect));
  EXPECT_EQ(Text(Control(IDC_bConnect)), L"Подключить");
  EXPECT_EQ(ConnectImage(), 2);
  std::wstring text = Text(log);
  size_t first = text.find(L"Remote Access error 691");
  ASSERT_NE(first, std::wstring::npos);
  size_t second = text.find(L"Remote Access error 691", first + 1);
  ASSERT_NE(second, std::wstring::npos);
  EXPECT_LT(second, text.find(L"------------------------"));
  EXPECT_EQ(text.substr(text.size() - 26), L"------------------------\r\n");
}

TEST_F(MainWindow, ALoginBeginningWithASlashIsShownByHandLoggedAutomaticallyAndNeverDialled) {
  ASSERT_NO_FATAL_FAILURE(Create());
  Runner.Script(TDialerRun::Dial, {kFailedDial});
  HWND login = Control(IDC_ebLogin);
  HWND log = Control(IDC_mInfo);
  SetWindowTextW(login, L"/PHONEBOOK:C:\\Users\\Public\\x.pbk");
  SetWindowTextW(Control(IDC_ebPassword), L"secret");
  const std::wstring line = L"Подключение не выполнено: логин не может начинаться с символа «/».";
  auto timesLogged = [&](const std::wstring& text) {
    int count = 0;
    const std::wstring all = Text(log);
    for (size_t at = all.find(text); at != std::wstring::npos; at = all.find(text, at + 1))
      ++count;
    return count;
  };

  // By hand: the message says why; nothing else changes, not even a hang-up by hand's mark.
  Notify(cnLineChecked);  // enables bConnect
  ReconnectState.HungUpByHand = true;
  {
    TMessageBoxCloser closer;
    Click(IDC_bConnect);
    EXPECT_EQ(closer.Text(), line + L" Исправьте логин и нажмите «Подключить» ещё раз.");
  }
  EXPECT_TRUE(Enabled(IDC_bConnect));
  EXPECT_EQ(Text(Control(IDC_bConnect)), L"Подключить");
  EXPECT_TRUE(ReconnectState.HungUpByHand);
  EXPECT_EQ(timesLogged(line), 0);

  // Automatic: one line in the log, and bConnect enabled again for a dial by hand.
  ReconnectState.HungUpByHand = false;
  Select(IDC_cbAutoReconnect, 1);
  Notify(cnLineChecked);
  ASSERT_TRUE(DataModuleX->tmrReconnect.Enabled());
  EXPECT_FALSE(Enabled(IDC_bConnect));
  DataModuleX->tmrReconnectTimer();
  EXPECT_TRUE(Enabled(IDC_bConnect));
  EXPECT_EQ(Text(Control(IDC_bConnect)), L"Подключить");
  EXPECT_EQ(timesLogged(line), 1);

  // Should a dial reach the connector all the same, it fails there without the dialer: the
  // refusal is logged as a failed dial's output is, and the page shows a failure.
  ASSERT_TRUE(Connector->Connect());
  ASSERT_TRUE(PumpUntil([&] { return Text(log).find(L"------") != std::wstring::npos; }));
  Pump();
  EXPECT_EQ(timesLogged(line), 3);
  EXPECT_TRUE(Enabled(IDC_bConnect));
  EXPECT_EQ(Text(Control(IDC_bConnect)), L"Подключить");
  EXPECT_EQ(ConnectImage(), 2);

  // Mended, the click dials: the only dial of the test.
  SetWindowTextW(login, L"user01");
  Click(IDC_bConnect);
  ASSERT_TRUE(PumpUntil([&] { return timesLogged(L"------------------------") == 2; }));
  std::vector<std::wstring> dials;
  for (const std::wstring& command : Runner.Commands()) {
    if (testing::KindOf(command) == TDialerRun::Dial)
      dials.push_back(command);
  }
  EXPECT_EQ(dials, (std::vector<std::wstring>{
                       L"\"C:\\Windows\\System32\\rasdial.exe\" Tarvolix user01 secret"}));
}

TEST_F(MainWindow, LogKeepsItsLatestFiftyLinesWithTheNewestInView) {
  ASSERT_NO_FATAL_FAILURE(Create());
  Runner.Script(TDialerRun::Dial, {kFailedDial});
  Click(IDC_bConnect);
  HWND log = Control(IDC_mInfo);
  ASSERT_TRUE(PumpUntil([&] { return Text(log).find(L"------") != std::wstring::npos; }));
  for (int i = 0; i < 20; ++i)
    Notify(cnHangUp);  // each appends the last dialer output again
  int lines = static_cast<int>(SendMessageW(log, EM_GETLINECOUNT, 0, 0));
  EXPECT_LE(lines, 51);  // 50 lines and the empty one after the last line end
  EXPECT_GE(lines, 50);
  EXPECT_GT(SendMessageW(log, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

TEST_F(MainWindow, CredentialsFollowTypingAndAreStoredWhileTheBoxIsTicked) {
  ASSERT_NO_FATAL_FAILURE(Create());
  HWND login = Control(IDC_ebLogin);
  HWND password = Control(IDC_ebPassword);
  DWORD before = GetTickCount();
  SetWindowTextW(login, L"user1");
  DWORD after = GetTickCount();
  EXPECT_EQ(Connector->Login(), L"user1");
  uint32_t due = Connector->NextUserAccountCheck();
  EXPECT_GE(due - before, 7000u);
  EXPECT_LE(due - after, 7000u);
  EXPECT_EQ(RegText(kLoginData, L"Login"), L"<none>");  // box unticked: nothing stored

  SetWindowTextW(password, L"Pa ss");
  Click(IDC_cbSaveAuthData);
  EXPECT_EQ(RegText(kLoginData, L"Login"), L"user1");
  EXPECT_EQ(RegText(kLoginData, L"Password"), L"Pa ss");
  EXPECT_EQ(RegText(kLoginData, L"Save"), L"1");
  SetWindowTextW(password, L"Pa ss!");
  EXPECT_EQ(RegText(kLoginData, L"Password"), L"Pa ss!");
  EXPECT_EQ(Connector->Password(), L"Pa ss!");

  // The password field's clear button empties only that field.
  Click(IDC_ebPasswordRightButton);
  Pump();
  EXPECT_EQ(Text(password), L"");
  EXPECT_EQ(Text(login), L"user1");
  EXPECT_EQ(Connector->Password(), L"");
  EXPECT_EQ(RegText(kLoginData, L"Password"), L"");

  Click(IDC_cbHidePassword);
  EXPECT_EQ(SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0), 0);
  Click(IDC_cbHidePassword);
  EXPECT_EQ(SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0), L'*');

  Click(IDC_cbSaveAuthData);  // unticked: the stored values are emptied, not removed
  EXPECT_EQ(RegText(kLoginData, L"Login"), L"");
  EXPECT_EQ(RegText(kLoginData, L"Password"), L"");
  EXPECT_EQ(RegText(kLoginData, L"Save"), L"0");
}

TEST_F(MainWindow, SavedLoginDataAndSettingsAreLoadedAtCreationAndSavedByTheButton) {
  SetRegText(kLoginData, L"Login", L"saved");
  SetRegText(kLoginData, L"Password", L"secret");
  SetRegText(kLoginData, L"Save", L"1");
  SetRegText(kSettings, L"AutoConnect", L"1");
  SetRegText(kSettings, L"AutoReconnect", L"7");
  SetRegText(kSettings, L"AutoUpdate", L"not a number");
  std::wstring upper = ExecutablePath();
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  SetRegText(kRun, L"velmora", L"\"" + upper + L"\"");
  ASSERT_NO_FATAL_FAILURE(Create());
  EXPECT_EQ(Text(Control(IDC_ebLogin)), L"saved");
  EXPECT_EQ(Text(Control(IDC_ebPassword)), L"secret");
  EXPECT_TRUE(Checked(IDC_cbSaveAuthData));
  EXPECT_EQ(Connector->Login(), L"saved");
  EXPECT_EQ(Connector->Password(), L"secret");
  EXPECT_EQ(Selected(IDC_cbAutoConnect), 1);
  EXPECT_EQ(Selected(IDC_cbAutoReconnect), 1);
  EXPECT_EQ(Selected(IDC_cbAutoUpdate), 1);
  EXPECT_EQ(Selected(IDC_cbAutostart), 1);
  EXPECT_TRUE(frmMain->FConnectOnStart);

  // Armed at creation: with redial on, the very first not-connected report dials.
  Notify(cnLineChecked);
  EXPECT_TRUE(DataModuleX->tmrReconnect.Enabled());

  Select(IDC_cbAutoUpdate, 0);
  Click(IDC_bApplySettings);
  EXPECT_EQ(RegText(kSettings, L"AutoConnect"), L"1");
  EXPECT_EQ(RegText(kSettings, L"AutoReconnect"), L"1");
  EXPECT_EQ(RegText(kSettings, L"AutoUpdate"), L"0");
  EXPECT_EQ(RegText(kRun, L"velmora"), L"\"" + ExecutablePath() + L"\"");  // present letter case
}

TEST_F(MainWindow, AutostartValueForAnotherProgramIsDeletedBySaving) {
  SetRegText(kRun, L"velmora", ExecutablePath());  // without quotation marks
  ASSERT_NO_FATAL_FAILURE(Create());
  EXPECT_EQ(Selected(IDC_cbAutostart), 0);
  Click(IDC_bApplySettings);
  EXPECT_EQ(RegText(kRun, L"velmora"), L"<none>");
}

TEST_F(MainWindow, StoredValuesOfAnotherTypeReadAsTheirDefaultsAndCreationFinishes) {
  DWORD number = 1;
  RegSetKeyValueW(HKEY_CURRENT_USER, kLoginData, L"Save", REG_DWORD, &number, sizeof(number));
  RegSetKeyValueW(HKEY_CURRENT_USER, kSettings, L"AutoUpdate", REG_DWORD, &number, sizeof(number));
  SetRegText(kLoginData, L"Login", L"kept");
  SetRegText(kLoginData, L"Password", L"pw");
  SetRegText(kSettings, L"AutoConnect", L"1");
  SetRegText(kSettings, L"AutoReconnect", L"1");
  ASSERT_NO_FATAL_FAILURE(Create());
  Pump();
  EXPECT_EQ(FindWindowW(L"#32770", kApplicationTitle), nullptr) << "a message held the start";
  EXPECT_EQ(Text(Control(IDC_ebLogin)), L"kept");
  EXPECT_EQ(Text(Control(IDC_ebPassword)), L"pw");
  EXPECT_FALSE(Checked(IDC_cbSaveAuthData));  // "Save" as its default
  EXPECT_EQ(Selected(IDC_cbAutoConnect), 1);
  EXPECT_EQ(Selected(IDC_cbAutoUpdate), 1);  // its default
  EXPECT_TRUE(frmMain->FConnectOnStart);
  std::wstring log = Text(Control(IDC_mInfo));
  EXPECT_NE(log.find(L"Software\\Norvenda\\LoginData\\Save"), std::wstring::npos);
  EXPECT_NE(log.find(L"Software\\velmora\\AutoUpdate"), std::wstring::npos);

  // Saving replaces the number with text.
  Click(IDC_bApplySettings);
  EXPECT_EQ(RegText(kSettings, L"AutoUpdate"), L"1");
}

TEST_F(MainWindow, AccountAnswerFillsThePanelWithHintsAndAnUpdateLeavesTheWindowWorking) {
  ASSERT_NO_FATAL_FAILURE(Create());
  SetWindowTextW(Control(IDC_ebLogin), L"user1");
  SetWindowTextW(Control(IDC_ebPassword), L"pw");
  Transfer->Answer(
      L"0|12345|Иванов Иван|Домашний 100 Мбит/с с очень длинным названием|250.00|01.02.2027|");
  Click(IDC_bRefresh);
  EXPECT_FALSE(Enabled(IDC_bRefresh));  // one manual query a minute
  Clock.Advance(1000);
  ASSERT_TRUE(PumpUntil([&] { return Text(Control(IDC_lbContractInfo)) == L"12345"; }));
  const struct {
    int Id;
    const wchar_t* Text;
  } labels[] = {{IDC_lbContractInfo, L"12345"},
                {IDC_lbFIOInfo, L"Иванов Иван"},
                {IDC_lbTariffInfo, L"Домашний 100 Мбит/с с очень длинным названием"},
                {IDC_lbBalanceInfo, L"250.00"},
                {IDC_lbDieDateInfo, L"01.02.2027"}};
  for (const auto& label : labels) {
    EXPECT_EQ(Text(Control(label.Id)), label.Text);
    EXPECT_EQ(Hint(Control(label.Id)), label.Text);
  }

  // A new version is announced and auto-update is on: one notice, the panel keeps the last
  // account, and the line's notifications are still handled.
  Transfer->Answer(L"3|http://127.0.0.1:1/Ostrada.exe|");
  Connector->SetNextUserAccountCheck(0);
  TMessageBoxCloser closer;
  Clock.Advance(1000);
  ASSERT_TRUE(PumpUntil([&] { return frmMain->FInUpdateProgress && closer.Seen(); }));
  EXPECT_NE(closer.Text().find(L"Найдена новая версия программы"), std::wstring::npos);
  EXPECT_EQ(Text(Control(IDC_lbContractInfo)), L"12345");
  Notify(cnDialStarted);
  EXPECT_EQ(Text(Control(IDC_bConnect)), L"Подключение");
  // The download cannot reach its address: the refusal is logged once.
  ASSERT_TRUE(PumpUntil([&] {
    return Text(Control(IDC_mInfo)).find(L"Обновление не выполнено: ") != std::wstring::npos;
  }));
}

TEST_F(MainWindow, RefreshTimerRunsOnlyFromAClickUntilTheButtonIsEnabledAgain) {
  ASSERT_NO_FATAL_FAILURE(Create());
  EXPECT_FALSE(DataModuleX->tmrEnableRefresh.Enabled()) << "ticks with nothing to wait for";
  Click(IDC_bRefresh);
  EXPECT_TRUE(DataModuleX->tmrEnableRefresh.Enabled());
  DataModuleX->tmrEnableRefreshTimer();  // within the minute: still waiting
  EXPECT_FALSE(Enabled(IDC_bRefresh));
  EXPECT_TRUE(DataModuleX->tmrEnableRefresh.Enabled());
  LastRefreshTick = GetTickCount() - 60001;
  DataModuleX->tmrEnableRefreshTimer();
  EXPECT_TRUE(Enabled(IDC_bRefresh));
  EXPECT_FALSE(DataModuleX->tmrEnableRefresh.Enabled());
}

TEST_F(MainWindow, UnchangedAccountAnswerLeavesThePanelAsItIs) {
  ASSERT_NO_FATAL_FAILURE(Create());
  SetWindowTextW(Control(IDC_ebLogin), L"user1");
  SetWindowTextW(Control(IDC_ebPassword), L"pw");
  Transfer->Answer(L"0|12345|Иванов Иван|Домашний|250.00|01.02.2027|");
  Click(IDC_bRefresh);
  Clock.Advance(1000);
  ASSERT_TRUE(PumpUntil([&] { return Text(Control(IDC_lbContractInfo)) == L"12345"; }));
  // A mark that only a rewrite of the panel would remove.
  SetWindowTextW(Control(IDC_lbContractInfo), L"mark");
  Notify(cnAccountInfo);
  EXPECT_EQ(Text(Control(IDC_lbContractInfo)), L"mark");
  // A new answer is shown at the next notification.
  Transfer->Answer(L"0|67890|Иванов Иван|Домашний|250.00|01.02.2027|");
  Connector->SetNextUserAccountCheck(0);
  Clock.Advance(1000);
  ASSERT_TRUE(PumpUntil([&] { return Text(Control(IDC_lbContractInfo)) == L"67890"; }));
  EXPECT_EQ(Hint(Control(IDC_lbContractInfo)), L"67890");
}

TEST_F(MainWindow, HelpListFoldsOutOnePanelAndTheWheelScrollsItOnlyOnTheHelpPage) {
  ASSERT_NO_FATAL_FAILURE(Create());
  HWND help = Control(IDC_catHelp);
  EXPECT_EQ(HelpGroupOpenPanel(help), 0);
  HelpGroupToggle(help, 5);  // "Ошибка 678"
  EXPECT_EQ(HelpGroupOpenPanel(help), 5);
  EXPECT_EQ(HelpGroupScrollPos(help), 5 * 30);
  HelpGroupToggle(help, 0);
  EXPECT_EQ(HelpGroupOpenPanel(help), 0);
  EXPECT_EQ(HelpGroupScrollPos(help), 0);

  // The help page is shown; the focus is elsewhere; the cursor is over the list.
  SendMessageW(Control(IDC_pc), TCM_SETCURFOCUS, 3, 0);
  Pump();
  ASSERT_TRUE(IsWindowVisible(help));
  RECT area;
  GetWindowRect(help, &area);
  ASSERT_TRUE(SetCursorPos((area.left + area.right) / 2, (area.top + area.bottom) / 2));
  UINT lines = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  MSG wheel{};
  wheel.hwnd = Control(IDC_pc);
  wheel.message = WM_MOUSEWHEEL;
  wheel.wParam = MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA));
  EXPECT_TRUE(IsMainFormDialogMessage(wheel));
  EXPECT_EQ(HelpGroupScrollPos(help), static_cast<int>(lines) * 8);

  ASSERT_TRUE(SetCursorPos(area.right + 50, area.bottom + 50));  // elsewhere: the list stays
  IsMainFormDialogMessage(wheel);
  EXPECT_EQ(HelpGroupScrollPos(help), static_cast<int>(lines) * 8);

  // The log page shares the area: there the turn is the log's, the hidden list stays.
  SendMessageW(Control(IDC_pc), TCM_SETCURFOCUS, 1, 0);
  Pump();
  ASSERT_TRUE(IsWindowVisible(Control(IDC_mInfo)));
  ASSERT_TRUE(SetCursorPos((area.left + area.right) / 2, (area.top + area.bottom) / 2));
  wheel.hwnd = Control(IDC_mInfo);
  IsMainFormDialogMessage(wheel);
  EXPECT_EQ(HelpGroupScrollPos(help), static_cast<int>(lines) * 8);
}

TEST_F(MainWindow, HelpPanelsAreChildWindowsWithTheirTextsAndTabOrder) {
  ASSERT_NO_FATAL_FAILURE(Create());
  HWND help = Control(IDC_catHelp);
  SendMessageW(Control(IDC_pc), TCM_SETCURFOCUS, 3, 0);  // the help page
  Pump();
  ASSERT_TRUE(IsWindowVisible(help));
  const struct {
    int Panel, Label;
  } ids[] = {{IDC_ct691, IDC_lb691},       {IDC_ct734, IDC_lb734}, {IDC_ct769, IDC_lb769},
             {IDC_ct680676, IDC_lb680676}, {IDC_ct651, IDC_lb651}, {IDC_ct678, IDC_lb678}};
  int top = -1;
  for (int i = 0; i < kHelpPanelCount; ++i) {
    HWND panel = Control(ids[i].Panel);
    HWND label = Control(ids[i].Label);
    ASSERT_NE(panel, nullptr) << i;
    ASSERT_NE(label, nullptr) << i;
    EXPECT_EQ(GetParent(panel), help);
    EXPECT_EQ(GetParent(label), panel);
    EXPECT_EQ(Text(panel), kHelpPanels[i].Caption);
    EXPECT_EQ(Text(label), kHelpPanels[i].Text);
    EXPECT_EQ(IsWindowVisible(label) != FALSE, i == 0) << i;
    RECT rect;
    GetWindowRect(panel, &rect);
    EXPECT_GT(rect.top, top) << "panels out of their list order";
    top = rect.top;
    EXPECT_EQ(rect.bottom - rect.top, MulDiv(i == 0 ? kHelpPanels[i].OpenHeight : 30,
                                             static_cast<int>(frmMain->Dpi()), 96));
  }
  // Tab moves through the headers in their tab order, whatever their order on the page.
  const int order[] = {IDC_ct678, IDC_ct680676, IDC_ct769, IDC_ct734, IDC_ct691, IDC_ct651};
  for (size_t i = 0; i + 1 < std::size(order); ++i)
    EXPECT_EQ(GetNextDlgTabItem(Window, Control(order[i]), FALSE), Control(order[i + 1])) << i;

  // A click on a header opens its panel and closes the open one.
  SendMessageW(Control(IDC_ct769), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 5));
  EXPECT_EQ(HelpGroupOpenPanel(help), 2);
  EXPECT_TRUE(IsWindowVisible(Control(IDC_lb769)));
  EXPECT_FALSE(IsWindowVisible(Control(IDC_lb691)));
  // The keys on the focused header.
  SendMessageW(Control(IDC_ct769), WM_KEYDOWN, VK_LEFT, 0);
  EXPECT_EQ(HelpGroupOpenPanel(help), -1);
  SendMessageW(Control(IDC_ct651), WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(HelpGroupOpenPanel(help), 4);
  SendMessageW(Control(IDC_ct651), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(HelpGroupOpenPanel(help), -1);
  SendMessageW(Control(IDC_ct691), WM_KEYDOWN, VK_RIGHT, 0);
  EXPECT_EQ(HelpGroupOpenPanel(help), 0);
}

TEST_F(MainWindow, HangUpByHandKeepsTheLineDownUntilADialByHand) {
  ASSERT_NO_FATAL_FAILURE(Create());
  Select(IDC_cbAutoReconnect, 1);
  frmMain->FConnectOnStart = true;
  EnableWindow(Control(IDC_bDisconnect), TRUE);
  Click(IDC_bDisconnect);
  EXPECT_TRUE(ReconnectState.HungUpByHand);
  Notify(cnLineChecked);
  EXPECT_FALSE(DataModuleX->tmrReconnect.Enabled()) << "an automatic dial follows";
  EXPECT_TRUE(Enabled(IDC_bConnect));

  // The reconnect timer's dial is not a dial by hand; the button's is.
  DataModuleX->tmrReconnectTimer();
  EXPECT_TRUE(ReconnectState.HungUpByHand);
  EnableWindow(Control(IDC_bConnect), TRUE);
  Click(IDC_bConnect);
  EXPECT_FALSE(ReconnectState.HungUpByHand);
  Notify(cnLineChecked);
  EXPECT_TRUE(DataModuleX->tmrReconnect.Enabled());
}

TEST_F(MainWindow, ResumeFromSleepAsksForALineCheckAtOnce) {
  ASSERT_NO_FATAL_FAILURE(Create());
  const WPARAM events[] = {PBT_APMRESUMEAUTOMATIC, PBT_APMRESUMESUSPEND};
  const uint32_t later = 123456;
  for (WPARAM event : events) {
    Connector->SetNextPingCheck(later);
    EXPECT_EQ(SendMessageW(Window, WM_POWERBROADCAST, event, 0), TRUE);
    EXPECT_EQ(Connector->NextPingCheck(), 0u) << event;
  }
  Connector->SetNextPingCheck(later);
  SendMessageW(Window, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
  EXPECT_EQ(Connector->NextPingCheck(), later) << "going to sleep checks nothing";
  Connector->SetNextPingCheck(0xFFFFFFFFu);  // a dial holds the checks off
  SendMessageW(Window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
  EXPECT_EQ(Connector->NextPingCheck(), 0xFFFFFFFFu);
}

TEST_F(MainWindow, LogOffEndsTheProgramOnlyWhenTheSessionReallyEnds) {
  ASSERT_NO_FATAL_FAILURE(Create());
  EXPECT_EQ(SendMessageW(Window, WM_QUERYENDSESSION, 0, 0), TRUE);
  Pump();
  EXPECT_FALSE(IsWindowVisible(Window));
  EXPECT_FALSE(QuitPosted) << "ended before the outcome of the log-off";
  SendMessageW(Window, WM_ENDSESSION, FALSE, 0);  // cancelled by another program
  Pump();
  EXPECT_FALSE(QuitPosted);
  SendMessageW(Window, WM_CLOSE, 0, 0);  // closing still only hides
  Pump();
  EXPECT_FALSE(QuitPosted);

  EXPECT_EQ(SendMessageW(Window, WM_QUERYENDSESSION, 0, 0), TRUE);
  SendMessageW(Window, WM_ENDSESSION, TRUE, 0);
  Pump();
  EXPECT_TRUE(QuitPosted);
}

TEST_F(MainWindow, CloseHidesToTheTrayAndOnlyTheMenuEndsTheProgram) {
  ASSERT_NO_FATAL_FAILURE(Create());
  ASSERT_TRUE(IsWindowVisible(Window));
  SendMessageW(Window, WM_CLOSE, 0, 0);
  Pump();
  EXPECT_FALSE(IsWindowVisible(Window));
  EXPECT_FALSE(QuitPosted);

  // A show request from a second start shows it; one carrying its own handle does not.
  SendMessageW(Window, ShowFormMsg, reinterpret_cast<WPARAM>(Window), 0);
  EXPECT_FALSE(IsWindowVisible(Window));
  SendMessageW(Window, ShowFormMsg, 0, 0);
  EXPECT_TRUE(IsWindowVisible(Window));

  SendMessageW(Window, WM_COMMAND, IDM_miCloseApp, 0);
  Pump();
  EXPECT_TRUE(QuitPosted);
}

}  // namespace
}  // namespace velmora
