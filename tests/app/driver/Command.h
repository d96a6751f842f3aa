// What one command of the UI driver gets (its words and what the command table found for it)
// and gives back (success and a text); the handlers of Read.h, Act.h and Capture.h take this.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace velmora::uidriver {

struct TResult {
  bool Ok;
  std::wstring Output;  // the reading on success, else what went wrong
};

inline TResult Done(std::wstring text) {
  return {true, std::move(text)};
}
inline TResult Error(std::wstring text) {
  return {false, std::move(text)};
}
inline TResult Flag(bool value) {
  return {true, value ? L"1" : L"0"};
}
inline TResult Number(LRESULT value) {
  return {true, std::to_wstring(static_cast<int>(value))};
}

// A line a command reports while it still runs (the clipboard holder's "held").
using TSay = std::function<void(const std::wstring&)>;

struct TCall {
  const std::vector<std::wstring>& Args;  // the command's name, then its arguments
  HWND Main;                              // the program's window, for the commands on it
  HWND Control;                           // the control named by Args[1], for control commands
  int ControlId;
  const TSay& Say;

  // Argument index (1 is the first after the name), or fallback when it was not given.
  std::wstring Text(size_t index, const std::wstring& fallback = L"") const {
    return index < Args.size() ? Args[index] : fallback;
  }
  // The same as a decimal number (text that is none reads as 0).
  int Integer(size_t index, int fallback) const {
    return index < Args.size() ? _wtoi(Args[index].c_str()) : fallback;
  }
};

using THandler = TResult (*)(const TCall&);

}  // namespace velmora::uidriver
