// The dial-up entry "Tarvolix" in the all-users remote-access phonebook: its fixed text, the
// phonebook's path and the writer that puts the entry there at every start.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace velmora {

// The entry's lines in order, without line ends (125 lines).
std::span<const std::string_view> RasphoneTemplateLines();

// The entry's bytes as written: every line followed by CR LF, 7-bit ASCII, no byte-order mark.
std::string RasphoneTemplateText();

// The all-users phonebook path under the all-users data folder (AllUsersDataFolder).
std::wstring FormRasPhonebookPath(const std::wstring& allUsersData);

// Everything up to and including the last directory separator; empty when there is none.
std::wstring PhonebookDirectoryPart(const std::wstring& path);

// The phonebook text with its "Tarvolix" section set to the template: every other byte is
// kept, a missing entry is appended after the others, a duplicate entry is dropped. Empty or
// blank content becomes exactly the template.
std::string MergeRasphoneEntry(std::string_view phonebook);

// Shows a failure to the user: text and caption.
using TShowMessage = std::function<void(const std::wstring& text, const std::wstring& caption)>;

// The failure text, shown with kApplicationTitle as caption.
inline constexpr wchar_t kPhonebookWriteFailedText[] =
    L"Произошла ошибка при копировании файла. Убедитесь, что программа запущена от учётной "
    L"записи администратора.";

// Puts the entry into the phonebook at path: creates missing directories outermost first,
// reads the old phonebook, replaces its "Tarvolix" section and swaps the new content in
// atomically. On any failure the old file stays as it was and showMessage is called once.
// Returns whether the entry was written; callers may ignore it, the user has been told.
bool WriteRasphoneEntry(const std::wstring& path, const TShowMessage& showMessage);

// The same, reporting a failure in the platform's modal message box.
bool WriteRasphoneEntry(const std::wstring& path);

}  // namespace velmora
