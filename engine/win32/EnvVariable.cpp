// GetEnvVariable on GetEnvironmentVariableW, growing the buffer to whatever the value needs.
#include "engine/EnvVariable.h"

#include <windows.h>

namespace velmora {

std::wstring GetEnvVariable(const std::wstring& name) {
  std::wstring value(256, L'\0');
  for (;;) {
    // On success: the length without the zero; when the buffer is short: the size it needs.
    const DWORD length =
        GetEnvironmentVariableW(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0)
      return {};  // not set, or set to nothing
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.assign(length, L'\0');  // the value may have grown meanwhile: ask again
  }
}

}  // namespace velmora
