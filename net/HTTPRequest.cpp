// URL parsing and request text: nothing is percent-encoded, the target goes out as written.
#include "net/HTTPRequest.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace velmora::http {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

std::string DefaultPort(const std::string& scheme) {
  return scheme == "https" ? "443" : "80";
}

TURL ParseURL(const std::string& url) {
  TURL result;
  std::string rest = url;
  auto schemeEnd = url.find("://");
  if (schemeEnd == std::string::npos) {
    result.Scheme = "http";
  } else {
    result.Scheme = Lower(url.substr(0, schemeEnd));
    rest = url.substr(schemeEnd + 3);
  }
  // The authority ends at the path; a query or fragment with no path before it starts the
  // target too, so it never becomes part of the host.
  auto pathStart = rest.find('/');
  auto otherStart = rest.find_first_of("?#");
  std::string authority;
  if (pathStart != std::string::npos &&
      (otherStart == std::string::npos || pathStart < otherStart)) {
    authority = rest.substr(0, pathStart);
    result.Target = rest.substr(pathStart);
  } else if (otherStart != std::string::npos) {
    authority = rest.substr(0, otherStart);
    result.Target = "/" + rest.substr(otherStart);
  } else {
    authority = rest;
    result.Target = "/";
  }

  auto at = authority.rfind('@');
  if (at != std::string::npos) {
    std::string credentials = authority.substr(0, at);
    authority = authority.substr(at + 1);
    auto colon = credentials.find(':');
    result.User = credentials.substr(0, colon);
    if (colon != std::string::npos)
      result.Password = credentials.substr(colon + 1);
    result.HasCredentials = true;
  }

  result.Port = DefaultPort(result.Scheme);
  auto colon = authority.rfind(':');
  result.Host = authority.substr(0, colon);
  if (colon != std::string::npos && colon + 1 < authority.size()) {
    result.Port = authority.substr(colon + 1);
  }
  return result;
}

std::string Base64(const std::string& bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    uint32_t v = static_cast<unsigned char>(bytes[i]) << 16 |
                 static_cast<unsigned char>(bytes[i + 1]) << 8 |
                 static_cast<unsigned char>(bytes[i + 2]);
    for (int shift : {18, 12, 6, 0})
      out += kAlphabet[(v >> shift) & 63];
  }
  size_t left = bytes.size() - i;
  if (left > 0) {
    uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
    if (left == 2)
      v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += left == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string BuildRequest(const std::string& method, const TURL& url,
                         const TRequestSettings& settings) {
  std::string upper = method;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  std::string text = upper + " " + url.Target + " HTTP/" + settings.Protocol + "\r\n";
  text += "Host: " + url.Host;
  if (url.Port != DefaultPort(url.Scheme))
    text += ":" + url.Port;
  text += "\r\n";
  if (url.HasCredentials) {
    text += "Authorization: Basic " + Base64(url.User + ":" + url.Password) + "\r\n";
  }
  if (settings.KeepAlive) {
    text += "Keep-Alive: " + std::to_string(settings.KeepAliveTimeout) + "\r\n";
    text += "Connection: keep-alive\r\n";
  }
  if (settings.Cookies && !settings.Cookies->empty()) {
    text += "Cookie: ";
    for (size_t i = 0; i < settings.Cookies->size(); ++i) {
      const TCookie& cookie = (*settings.Cookies)[i];
      text += (i ? "; " : "") + cookie.Name + "=" + cookie.Value;
    }
    text += "\r\n";
  }
  text += "User-Agent: " + settings.UserAgent + "\r\n";
  if (settings.BodyLength > 0) {
    text += "Content-Length: " + std::to_string(settings.BodyLength) + "\r\n";
  }
  text += "\r\n";
  return text;
}

}  // namespace velmora::http
