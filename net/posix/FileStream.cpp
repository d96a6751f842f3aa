// TFileStream on POSIX files: an exclusive advisory lock stands in for "no sharing", taken
// before the file is truncated so a locked file keeps its content.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/CodePage.h"
#include "net/Streams.h"

namespace velmora {

struct TFileStream::THandle {
  int Fd = -1;
  ~THandle() {
    if (Fd >= 0)
      close(Fd);
  }
};

namespace {

constexpr size_t kWritePiece = 256 * 1024;

std::wstring ErrorText(int error) {
  return AnsiBytesToWide(std::strerror(error));
}

}  // namespace

TFileStream::TFileStream(const std::wstring& filename) : FHandle(std::make_unique<THandle>()) {
  std::string path = std::filesystem::path(filename).string();
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    FError = ErrorText(errno);
    return;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ftruncate(fd, 0) != 0) {
    FError = ErrorText(errno);
    close(fd);
    return;
  }
  FHandle->Fd = fd;
}

TFileStream::~TFileStream() = default;

bool TFileStream::Open() const {
  return FHandle->Fd >= 0;
}

bool TFileStream::Write(const char* data, size_t size) {
  while (size > 0) {
    // Pieces that stay in the processor's cache on their way into the page cache.
    ssize_t written = write(FHandle->Fd, data, std::min<size_t>(size, kWritePiece));
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

void TFileStream::Truncate() {
  if (ftruncate(FHandle->Fd, 0) == 0)
    lseek(FHandle->Fd, 0, SEEK_SET);
}

int64_t TFileStream::Position() const {
  return lseek(FHandle->Fd, 0, SEEK_CUR);
}

void TFileStream::SetPosition(int64_t position) {
  lseek(FHandle->Fd, position, SEEK_SET);
}

std::wstring FullFileName(const std::wstring& filename) {
  std::error_code error;
  auto full = std::filesystem::absolute(std::filesystem::path(filename), error);
  return error ? filename : full.wstring();
}

}  // namespace velmora
