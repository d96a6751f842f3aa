// Running the system dialer and reading its console output.
#include "engine/Rasphone.h"

#include <limits>
#include <mutex>
#include <optional>
#include <utility>

#include "base/CodePage.h"
#include "engine/ArgumentQuote.h"
#include "engine/DialCredentials.h"

namespace velmora {

namespace {
// Written only by dial and hang-up runs (serialized by the connector's csDial); the mutex
// keeps readers elsewhere safe too.
std::mutex LastOutputMutex;
std::wstring LastOutput;

std::wstring Quoted(const std::wstring& path) {
  return L"\"" + path + L"\"";
}

// Runs a dial or hang-up command, each chunk replacing LastConsoleOutput; true when at least
// one chunk arrived.
bool RunKeepingLastChunk(IConsoleRunner& runner, const std::wstring& command,
                         const TStopSignal* stop) {
  bool delivered = false;
  runner.Run(
      command, L"",
      [&delivered](const char* chunk) {
        std::wstring text = AnsiToWide(chunk);
        std::lock_guard lock(LastOutputMutex);
        LastOutput = std::move(text);
        delivered = true;
      },
      stop);
  return delivered;
}
}  // namespace

std::wstring DialCommandLine(const std::wstring& dialer, const std::wstring& login,
                             const std::wstring& password) {
  return Quoted(dialer) + L" " + kWideEntryName.data() + L" " + QuoteArgument(login) + L" " +
         QuoteArgument(password);
}

std::wstring HangUpCommandLine(const std::wstring& dialer) {
  return Quoted(dialer) + L" " + kWideEntryName.data() + L" /DISCONNECT";
}

std::wstring ListingCommandLine(const std::wstring& dialer) {
  return Quoted(dialer) + L" ";
}

bool RunRasphone(IConsoleRunner& runner, const std::wstring& dialer, const std::wstring& login,
                 const std::wstring& password, std::wstring& output, const TStopSignal* stop) {
  // The last guard: whatever asked for the dial, such a credential never reaches the dialer.
  if (std::optional<std::wstring> refusal = DialRefusal(login, password)) {
    output = std::move(*refusal);
    return false;
  }
  const bool delivered =
      RunKeepingLastChunk(runner, DialCommandLine(dialer, login, password), stop);
  output = LastConsoleOutput();
  const int32_t error = GetRasphoneErrorCode(output);
  return delivered && !IsDialError(error);
}

void EndRasphone(IConsoleRunner& runner, const std::wstring& dialer, std::wstring& output,
                 const TStopSignal* stop) {
  RunKeepingLastChunk(runner, HangUpCommandLine(dialer), stop);
  output = LastConsoleOutput();
}

std::wstring LastConsoleOutput() {
  std::lock_guard lock(LastOutputMutex);
  return LastOutput;
}

bool ListingNamesEntry(const std::wstring& chunk) {
  return chunk.find(kListedEntryMark) != std::wstring::npos;
}

int32_t GetRasphoneErrorCode(const std::wstring& output) {
  std::wstring digits;
  // The last character is never looked at.
  for (size_t i = 0; i + 1 < output.size(); ++i) {
    const wchar_t character = output[i];
    if (character >= L'0' && character <= L'9') {
      digits.push_back(character);
    } else if (character == L' ' && digits.size() == 3) {
      break;
    } else {
      digits.clear();
    }
  }
  int64_t value = 0;
  for (const wchar_t digit : digits) {
    value = value * 10 + (digit - L'0');
    if (value > std::numeric_limits<int32_t>::max())
      return 0;
  }
  return static_cast<int32_t>(value);
}

}  // namespace velmora
