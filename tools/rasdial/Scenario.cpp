// Parser of the stand-in dialer's scenario file: "key = value" lines in UTF-8, "#" comments.
#include "tools/rasdial/Scenario.h"

#include <cwctype>

#include "tools/rasdial/Files.h"

namespace rasdial {
namespace {

std::wstring Trim(const std::wstring& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && std::iswspace(text[first]))
    ++first;
  while (last > first && std::iswspace(text[last - 1]))
    --last;
  return text.substr(first, last - first);
}

std::vector<std::wstring> Words(const std::wstring& text) {
  std::vector<std::wstring> words;
  std::wstring word;
  for (wchar_t c : text + L" ") {
    if (std::iswspace(c)) {
      if (!word.empty())
        words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return words;
}

bool ParseNumber(const std::wstring& text, unsigned long& value) {
  if (text.empty() || text.size() > 9)
    return false;
  value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9')
      return false;
    value = value * 10 + (c - L'0');
  }
  return true;
}

bool ApplyLine(const std::wstring& key, const std::wstring& value, TScenario& scenario) {
  unsigned long number = 0;
  if (key == L"account") {
    const std::vector<std::wstring> words = Words(value);
    if (words.empty() || words.size() > 2)
      return false;
    scenario.Accounts.emplace_back(words[0], words.size() == 2 ? words[1] : std::wstring());
    return true;
  }
  if (key == L"line") {
    if (value == L"up")
      scenario.Line = TLine::Up;
    else if (value == L"down")
      scenario.Line = TLine::Down;
    else if (value == L"noanswer")
      scenario.Line = TLine::NoAnswer;
    else
      return false;
    return true;
  }
  if (key == L"delay") {
    if (!ParseNumber(value, number))
      return false;
    scenario.DialDelayMs = number;
    return true;
  }
  if (key == L"error") {
    if (!ParseNumber(value, number) || number == 0)
      return false;
    scenario.ForcedError = static_cast<int>(number);
    return true;
  }
  if (key == L"hang") {
    for (const std::wstring& word : Words(value)) {
      if (word == L"all") {
        scenario.Hang = {L"dial", L"hangup", L"list"};
      } else if (word == L"dial" || word == L"hangup" || word == L"list") {
        scenario.Hang.push_back(word);
      } else {
        return false;
      }
    }
    return true;
  }
  if (key == L"bursts") {
    if (!ParseNumber(value, number) || number == 0)
      return false;
    scenario.Bursts = static_cast<int>(number);
    return true;
  }
  if (key == L"gap") {
    if (!ParseNumber(value, number))
      return false;
    scenario.BurstGapMs = number;
    return true;
  }
  if (key == L"language") {
    if (value != L"en" && value != L"ru")
      return false;
    scenario.Language = value;
    return true;
  }
  if (key == L"phonebook") {
    if (value.empty())
      return false;
    scenario.Phonebook = value;
    return true;
  }
  return false;
}

}  // namespace

bool LoadScenario(const std::wstring& path, TScenario& scenario, std::wstring& error) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes))
    return true;
  const std::wstring text = FromUtf8(bytes);
  size_t start = 0;
  int lineNumber = 0;
  while (start <= text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos)
      end = text.size();
    ++lineNumber;
    std::wstring line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == L'#')
      continue;
    const size_t equals = line.find(L'=');
    if (equals == std::wstring::npos ||
        !ApplyLine(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), scenario)) {
      error = path + L" line " + std::to_wstring(lineNumber) + L": " + line;
      return false;
    }
  }
  return true;
}

bool Hangs(const TScenario& scenario, const std::wstring& command) {
  for (const std::wstring& hung : scenario.Hang) {
    if (hung == command)
      return true;
  }
  return false;
}

}  // namespace rasdial
