// The application's title: caption of the main window and of the program's message boxes.
#pragma once

namespace velmora {

inline constexpr wchar_t kApplicationTitle[] = L"Velmora Connector";

}  // namespace velmora
