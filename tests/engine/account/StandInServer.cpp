// Reading the stand-in account server's files: its port, its raw request log (records of a
// "--- KIND N conn C bytes L ---" line, L raw bytes and a line feed) and its control file.
#include "StandInServer.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace velmora::account_test {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(10);
constexpr int kPolls = 3000;  // 30 s: the server looks at its control file ten times a second

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty())
      lines.push_back(line);
  }
  return lines;
}

}  // namespace

bool TStandInServer::Load() {
  const char* dir = std::getenv("VELMORA_ACCOUNT_SERVER_DIR");
  if (dir == nullptr || *dir == '\0') {
    FError = "VELMORA_ACCOUNT_SERVER_DIR is not set (the AccountServer fixture sets it)";
    return false;
  }
  FDir = dir;
  FPort = std::atoi(ReadFile(std::filesystem::path(FDir) / "port").c_str());
  if (FPort <= 0)
    FError = "no port file in " + FDir + ": is the server running?";
  return FPort > 0;
}

bool TStandInServer::Control(const std::string& text) const {
  const std::filesystem::path control = std::filesystem::path(FDir) / "control";
  const std::filesystem::path fresh = std::filesystem::path(FDir) / "control.new";
  {
    std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
    out << text;
  }
  std::error_code error;
  std::filesystem::rename(fresh, control, error);
  if (error)
    return false;
  const std::filesystem::path applied = std::filesystem::path(FDir) / "control.applied";
  for (int poll = 0; poll < kPolls; ++poll) {
    const std::vector<std::string> state = Lines(ReadFile(applied));
    // The port line tells this server's report from that of another one (an earlier run's).
    bool inForce =
        std::find(state.begin(), state.end(), "port=" + std::to_string(FPort)) != state.end();
    for (const std::string& wanted : Lines(text)) {
      inForce = inForce && std::find(state.begin(), state.end(), wanted) != state.end();
    }
    if (inForce)
      return true;
    std::this_thread::sleep_for(kPollInterval);
  }
  return false;
}

size_t TStandInServer::LogSize() const {
  std::error_code error;
  const auto size = std::filesystem::file_size(std::filesystem::path(FDir) / "requests.log", error);
  return error ? 0 : static_cast<size_t>(size);
}

std::vector<TLoggedRequest> TStandInServer::RequestsSince(size_t offset) const {
  const std::string log = ReadFile(std::filesystem::path(FDir) / "requests.log");
  std::vector<TLoggedRequest> records;
  size_t at = offset;
  while (at < log.size()) {
    const size_t lineEnd = log.find('\n', at);
    if (lineEnd == std::string::npos)
      break;
    std::istringstream header(log.substr(at, lineEnd - at));
    TLoggedRequest record;
    std::string dashes, number, connWord, bytesWord;
    size_t length = 0;
    header >> dashes >> record.Kind >> number >> connWord >> record.Connection >> bytesWord >>
        length;
    if (!header || lineEnd + 1 + length + 1 > log.size())
      break;  // still being written
    record.Bytes = log.substr(lineEnd + 1, length);
    records.push_back(std::move(record));
    at = lineEnd + 1 + length + 1;
  }
  return records;
}

bool TStandInServer::WaitRequests(size_t offset, size_t count) const {
  for (int poll = 0; poll < kPolls; ++poll) {
    if (RequestsSince(offset).size() >= count)
      return true;
    std::this_thread::sleep_for(kPollInterval);
  }
  return false;
}

}  // namespace velmora::account_test
