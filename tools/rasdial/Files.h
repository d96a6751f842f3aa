// The stand-in dialer's files: its folder (VELMORA_RASDIAL_DIR), the command log, the state of
// the connected entries and the phonebook it looks the entry up in.
#pragma once

#include <string>
#include <vector>

namespace rasdial {

std::wstring FromUtf8(const std::string& bytes);
std::string ToUtf8(const std::wstring& text);

// False when the file cannot be opened; an empty file reads as empty bytes.
bool ReadWholeFile(const std::wstring& path, std::string& bytes);

// The folder named by VELMORA_RASDIAL_DIR, or C:\velmora-rasdial, with a trailing "\";
// created when missing.
std::wstring StandInFolder();

// Appends the raw command line, UTF-8, and a line feed to commands.log in the folder.
bool AppendCommandLog(const std::wstring& folder, const std::wstring& commandLine);
// Appends the arguments as the dialer reads them (program name first) to arguments.log in the
// folder: one JSON array of strings a line.
bool AppendArgumentLog(const std::wstring& folder, const std::vector<std::wstring>& arguments);

// The names of the connected entries kept in state.txt, one a line. Reads and writes are
// serialized among stand-in processes, so a listing never sees a half-written file.
std::vector<std::wstring> ReadConnected(const std::wstring& folder);
bool SetConnected(const std::wstring& folder, const std::wstring& entry, bool connected);

// %ALLUSERSPROFILE%\Application Data\Microsoft\Network\Connections\Pbk\rasphone.pbk
std::wstring AllUsersPhonebook();

// True when the phonebook has a section line "[entry]" (the name compared case-insensitively).
bool PhonebookHasEntry(const std::wstring& phonebook, const std::wstring& entry);

}  // namespace rasdial
