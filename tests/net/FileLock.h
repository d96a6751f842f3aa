// Holds a file open the way another process running it would: no sharing on Windows, an
// exclusive lock elsewhere.
#pragma once

#include <filesystem>

#ifdef _WIN32
#include <windows.h>

#include "base/win32/Scoped.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace velmora::test {

class TFileLock {
 public:
  explicit TFileLock(const std::filesystem::path& file) {
#ifdef _WIN32
    FHandle.Reset(CreateFileW(file.wstring().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
#else
    FFd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (FFd >= 0 && flock(FFd, LOCK_EX) != 0) {
      close(FFd);
      FFd = -1;
    }
#endif
  }
#ifndef _WIN32
  ~TFileLock() {
    if (Held())
      close(FFd);
  }
#endif
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;

#ifdef _WIN32
  bool Held() const {
    return FHandle.Valid();
  }

 private:
  TScopedHandle FHandle;
#else
  bool Held() const {
    return FFd >= 0;
  }

 private:
  int FFd;
#endif
};

}  // namespace velmora::test
