// GetEnvVariable natively: getenv, the value read in the ANSI code page like all outside text.
#include "engine/EnvVariable.h"

#include <cstdlib>

#include "base/CodePage.h"

namespace velmora {

std::wstring GetEnvVariable(const std::wstring& name) {
  const char* value = std::getenv(WideToAnsi(name).c_str());
  return value ? AnsiToWide(value) : std::wstring();
}

}  // namespace velmora
