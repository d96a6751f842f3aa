// The text of "update.bat", the script that swaps a downloaded program in, and the command line
// that runs it. The script ends the running program, waits a bounded time for it to be gone,
// renames the old executable away and the new one into place, puts the old one back when the
// new one could not be renamed, starts the program and deletes itself. It leaves the old
// executable as N + "_old", which the new program deletes once it runs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

inline constexpr wchar_t kUpdateScriptName[] = L"update.bat";
inline constexpr wchar_t kUpdatedSuffix[] = L"_updated";
inline constexpr wchar_t kOldSuffix[] = L"_old";
// Rounds of about a second that the script waits for the program to end before it gives up
// and leaves the old program in place.
inline constexpr int kSwapWaitRounds = 30;

// The script's lines, each ended by CR LF. exeName is the executable's file name without
// folder; processId the program's own; oemCodePage the code page the text will be written in,
// which its first line selects for the console; systemFolder the system's folder (without a
// trailing separator), from which the script runs every system program by full path;
// waitRounds how long it waits for the program to end (tests shorten it).
std::wstring UpdateScriptText(std::wstring_view exeName, uint32_t processId, unsigned oemCodePage,
                              std::wstring_view systemFolder, int waitRounds = kSwapWaitRounds);

// The system's command interpreter, cmd.exe in systemFolder.
std::wstring UpdateInterpreterPath(std::wstring_view systemFolder);

// The interpreter's command line for the script at scriptPath: the system's cmd.exe by full
// path, without the user's AutoRun command (/d), with the extensions the script uses (/e:on)
// and without delayed expansion (/v:off), whatever the user's registry says.
std::wstring UpdateScriptCommandLine(std::wstring_view systemFolder, std::wstring_view scriptPath);

// False when the interpreter could read part of the script's path as a variable of the user's
// environment: two or more "%" in it (its command line has no escape for them).
bool IsSafeScriptPath(std::wstring_view scriptPath);

// Deletes the "_old" executable that a swap left beside the program at exePath. A failure (it
// is still held open) is ignored: the next start tries again.
void RemoveLeftoverOldProgram(const std::wstring& exePath);

}  // namespace velmora
