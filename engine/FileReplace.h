// The file system edge of the phonebook writer and the self-update: whole-file reads,
// directory creation, deletion and an atomic replacement of a file's content, plus the modal
// box that reports a failure.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Characters that end a directory part of a path on this platform.
extern const std::wstring_view kDirectorySeparators;

enum class TReadResult { Read, Missing, Failed };

// Reads the whole file into content. Missing: the file does not exist (content empty);
// Failed: it exists but could not be read (held open without sharing, no access, a directory).
TReadResult ReadWholeFile(const std::wstring& path, std::string& content);

// True when path names an existing directory.
bool DirectoryExists(const std::wstring& path);

// Creates one directory; its parent must exist.
bool MakeDirectory(const std::wstring& path);

// Deletes a file; true when it is gone (also when it was not there).
bool RemoveFile(const std::wstring& path);

// Replaces the file's content with content, all or nothing: writes a temporary file beside it,
// flushes it and moves it over the file. On failure the file is as it was and the temporary
// file is gone.
bool ReplaceFileAtomically(const std::wstring& path, const std::string& content);

// A modal message box with only an OK button and no icon (Windows); natively, standard error.
void ShowModalMessage(const std::wstring& text, const std::wstring& caption);

}  // namespace velmora
