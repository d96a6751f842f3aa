// What a start does about administrator rights: run, relaunch itself elevated, or, when it is
// itself the relaunched copy and still has no rights, give up instead of relaunching again.
#pragma once

namespace velmora::app {

enum class TElevationStep {
  Run,       // administrator: start-up goes on
  Relaunch,  // not administrator: start again with "runas" and end (exit code 0)
  GiveUp,    // the relaunched copy is still no administrator: say so and end (exit code 1)
};

TElevationStep DecideElevation(bool isAdministrator, bool startedByRelaunch);

// Shown by a relaunched copy that still has no administrator rights (UAC switched off for a
// standard user starts it with the same token).
inline constexpr wchar_t kNeedsAdministratorText[] =
    L"Для работы программы нужны права администратора. Запустите её от имени администратора.";

}  // namespace velmora::app
