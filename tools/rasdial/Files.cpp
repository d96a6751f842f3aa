// The stand-in dialer's files on disk; every handle closed by scope.
#include "tools/rasdial/Files.h"

#include <windows.h>

#include <memory>

namespace rasdial {
namespace {

struct THandleCloser {
  void operator()(HANDLE handle) const {
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr)
      CloseHandle(handle);
  }
};
using TScopedHandle = std::unique_ptr<void, THandleCloser>;

// Serializes the state file among stand-in processes (a listing may run during a dial).
class TStateLock {
 public:
  TStateLock() : FMutex(CreateMutexW(nullptr, FALSE, L"Local\\VelmoraRasdialState")) {
    if (FMutex)
      WaitForSingleObject(FMutex.get(), 10000);
  }
  ~TStateLock() {
    if (FMutex)
      ReleaseMutex(FMutex.get());
  }

 private:
  TScopedHandle FMutex;
};

std::wstring GetEnvironment(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0)
    return std::wstring();
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

std::wstring WithDelimiter(std::wstring path) {
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
    path += L'\\';
  return path;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  const std::wstring temporary = path + L".tmp";
  {
    TScopedHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
      return false;
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
      return false;
    }
  }
  return MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos)
      end = text.size();
    std::wstring line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == L'\r' || line.back() == L' '))
      line.pop_back();
    if (!line.empty())
      lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

}  // namespace

std::wstring FromUtf8(const std::string& bytes) {
  if (bytes.empty())
    return std::wstring();
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(size, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
  return text;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty())
    return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string bytes(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                      nullptr, nullptr);
  return bytes;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  TScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE)
    return false;
  bytes.clear();
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) {
    bytes.append(buffer, got);
  }
  return true;
}

std::wstring StandInFolder() {
  std::wstring folder = GetEnvironment(L"VELMORA_RASDIAL_DIR");
  if (folder.empty())
    folder = L"C:\\velmora-rasdial";
  folder = WithDelimiter(folder);
  // Outermost first, so a fresh nested folder works too; existing levels just fail.
  for (size_t at = folder.find_first_of(L"\\/", 3); at != std::wstring::npos;
       at = folder.find_first_of(L"\\/", at + 1)) {
    CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
  }
  return folder;
}

namespace {

bool AppendRecord(const std::wstring& path, const std::string& record) {
  TStateLock lock;
  TScopedHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE)
    return false;
  DWORD written = 0;
  return WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written,
                   nullptr) &&
         written == record.size();
}

// A JSON string: the quote, the backslash and control characters escaped, the rest as UTF-8.
std::string JsonString(const std::wstring& text) {
  std::string json = "\"";
  for (const wchar_t character : text) {
    if (character == L'"' || character == L'\\') {
      json += '\\';
      json += static_cast<char>(character);
    } else if (character < 0x20) {
      char escape[8];
      snprintf(escape, sizeof(escape), "\\u%04x", static_cast<unsigned>(character));
      json += escape;
    } else {
      json += ToUtf8(std::wstring(1, character));
    }
  }
  return json + "\"";
}

}  // namespace

bool AppendCommandLog(const std::wstring& folder, const std::wstring& commandLine) {
  return AppendRecord(folder + L"commands.log", ToUtf8(commandLine) + "\n");
}

bool AppendArgumentLog(const std::wstring& folder, const std::vector<std::wstring>& arguments) {
  std::string record = "[";
  for (size_t i = 0; i < arguments.size(); ++i)
    record += (i ? ", " : "") + JsonString(arguments[i]);
  return AppendRecord(folder + L"arguments.log", record + "]\n");
}

std::vector<std::wstring> ReadConnected(const std::wstring& folder) {
  TStateLock lock;
  std::string bytes;
  if (!ReadWholeFile(folder + L"state.txt", bytes))
    return {};
  return Lines(FromUtf8(bytes));
}

bool SetConnected(const std::wstring& folder, const std::wstring& entry, bool connected) {
  TStateLock lock;
  std::string bytes;
  ReadWholeFile(folder + L"state.txt", bytes);
  std::string kept;
  for (const std::wstring& name : Lines(FromUtf8(bytes))) {
    if (CompareStringOrdinal(name.c_str(), -1, entry.c_str(), -1, TRUE) != CSTR_EQUAL) {
      kept += ToUtf8(name) + "\r\n";
    }
  }
  if (connected)
    kept += ToUtf8(entry) + "\r\n";
  return WriteWholeFile(folder + L"state.txt", kept);
}

std::wstring AllUsersPhonebook() {
  const std::wstring profile = GetEnvironment(L"ALLUSERSPROFILE");
  if (profile.empty())
    return std::wstring();
  return WithDelimiter(profile) +
         L"Application Data\\Microsoft\\Network\\Connections\\Pbk\\rasphone.pbk";
}

bool PhonebookHasEntry(const std::wstring& phonebook, const std::wstring& entry) {
  std::string bytes;
  if (!ReadWholeFile(phonebook, bytes))
    return false;
  const std::wstring section = L"[" + entry + L"]";
  for (const std::wstring& line : Lines(FromUtf8(bytes))) {
    if (CompareStringOrdinal(line.c_str(), -1, section.c_str(), -1, TRUE) == CSTR_EQUAL) {
      return true;
    }
  }
  return false;
}

}  // namespace rasdial
