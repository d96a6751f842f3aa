// The stand-in account server that the test fixture started: where it listens, its raw
// request log and its control file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velmora::account_test {

// One record of the server's raw request log.
struct TLoggedRequest {
  std::string Kind;  // "request", or "partial" for one the client did not finish
  int Connection = 0;
  std::string Bytes;  // exactly as received
};

class TStandInServer {
 public:
  // Reads the folder named by VELMORA_ACCOUNT_SERVER_DIR; false (with Error()) when missing.
  bool Load();
  const std::string& Error() const { return FError; }

  int Port() const { return FPort; }
  // The server's folder, as this program names it.
  const std::string& Dir() const { return FDir; }
  std::wstring Host() const { return L"127.0.0.1:" + std::to_wstring(FPort); }

  // Replaces the control file with text ("key=value" lines) and waits until the server
  // reports every one of them in force.
  bool Control(const std::string& text) const;

  size_t LogSize() const;
  // The records appended to the log from offset on.
  std::vector<TLoggedRequest> RequestsSince(size_t offset) const;
  // Waits until at least count records follow offset.
  bool WaitRequests(size_t offset, size_t count) const;

 private:
  std::string FDir;
  std::string FError;
  int FPort = 0;
};

}  // namespace velmora::account_test
