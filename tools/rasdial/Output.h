// Writes the stand-in dialer's lines to standard output the way a console program does:
// OEM code page, CR LF, in bursts with pauses between them when asked to.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace rasdial {

struct TScript {
  std::vector<std::wstring> Lines;
  std::map<size_t, DWORD> PauseAfter;  // line count written → pause in ms before the rest
  bool HangAtEnd = false;              // never end once the lines are out
  size_t HangAfter = 0;                // with HangAtEnd: stop writing after this many lines

  void Add(const std::wstring& line) { Lines.push_back(line); }
  void Add(const std::vector<std::wstring>& lines) {
    Lines.insert(Lines.end(), lines.begin(), lines.end());
  }
};

// Writes the script; with bursts > 1 the lines go out in that many parts, gapMs apart.
// Returns only when the script does not hang.
void Play(const TScript& script, int bursts, DWORD gapMs);

}  // namespace rasdial
