// Putting text on the clipboard without losing what it held when that fails.
#pragma once

#include <windows.h>

#include <string>

namespace velmora {

// Replaces the clipboard's content with text (CF_UNICODETEXT). The text is prepared before
// the clipboard is emptied; while another program holds the clipboard, opening is retried for
// about half a second. False when the text could not be put there.
bool CopyTextToClipboard(HWND owner, const std::wstring& text);

}  // namespace velmora
