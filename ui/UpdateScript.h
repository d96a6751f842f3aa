// The text of "update.bat", the script that swaps a downloaded program in: it ends the running
// program, renames the old executable away and the new one into place, puts the old one back
// when the new one could not be renamed, deletes the old one, starts the new one and deletes
// itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

inline constexpr wchar_t kUpdateScriptName[] = L"update.bat";
inline constexpr wchar_t kUpdatedSuffix[] = L"_updated";
inline constexpr wchar_t kOldSuffix[] = L"_old";

// The script's 22 lines, each ended by CR LF. exeName is the executable's file name without
// folder; processId the program's own; oemCodePage the code page the text will be written in,
// which its first line selects for the console.
std::wstring UpdateScriptText(std::wstring_view exeName, uint32_t processId, unsigned oemCodePage);

}  // namespace velmora
