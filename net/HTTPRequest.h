// The pieces of a request: the URL taken apart and the request text built from it.
#pragma once

#include <string>
#include <vector>

#include "net/HTTPSend.h"

namespace velmora::http {

struct TURL {
  std::string Scheme;  // lower case; "http" when the URL names none
  std::string User;
  std::string Password;
  bool HasCredentials = false;
  std::string Host;
  std::string Port;    // the scheme's default when the URL names none
  std::string Target;  // from the first "/" after the host to the end, as written; "/" at least
};

TURL ParseURL(const std::string& url);
std::string DefaultPort(const std::string& scheme);
std::string Base64(const std::string& bytes);

struct TRequestSettings {
  std::string Protocol;
  std::string UserAgent;
  int KeepAliveTimeout = 300;
  bool KeepAlive = true;
  const std::vector<TCookie>* Cookies = nullptr;
  size_t BodyLength = 0;
};

// The request line and header lines, each ending in CR LF, and the closing empty line.
std::string BuildRequest(const std::string& method, const TURL& url,
                         const TRequestSettings& settings);

}  // namespace velmora::http
