// Window classes that hold controls: the pages of the page control and the bevelled panel.
// Both pass their controls' notifications on to the top-level window.
#pragma once

#include <windows.h>

namespace velmora {

inline constexpr wchar_t kTabSheetClassName[] = L"TTabSheet";
inline constexpr wchar_t kPanelClassName[] = L"TPanel";

// Registers both classes once per process; background is the pages' brush (not owned).
bool RegisterContainerClasses(HINSTANCE instance);
// The brush pages, panels and labels are painted with.
HBRUSH ContainerBrush();

}  // namespace velmora
