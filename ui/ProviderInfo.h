// The provider's web pages and contact texts shown on the connection page.
#pragma once

#include <string>

#include "BuildConfig.h"

namespace velmora {

inline std::wstring WebHostText() {
  std::string host = build::kWebHost;
  return std::wstring(host.begin(), host.end());
}

// The provider's home page, opened by a click on the logo.
inline std::wstring HomePageUrl() {
  return L"http://" + WebHostText() + L"/";
}

// The subscriber's account page ("личный-кабинет", percent-encoded UTF-8).
inline std::wstring AccountPageUrl() {
  return L"http://" + WebHostText() +
         L"/%d0%bb%d0%b8%d1%87%d0%bd%d1%8b%d0%b9-%d0%ba%d0%b0%d0%b1%d0%b8%d0%bd%d0%b5%d1%82/";
}

inline constexpr wchar_t kContactPhones[] = L"+7 (800) 555-01-23\r\n+7 (495) 555-01-23";
inline constexpr wchar_t kContactAddresses[] =
    L"Email: info@velmora.test\r\nSupport: tp@velmora.test";

}  // namespace velmora
