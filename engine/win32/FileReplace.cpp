// The phonebook writer's file system edge on Windows: share-aware reads, directory creation,
// a flushed temporary file moved over the phonebook, and the modal failure box.
#include "engine/FileReplace.h"

#include <windows.h>

#include <algorithm>

#include "base/win32/Scoped.h"

namespace velmora {
namespace {

bool WriteAll(HANDLE file, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, content.data() + done, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

}  // namespace

const std::wstring_view kDirectorySeparators = L"\\/:";

TReadResult ReadWholeFile(const std::wstring& path, std::string& content) {
  content.clear();
  // Readers may share; a writer, or a holder that allows no sharing, makes this fail, and
  // then nothing is replaced.
  TScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? TReadResult::Missing
                                                                          : TReadResult::Failed;
  }
  char buffer[4096];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) {
      content.clear();
      return TReadResult::Failed;
    }
    if (read == 0)
      return TReadResult::Read;
    content.append(buffer, read);
  }
}

bool DirectoryExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeDirectory(const std::wstring& path) {
  return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool RemoveFile(const std::wstring& path) {
  return DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool ReplaceFileAtomically(const std::wstring& path, const std::string& content) {
  // Windows refuses to replace a read-only file; not every file system behind MoveFileExW
  // does, so the attribute is honoured here.
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  const std::wstring temp = path + L".tmp";
  TScopedHandle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid())
    return false;
  bool written = WriteAll(file.Get(), content) && FlushFileBuffers(file.Get());
  written = file.Close() && written;
  // The move fails while the phonebook is read-only or held open without delete sharing;
  // the phonebook is then as it was.
  if (!written || !MoveFileExW(temp.c_str(), path.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temp.c_str());
    return false;
  }
  return true;
}

void ShowModalMessage(const std::wstring& text, const std::wstring& caption) {
  MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

}  // namespace velmora
