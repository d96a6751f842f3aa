// The main window: the connection page and its reaction to the connector's notifications,
// the log, settings and help pages, and the entry points the program's start-up calls.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/WindowMessages.h"
#include "base/win32/Scoped.h"
#include "engine/AppTitle.h"
#include "engine/uConnectorClass.h"
#include "ui/ConnectionLogic.h"
#include "ui/StoredSettings.h"
#include "ui/win32/ControlLayout.h"
#include "ui/win32/Tooltips.h"
#include "ui/win32/TrayIcon.h"

namespace velmora {

class TConnector;
struct TConnectorEnv;

// Registered (kShowFormMessageName) when the module starts, before any window exists.
// A second start broadcasts it; the window shows itself unless wParam is its own handle.
extern UINT ShowFormMsg;

// Registers the common controls, creates frmMain (FormCreate runs), then DataModuleX, and
// shows the window with showCommand. The window's title is the application title. False when
// the window could not be created.
bool CreateMainForms(HINSTANCE instance, int showCommand);
// The same with the connector built on the given services (tests); null means the platform's.
bool CreateMainForms(HINSTANCE instance, int showCommand, const TConnectorEnv* connectorEnv);
// Destroys the window (FormDestroy frees the connector, whose destructor ends its threads),
// then the data module. Call after the message loop has ended. A close request only hides
// the window to the tray; the tray menu's "Закрыть программу" (WM_COMMAND IDM_miCloseApp),
// a session end or an update end the message loop (PostQuitMessage).
void DestroyMainForms();
// For the message loop: call for every message before TranslateMessage/DispatchMessage;
// true when the message was handled. Gives keyboard navigation (Tab, arrows, mnemonics) and
// sends wheel turns over the help list to the list, whichever control has the focus.
bool IsMainFormDialogMessage(MSG& msg);

struct TUpdateTask;

class TfrmMain {
 public:
  explicit TfrmMain(HINSTANCE instance);
  ~TfrmMain();
  TfrmMain(const TfrmMain&) = delete;
  TfrmMain& operator=(const TfrmMain&) = delete;

  // Creates the window and its controls; FormCreate runs before this returns.
  bool Create(const TConnectorEnv* connectorEnv);
  HWND Handle() const { return FHandle; }
  // Adds the tray icon once; its tooltip is the application title.
  void AddTrayIcon();
  UINT Dpi() const { return FLayout.Dpi(); }

  // The data module's images reach the controls (again after a DPI change).
  void ApplyImages();
  void ShowForm();
  void DownToTrayMsg();
  void CloseApplication();  // ends the program: no close query, the message loop stops

  // Event handlers bound to the controls.
  void FormCreate(const TConnectorEnv* connectorEnv);
  void FormDestroy();
  // By hand (the button) or automatic (tmrReconnect): a dial that cannot be made is shown to
  // the subscriber in a message, or written to the log, respectively.
  void bConnectClick(TDialAsk ask);
  void bDisconnectClick();
  void bRefreshClick();
  void ebLoginChange();
  void ebPasswordChange();
  void ebLoginRightButtonClick(HWND sender);
  void cbHidePasswordClick();
  void imgMainLogoClick();
  void lbAccountLinkLinkClick(const std::wstring& link);
  void cbSaveAuthDataClick();
  void bApplySettingsClick();
  void lbCopyClick();
  void WMConnector(WPARAM code);
  void TrayIconClick();

  // Self-update: the announcement's branch (notice, then the download), the download task
  // (one at a time) and its end.
  void EnterUpdate(const TUserInfo& info);
  void StartDownloadingUpdate();
  void UpdateDone(bool applied, std::unique_ptr<std::wstring> reason);

  std::wstring FRASFilename;
  TUserInfo FUserInfo;                // the connector's account answer as last copied
  uint64_t FUserInfoSeen = 0;         // which copy that was
  uint64_t FPanelShows = UINT64_MAX;  // which copy the account panel shows (none yet)
  bool FInUpdateProgress = false;
  bool FConnectOnStart = false;

