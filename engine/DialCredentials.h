// Which logins and passwords may go on the dialer's command line, and the line that says why a
// dial was not made. The dialer runs elevated: a credential it took for one of its switches
// (/PHONEBOOK: names a phonebook, which can name a DLL to load) would let any user steer it.
#pragma once

#include <optional>
#include <string>

namespace velmora {

// Whether the dialer would take this login or password for a switch of its own: it begins with
// "/", also after blanks or tabs. Quoting cannot help: the dialer reads its arguments once the
// quotes are gone. The blanks and tabs are what separates arguments; a dialer that trimmed
// them would see the "/" first.
bool ReadAsDialerSwitch(const std::wstring& credential);

// Which of the two the dialer would take for a switch.
struct TSwitchCredentials {
  bool Login = false;
  bool Password = false;
  bool Any() const { return Login || Password; }
};
TSwitchCredentials FindSwitchCredentials(const std::wstring& login, const std::wstring& password);

// The log's line for a dial that was not made for that reason, naming the field or both:
// "Подключение не выполнено: логин не может начинаться с символа «/»."
std::wstring DialRefusedLine(TSwitchCredentials which);
// Whether a dial's output is such a line rather than the dialer's own text.
bool IsDialRefusedLine(const std::wstring& output);

// The refusal line when login or password may not be dialled; nothing when both may.
std::optional<std::wstring> DialRefusal(const std::wstring& login, const std::wstring& password);

}  // namespace velmora
