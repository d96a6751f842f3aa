// What the connection page shows after each notification, decided without a window: the
// window applies these results to its buttons, caption, image and timers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

// Automatic-redial bookkeeping, alive for the whole run.
struct TReconnectState {
  int32_t Attempts = 0;
  uint32_t PauseUntil = 0;  // end of the running pause; 0 when none runs
  // The subscriber hung up with "Отключить": no automatic dial until a dial by hand.
  bool HungUpByHand = false;
};

inline constexpr int32_t kMaxReconnectAttempts = 3;
inline constexpr uint32_t kReconnectPauseMs = 300000;
inline constexpr uint32_t kReconnectDelayMs = 5000;
inline constexpr uint32_t kRefreshLimitMs = 60000;

// Images of bConnect in il32; kImageUnchanged leaves the button's image as it is.
inline constexpr int kImageGrey = 0;
inline constexpr int kImageGreen = 1;
inline constexpr int kImageRed = 2;
inline constexpr int kImageUnchanged = -1;

extern const wchar_t* const kCaptionConnect;     // "Подключить"
extern const wchar_t* const kCaptionConnecting;  // "Подключение"
extern const wchar_t* const kCaptionConnected;   // "Подключено"
extern const wchar_t* const kLogSeparator;       // 24 hyphens after each dial's output

// The state of the connection buttons after a notification.
struct TButtonsView {
  bool ConnectEnabled = false;
  bool DisconnectEnabled = false;
  const wchar_t* Caption = nullptr;
  int Image = kImageUnchanged;
};

// Which row of the line-check table applied.
enum class TLineCheckRow { Connected = 1, Arm, Idle, Redial, Pause };

struct TLineCheckDecision {
  TLineCheckRow Row = TLineCheckRow::Connected;
  TButtonsView View;
  bool StartReconnectTimer = false;
};

// A line check has reported pingStatus. Takes the first row that applies and updates
// connectOnStart and state as that row says. After a hang-up by hand a line that is down
// takes the idle row, as with reconnection off. The pause of pauseMs is set once, when the
// attempts are used up; reports while it runs leave it as it is, so once it has run out the
// next report dials again. It is compared wrap-safely: it runs while its end is at most
// pauseMs ahead of now, and a pause that is over is forgotten (PauseUntil := 0).
TLineCheckDecision DecideLineChecked(bool pingStatus, bool autoReconnect, uint32_t now,
                                     bool& connectOnStart, TReconnectState& state,
                                     uint32_t pauseMs = kReconnectPauseMs);

// "Отключить" clicked: automatic redial stays off while the line is down.
inline void NoteHangUpByHand(TReconnectState& state) {
  state.HungUpByHand = true;
}
// "Подключить" clicked (not the reconnect timer): a later loss is redialled again.
inline void NoteDialByHand(TReconnectState& state) {
  state.HungUpByHand = false;
}

// Who asked for a dial: the subscriber's click on "Подключить", or the reconnect timer.
enum class TDialAsk { ByHand, Automatic };

// Whether a dial asked for goes ahead with these credentials. When the dialer would take the
// login or the password for one of its switches (FindSwitchCredentials) nothing is dialled: a
// click shows Message; an automatic dial writes LogLine to the log instead and enables
// bConnect again, so the subscriber can mend the field and dial by hand.
struct TDialGate {
  bool Dial = true;
  std::wstring Message;
  std::wstring LogLine;
  bool EnableConnect = false;
};
TDialGate DecideDial(const std::wstring& login, const std::wstring& password, TDialAsk ask);

struct TDialDoneDecision {
  bool Failed = false;         // an error number (IsDialError), or a dial that was refused
  bool EnableConnect = false;  // on failure only; bDisconnect is never touched
  const wchar_t* Caption = nullptr;
  int Image = kImageUnchanged;
  bool RequestLineCheck = false;  // NextPingCheck := 0
};

// A dial has ended; errorCode is the dialer's error number found in its output (0: none);
// refused: the dialer was not run because of the credentials (IsDialRefusedLine), a failure.
TDialDoneDecision DecideDialDone(int errorCode, bool refused);

// bRefresh may be enabled again once more than kRefreshLimitMs have passed since the last
// manual refresh; the difference is taken on the wrapping 32-bit counter.
bool RefreshMayBeEnabled(uint32_t now, uint32_t lastRefreshTick);

// A decimal integer with optional leading blanks and sign; nothing when the text is not one
// or does not fit 32 bits.
std::optional<int> ParseInteger(const std::wstring& text);
// The account answer's error code read as a decimal integer; 0 when it is not one.
inline int ParseDecimalOrZero(const std::wstring& text) {
  return ParseInteger(text).value_or(0);
}

// The account server announces a new version and the user lets the program update itself.
bool IsUpdateAnnounced(const std::wstring& errorCodeField, bool autoUpdate);

}  // namespace velmora
