// Reading the process's environment (WINDIR for the dialer's path, ALLUSERSPROFILE for the
// phonebook's).
#pragma once

#include <string>

namespace velmora {

// The whole value of the variable, whatever its length; empty when it is not set.
std::wstring GetEnvVariable(const std::wstring& name);

}  // namespace velmora
