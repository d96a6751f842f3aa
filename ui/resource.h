// Control, menu and resource identifiers of the main window, shared by the window code, the
// resource script and the UI driver of the end-to-end tests. Every ID is unique in the window.
#pragma once

// Program resources.
#define IDI_MAINICON 1
#define IDB_LOGO_96 101   // provider's logo, 105 x 93
#define IDB_LOGO_144 102  // the same at 150 %
#define IDB_LOGO_192 103  // the same at 200 %
#define IDI_IL32_GREY 111
#define IDI_IL32_GREEN 112
#define IDI_IL32_RED 113
#define IDI_IL16_CLEAR 114
#define IDI_IL16_2_REFRESH 115

// Page control and its pages.
#define IDC_pc 1000
#define IDC_tsConnect 1001
#define IDC_tsLog 1002
#define IDC_tsSettings 1003
#define IDC_tsHelp 1004

// Connection page.
#define IDC_pMainInfo 1100
#define IDC_imgMainLogo 1101
#define IDC_lbContract 1102
#define IDC_lbContractInfo 1103
#define IDC_lbFIO 1104
#define IDC_lbFIOInfo 1105
#define IDC_lbTariff 1106
#define IDC_lbTariffInfo 1107
#define IDC_lbBalance 1108
#define IDC_lbBalanceInfo 1109
#define IDC_lbDieDate 1110
#define IDC_lbDieDateInfo 1111
#define IDC_lbContactInfoRight 1112
#define IDC_lbContactInfoLeft 1113
#define IDC_bRefresh 1114
#define IDC_lbAccountLink 1115
#define IDC_ebLogin 1116
#define IDC_ebPassword 1117
#define IDC_ebLoginRightButton 1118     // clear button inside ebLogin (a child of the edit)
#define IDC_ebPasswordRightButton 1119  // clear button inside ebPassword (a child of the edit)
#define IDC_cbSaveAuthData 1120
#define IDC_cbHidePassword 1121
#define IDC_bConnect 1122
#define IDC_bDisconnect 1123

// Log page.
#define IDC_mInfo 1200
#define IDC_lbCopy 1201

// Settings page.
#define IDC_lbAutoConnect 1300
#define IDC_cbAutoConnect 1301
#define IDC_lbAutoReconnect 1302
#define IDC_cbAutoReconnect 1303
#define IDC_lblAutoUpdate 1304
#define IDC_cbAutoUpdate 1305
#define IDC_lbAutostart 1306
#define IDC_cbAutostart 1307
#define IDC_bApplySettings 1308

// Help page: the panel group, each panel (its text is its caption) and its text label.
#define IDC_catHelp 1400
#define IDC_ct691 1401
#define IDC_lb691 1402
#define IDC_ct734 1403
#define IDC_lb734 1404
#define IDC_ct769 1405
#define IDC_lb769 1406
#define IDC_ct680676 1407
#define IDC_lb680676 1408
#define IDC_ct651 1409
#define IDC_lb651 1410
#define IDC_ct678 1411
#define IDC_lb678 1412

// Tray menu items.
#define IDM_miShowHide 1500
#define IDM_miCloseApp 1501
