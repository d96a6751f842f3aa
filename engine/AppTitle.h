// The main window as the system and other programs see it: its title, which is also the
// caption of the program's message boxes, and its window class.
#pragma once

namespace velmora {

inline constexpr wchar_t kApplicationTitle[] = L"Velmora Connector";

// Window class of the main window; controls sit on page windows (find them recursively).
inline constexpr wchar_t kMainFormClassName[] = L"TfrmMain";

}  // namespace velmora
