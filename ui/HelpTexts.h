// The help page's panels: caption, text and open height of each, in their order.
#pragma once

#include <string>

namespace velmora {

struct THelpPanel {
  const wchar_t* Name;
  const wchar_t* Caption;
  int OpenHeight;  // pixels at 96 DPI, header included
  int TabOrder;    // where its header comes when the keyboard focus moves through the page
  const wchar_t* Text;
};

inline constexpr int kHelpPanelCount = 6;
extern const THelpPanel kHelpPanels[kHelpPanelCount];

}  // namespace velmora
