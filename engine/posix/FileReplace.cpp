// The phonebook writer's file system edge on POSIX systems, where the native tests run.
#include "engine/FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

namespace velmora {
namespace {

std::string ToUtf8(const std::wstring& text) {
  std::string out;
  for (wchar_t wc : text) {
    auto c = static_cast<uint32_t>(wc);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

class TFd {
 public:
  explicit TFd(int fd) : FFd(fd) {}
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd() {
    if (FFd >= 0)
      ::close(FFd);
  }
  int Get() const { return FFd; }
  bool Close() {
    int fd = FFd;
    FFd = -1;
    return ::close(fd) == 0;
  }

 private:
  int FFd;
};

bool WriteAll(int fd, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

const std::wstring_view kDirectorySeparators = L"/";

TReadResult ReadWholeFile(const std::wstring& path, std::string& content) {
  content.clear();
  TFd file(::open(ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (file.Get() < 0)
    return errno == ENOENT ? TReadResult::Missing : TReadResult::Failed;
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(file.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      content.clear();
      return TReadResult::Failed;
    }
    if (n == 0)
      return TReadResult::Read;
    content.append(buffer, static_cast<size_t>(n));
  }
}

bool DirectoryExists(const std::wstring& path) {
  struct stat info {};
  return ::stat(ToUtf8(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MakeDirectory(const std::wstring& path) {
  return ::mkdir(ToUtf8(path).c_str(), 0755) == 0;
}

bool RemoveFile(const std::wstring& path) {
  return unlink(ToUtf8(path).c_str()) == 0 || errno == ENOENT;
}

bool ReplaceFileAtomically(const std::wstring& path, const std::string& content) {
  const std::string target = ToUtf8(path);
  const std::string temp = target + ".tmp";
  // The new file keeps the old one's permissions.
  mode_t mode = 0644;
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0)
    mode = old.st_mode & 07777;

  TFd file(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
  if (file.Get() < 0)
    return false;
  bool written =
      ::fchmod(file.Get(), mode) == 0 && WriteAll(file.Get(), content) && ::fsync(file.Get()) == 0;
  written = file.Close() && written;
  if (!written || ::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

void ShowModalMessage(const std::wstring& text, const std::wstring& caption) {
  std::fprintf(stderr, "%s: %s\n", ToUtf8(caption).c_str(), ToUtf8(text).c_str());
}

}  // namespace velmora
