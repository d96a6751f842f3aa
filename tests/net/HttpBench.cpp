// Benchmark driver: one URLToFile, then its wall time and the process's peak memory.
//   http_bench URL FILE   prints "seconds=<s> bytes=<file size> maxrss_kb=<peak resident KiB>"
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "net/SynDownload.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: http_bench URL FILE\n");
    return 2;
  }
  std::string url = argv[1];
  std::filesystem::path file = argv[2];
  auto started = std::chrono::steady_clock::now();
  velmora::TSynDownload download;
  download.URLToFile(std::wstring(url.begin(), url.end()), file.wstring());
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("seconds=%.6f bytes=%llu maxrss_kb=%ld\n", took.count(),
              static_cast<unsigned long long>(std::filesystem::file_size(file)), usage.ru_maxrss);
  return 0;
}
