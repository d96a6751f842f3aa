// The stand-in for the system's command-line dialer: dials, hangs up and lists entries as the
// scenario in its folder says, in the real dialer's wording, and logs every command line.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "tools/rasdial/Files.h"
#include "tools/rasdial/Output.h"
#include "tools/rasdial/Scenario.h"
#include "tools/rasdial/Texts.h"

namespace rasdial {
namespace {

constexpr int kEntryMissing = 623;
constexpr int kNoLine = 651;
constexpr int kNoAnswer = 678;
constexpr int kCredentialsRejected = 691;
constexpr int kBadScenario = ERROR_INVALID_PARAMETER;

struct TCommand {
  std::vector<std::wstring> Positional;  // entry, login, password
  bool Disconnect = false;
};

// The arguments as the real dialer reads them: the C runtime's rules (CommandLineToArgvW).
std::vector<std::wstring> ReadArguments(const wchar_t* commandLine) {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(commandLine, &count);
  if (args == nullptr)
    return {};
  std::vector<std::wstring> arguments(args, args + count);
  LocalFree(args);
  return arguments;
}

TCommand ParseCommand(const std::vector<std::wstring>& arguments) {
  TCommand command;
  for (size_t index = 1; index < arguments.size(); ++index) {
    const std::wstring& arg = arguments[index];
    if (!arg.empty() && arg[0] == L'/') {
      if (CompareStringOrdinal(arg.c_str(), -1, L"/DISCONNECT", -1, TRUE) == CSTR_EQUAL ||
          CompareStringOrdinal(arg.c_str(), -1, L"/D", -1, TRUE) == CSTR_EQUAL) {
        command.Disconnect = true;
      }
    } else {
      command.Positional.push_back(arg);
    }
  }
  return command;
}

TLanguage PickLanguage(const TScenario& scenario) {
  if (scenario.Language == L"ru")
    return TLanguage::Russian;
  if (scenario.Language == L"en")
    return TLanguage::English;
  const bool russian =
      PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_RUSSIAN || GetACP() == 1251;
  return russian ? TLanguage::Russian : TLanguage::English;
}

bool IsConnected(const std::wstring& folder, const std::wstring& entry) {
  for (const std::wstring& name : ReadConnected(folder)) {
    if (CompareStringOrdinal(name.c_str(), -1, entry.c_str(), -1, TRUE) == CSTR_EQUAL) {
      return true;
    }
  }
  return false;
}

bool AccountAccepted(const TScenario& scenario, const std::wstring& login,
                     const std::wstring& password) {
  if (scenario.Accounts.empty())
    return true;
  for (const auto& [knownLogin, knownPassword] : scenario.Accounts) {
    if (knownLogin == login && knownPassword == password)
      return true;
  }
  return false;
}

// Finishes a script: a never-ending run stops after its first line.
int Perform(TScript& script, const TScenario& scenario, const std::wstring& name, int result) {
  if (Hangs(scenario, name)) {
    script.HangAtEnd = true;
    script.HangAfter = script.Lines.empty() ? 0 : 1;
  }
  Play(script, scenario.Bursts, scenario.BurstGapMs);
  return result;
}

int Dial(const TCommand& command, const TScenario& scenario, TLanguage language,
         const std::wstring& folder) {
  const std::wstring& entry = command.Positional[0];
  const std::wstring login = command.Positional.size() > 1 ? command.Positional[1] : L"";
  const std::wstring password = command.Positional.size() > 2 ? command.Positional[2] : L"";
  const TWording words = Wording(language, entry);
  const std::wstring phonebook =
      scenario.Phonebook.empty() ? AllUsersPhonebook() : scenario.Phonebook;

  TScript script;
  if (!PhonebookHasEntry(phonebook, entry)) {
    script.Add(ErrorLines(language, kEntryMissing));
    return Perform(script, scenario, L"dial", kEntryMissing);
  }
  if (IsConnected(folder, entry)) {
    script.Add(words.AlreadyConnected);
    script.Add(words.Completed);
    return Perform(script, scenario, L"dial", 0);
  }

  script.Add(words.Connecting);
  if (scenario.DialDelayMs > 0)
    script.PauseAfter[1] = scenario.DialDelayMs;
  int result = 0;
  if (scenario.ForcedError != 0) {
    result = scenario.ForcedError;
    script.Add(words.Verifying);
  } else if (scenario.Line == TLine::Down) {
    result = kNoLine;
  } else if (scenario.Line == TLine::NoAnswer) {
    result = kNoAnswer;
  } else {
    script.Add(words.Verifying);
    if (!AccountAccepted(scenario, login, password))
      result = kCredentialsRejected;
  }
  if (result != 0) {
    script.Add(ErrorLines(language, result));
    return Perform(script, scenario, L"dial", result);
  }
  script.Add(words.Registering);
  script.Add(words.Connected);
  script.Add(words.Completed);
  Perform(script, scenario, L"dial", 0);
  SetConnected(folder, entry, true);
  return 0;
}

int HangUp(const TCommand& command, const TScenario& scenario, TLanguage language,
           const std::wstring& folder) {
  std::vector<std::wstring> entries = command.Positional;
  if (entries.empty())
    entries = ReadConnected(folder);  // no name: every connected entry

  TScript script;
  std::vector<std::wstring> ended;
  for (const std::wstring& entry : entries) {
    if (IsConnected(folder, entry)) {
      ended.push_back(entry);
    } else {
      script.Add(Wording(language, entry).NotConnected);
    }
  }
  if (!ended.empty() || entries.empty())
    script.Add(Wording(language, L"").Completed);
  Perform(script, scenario, L"hangup", 0);
  for (const std::wstring& entry : ended)
    SetConnected(folder, entry, false);
  return 0;
}

int List(const TScenario& scenario, TLanguage language, const std::wstring& folder) {
  const TWording words = Wording(language, L"");
  const std::vector<std::wstring> connected = ReadConnected(folder);
  TScript script;
  if (connected.empty()) {
    script.Add(words.NoConnections);
  } else {
    script.Add(words.ConnectedTo);
    script.Add(connected);
  }
  script.Add(words.Completed);
  return Perform(script, scenario, L"list", 0);
}

int Run() {
  const wchar_t* commandLine = GetCommandLineW();
  const std::wstring folder = StandInFolder();
  AppendCommandLog(folder, commandLine);
  const std::vector<std::wstring> arguments = ReadArguments(commandLine);
  AppendArgumentLog(folder, arguments);

  TScenario scenario;
  std::wstring error;
  if (!LoadScenario(folder + L"scenario.txt", scenario, error)) {
    const std::string message = "rasdial stand-in: bad scenario, " + ToUtf8(error) + "\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), message.data(), static_cast<DWORD>(message.size()),
              &written, nullptr);
    return kBadScenario;
  }
  const TLanguage language = PickLanguage(scenario);
  const TCommand command = ParseCommand(arguments);
  if (command.Disconnect)
    return HangUp(command, scenario, language, folder);
  if (command.Positional.empty())
    return List(scenario, language, folder);
  return Dial(command, scenario, language, folder);
}

}  // namespace
}  // namespace rasdial

int wmain() {
  return rasdial::Run();
}
