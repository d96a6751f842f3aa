// The decision table of the line checks, the dial outcome and the refresh limit.
#include "ui/ConnectionLogic.h"

#include <climits>
#include <cwctype>

#include "engine/DialCredentials.h"
#include "engine/DialEntry.h"

namespace velmora {

const wchar_t* const kCaptionConnect = L"Подключить";
const wchar_t* const kCaptionConnecting = L"Подключение";
const wchar_t* const kCaptionConnected = L"Подключено";
const wchar_t* const kLogSeparator = L"------------------------";

namespace {

bool PauseRunning(const TReconnectState& state, uint32_t now, uint32_t pauseMs) {
  return state.PauseUntil != 0 && state.PauseUntil - now <= pauseMs;
}

uint32_t PauseEnd(uint32_t now, uint32_t pauseMs) {
  uint32_t end = now + pauseMs;
  return end == 0 ? 1 : end;  // 0 means "no pause yet"
}

}  // namespace

TLineCheckDecision DecideLineChecked(bool pingStatus, bool autoReconnect, uint32_t now,
                                     bool& connectOnStart, TReconnectState& state,
                                     uint32_t pauseMs) {
  // An old pause must never look like a fresh one after the counter has wrapped.
  if (state.PauseUntil != 0 && !PauseRunning(state, now, pauseMs))
    state.PauseUntil = 0;

  TLineCheckDecision d;
  if (pingStatus) {
    d.Row = TLineCheckRow::Connected;
    d.View = {false, true, kCaptionConnected, kImageGreen};
  } else if (!connectOnStart) {
    d.Row = TLineCheckRow::Arm;
    d.View = {true, false, kCaptionConnect, kImageUnchanged};
    connectOnStart = true;
  } else if (!autoReconnect || state.HungUpByHand) {
    d.Row = TLineCheckRow::Idle;
    d.View = {true, false, kCaptionConnect, kImageUnchanged};
  } else if (state.Attempts < kMaxReconnectAttempts && !PauseRunning(state, now, pauseMs)) {
    d.Row = TLineCheckRow::Redial;
    d.View = {false, false, kCaptionConnect, kImageRed};
    d.StartReconnectTimer = true;
    ++state.Attempts;
  } else {
    d.Row = TLineCheckRow::Pause;
    d.View = {true, false, kCaptionConnect, kImageRed};
    // Entered once when the attempts are used up; a running pause is not renewed, or a line
    // that stays down would never be dialled again.
    if (!PauseRunning(state, now, pauseMs)) {
      state.Attempts = 0;
      state.PauseUntil = PauseEnd(now, pauseMs);
    }
  }
  return d;
}

TDialGate DecideDial(const std::wstring& login, const std::wstring& password, TDialAsk ask) {
  const TSwitchCredentials which = FindSwitchCredentials(login, password);
  TDialGate gate;
  if (!which.Any())
    return gate;
  gate.Dial = false;
  if (ask == TDialAsk::Automatic) {
    gate.LogLine = DialRefusedLine(which);
    gate.EnableConnect = true;
    return gate;
  }
  const wchar_t* const field = which.Login && which.Password ? L"логин и пароль"
                               : which.Login                 ? L"логин"
                                                             : L"пароль";
  gate.Message = DialRefusedLine(which) + L" Исправьте " + field + L" и нажмите «" +
                 kCaptionConnect + L"» ещё раз.";
  return gate;
}

TDialDoneDecision DecideDialDone(int errorCode, bool refused) {
  TDialDoneDecision d;
  if (refused || IsDialError(errorCode)) {
    d.Failed = true;
    d.EnableConnect = true;
    d.Caption = kCaptionConnect;
    d.Image = kImageRed;
  } else {
    d.Caption = kCaptionConnected;
    d.RequestLineCheck = true;
  }
  return d;
}

bool RefreshMayBeEnabled(uint32_t now, uint32_t lastRefreshTick) {
  return static_cast<uint32_t>(now - lastRefreshTick) > kRefreshLimitMs;
}

std::optional<int> ParseInteger(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i])))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+'))
    negative = text[i++] == L'-';
  if (i == text.size())
    return std::nullopt;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < L'0' || text[i] > L'9')
      return std::nullopt;
    value = value * 10 + (text[i] - L'0');
    if (value > static_cast<long long>(INT_MAX) + 1)
      return std::nullopt;
  }
  if (negative)
    value = -value;
  if (value > INT_MAX)
    return std::nullopt;
  return static_cast<int>(value);
}

bool IsUpdateAnnounced(const std::wstring& errorCodeField, bool autoUpdate) {
  return autoUpdate && ParseDecimalOrZero(errorCodeField) == 3;
}

}  // namespace velmora
