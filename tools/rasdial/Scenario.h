// What the stand-in dialer plays: accounts, the state of the line, delays, forced errors,
// never-ending runs and output in bursts, read from a small text file (see README.md).
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace rasdial {

enum class TLine { Up, Down, NoAnswer };

struct TScenario {
  // Accepted login/password pairs; none listed means every pair is accepted.
  std::vector<std::pair<std::wstring, std::wstring>> Accounts;
  TLine Line = TLine::Up;
  DWORD DialDelayMs = 0;
  int ForcedError = 0;             // a dial ends with this error number when not 0
  std::vector<std::wstring> Hang;  // commands that never end: "dial", "hangup", "list"
  int Bursts = 1;                  // the output is written in this many parts
  DWORD BurstGapMs = 300;          // pause between two parts
  std::wstring Language;           // "en" or "ru"; empty: by the system's locale
  std::wstring Phonebook;          // empty: the all-users phonebook
};

// Reads the scenario file; a missing file gives the defaults. False with a message naming
// the line when the file holds something the stand-in does not understand.
bool LoadScenario(const std::wstring& path, TScenario& scenario, std::wstring& error);

bool Hangs(const TScenario& scenario, const std::wstring& command);

}  // namespace rasdial
