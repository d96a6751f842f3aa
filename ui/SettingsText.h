// How settings and saved credentials look in the registry: Booleans as "1"/"0", the
// autostart command, and the yes/no lists of the settings page.
#pragma once

#include <string>

namespace velmora {

// A stored Boolean: an integer text, 0 false and any other integer true; anything else
// (empty, not a number) gives fallback.
bool ParseStoredBoolean(const std::wstring& text, bool fallback);
const wchar_t* StoredBooleanText(bool value);

// The autostart value for the running executable: the path in double quotation marks.
std::wstring AutostartCommand(const std::wstring& exePath);

// Items of the yes/no lists; index 0 is "Нет", any other index counts as on.
extern const wchar_t* const kListNo;   // "Нет"
extern const wchar_t* const kListYes;  // "Да"
inline int ListIndexFor(bool on) {
  return on ? 1 : 0;
}
inline bool ListIndexIsOn(int index) {
  return index != 0;
}

}  // namespace velmora