  // Controls (named as in the design).
  HWND pc = nullptr, tsConnect = nullptr, tsLog = nullptr, tsSettings = nullptr, tsHelp = nullptr;
  HWND pMainInfo = nullptr, imgMainLogo = nullptr;
  HWND lbContract = nullptr, lbContractInfo = nullptr, lbFIO = nullptr, lbFIOInfo = nullptr;
  HWND lbTariff = nullptr, lbTariffInfo = nullptr, lbBalance = nullptr, lbBalanceInfo = nullptr;
  HWND lbDieDate = nullptr, lbDieDateInfo = nullptr;
  HWND lbContactInfoRight = nullptr, lbContactInfoLeft = nullptr;
  HWND bRefresh = nullptr, lbAccountLink = nullptr;
  HWND ebLogin = nullptr, ebPassword = nullptr;
  HWND ebLoginRightButton = nullptr, ebPasswordRightButton = nullptr;
  HWND cbSaveAuthData = nullptr, cbHidePassword = nullptr, bConnect = nullptr,
       bDisconnect = nullptr;
  HWND mInfo = nullptr, lbCopy = nullptr;
  HWND lbAutostart = nullptr, cbAutostart = nullptr, bApplySettings = nullptr;
  HWND catHelp = nullptr;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool DefaultHandler(UINT message, WPARAM wParam);
  void OnCommand(HWND control, int id, int notification);
  LRESULT OnNotify(const NMHDR& header);
  LRESULT OnCtlColorStatic(HDC dc, HWND control);
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void SnapToWorkArea(WINDOWPOS& position) const;
  void DrawLogo(const DRAWITEMSTRUCT& item);
  void OnTrayCallback(LPARAM lParam);
  void FormCloseQuery();
  void WMQueryEndSession();
  void WMEndSession(WPARAM ending);
  void WMResume();  // the system woke up from sleep

  bool RegisterWindowClass();
  void PlaceWindow(const RECT* suggested);
  void PlacePages();
  void CreateControls();
  void CreateConnectPage();
  void CreateLogPage();
  void CreateSettingsPage();
  void CreateHelpPage();
  void ShowPage(int index);
  void RebuildFonts();
  void CredentialsChanged();

  // A value that cannot be used reads as its default and is noted in the log.
  void LoadLoginData();
  // typing: the write follows a keystroke (its failure is shown once in a row).
  void SaveLoginData(const std::wstring& login, const std::wstring& password, bool typing = false);
  void LoadSettings();
  void SaveSettings();
  void ReportWriteFailure(const std::optional<std::wstring>& failure, bool typing);

  void SetConnectImage(int image);
  void SetConnectCaption(const wchar_t* caption);
  void SetValueLabel(HWND label, const std::wstring& text);
  void AppendLog(const std::wstring& text, bool trim = true);
  bool ListIsOn(HWND list) const;
  // Whether a setting's yes/no list (a ListId of kSettingRows) says yes.
  bool SettingOn(int listId) const;

  void RemoveTrayIcon();

  HINSTANCE FInstance;
  HWND FHandle = nullptr;
  TControlLayout FLayout;
  TTooltips FTooltips;
  TScopedFont FFont;                   // Tahoma 8 at the window's DPI
  TScopedFont FLogFont;                // Lucida Console 8, Cyrillic
  TScopedImageList FConnectImages[3];  // one-image lists for bConnect, taken from il32
  int FConnectImage = 0;
  std::wstring FDownloadLink;
  std::shared_ptr<TUpdateTask> FTask;  // the download task; kept after it ends
  bool FCloseQueryDetached = false;
  TTrayIcon FTray;
  HWND FFocus = nullptr;       // the control that had the focus when the window went inactive
  bool FTrayLeftDown = false;  // a left click on the icon began (not the second of a double)
  TScopedBitmap FLogos[3];     // the logo at 96, 144 and 192 DPI, each decoded when first drawn
  TWriteFailureReports FWriteReports;
};

extern TfrmMain* frmMain;
extern std::unique_ptr<TConnector> Connector;

}  // namespace velmora
