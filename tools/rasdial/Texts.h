// The real dialer's console wording, English and Russian, and its error texts.
#pragma once

#include <string>
#include <vector>

namespace rasdial {

enum class TLanguage { English, Russian };

struct TWording {
  std::wstring Connecting;   // "Connecting to <entry>..."
  std::wstring Verifying;    // "Verifying username and password..."
  std::wstring Registering;  // "Registering your computer on the network..."
  std::wstring Connected;    // "Successfully connected to <entry>."
  std::wstring AlreadyConnected;
  std::wstring NotConnected;  // hang-up of an entry that is not connected
  std::wstring ConnectedTo;   // listing header
  std::wstring NoConnections;
  std::wstring Completed;  // "Command completed successfully."
};

TWording Wording(TLanguage language, const std::wstring& entry);

// The block that reports an error: a blank line, "Remote Access error NNN - text", a blank
// line and the help lines naming the number again.
std::vector<std::wstring> ErrorLines(TLanguage language, int error);

}  // namespace rasdial
