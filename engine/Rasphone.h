// The system dialer's three command lines (dial, hang-up, listing) and the readings taken
// from its console output: the last chunk of a run, the entry in the listing, the error number.
#pragma once

#include <cstdint>
#include <string>

#include "engine/ConnectorEnv.h"
#include "engine/DialEntry.h"
#include "engine/StopSignal.h"

namespace velmora {

// A listing chunk holding this names the provider's line as connected.
inline constexpr wchar_t kListedEntryMark[] = L"Tarvo";

// Command lines as handed to the runner, which appends one more blank. The dialer's path is
// always quoted; login and password only when the dialer would otherwise split or lose them
// (QuoteArgument), so plain credentials give the same line as ever.
std::wstring DialCommandLine(const std::wstring& dialer, const std::wstring& login,
                             const std::wstring& password);
std::wstring HangUpCommandLine(const std::wstring& dialer);
std::wstring ListingCommandLine(const std::wstring& dialer);

// Dials the entry; output receives LastConsoleOutput after the run. Returns false when the
// dialer delivered no output at all (it could not be started) or when its output carries an
// error number (IsDialError); true otherwise. A login or password that the dialer would take
// for one of its switches (ReadAsDialerSwitch) is not dialled: output receives the refusal's
// line (DialRefusedLine), LastConsoleOutput stays as it was, and the result is false.
bool RunRasphone(IConsoleRunner& runner, const std::wstring& dialer, const std::wstring& login,
                 const std::wstring& password, std::wstring& output,
                 const TStopSignal* stop = nullptr);
// Hangs the entry up; output receives LastConsoleOutput after the run.
void EndRasphone(IConsoleRunner& runner, const std::wstring& dialer, std::wstring& output,
                 const TStopSignal* stop = nullptr);

// The last chunk any dial or hang-up run delivered, as UTF-16; each chunk replaces it and it
// outlives the run, so a run that delivers nothing leaves the previous run's text.
std::wstring LastConsoleOutput();

// Whether a chunk of the listing names the provider's entry.
bool ListingNamesEntry(const std::wstring& chunk);

// The dialer's error number in its output: the first run of exactly three digits followed by
// a blank; failing that, the digits that end just before the last character; else 0.
int32_t GetRasphoneErrorCode(const std::wstring& output);

}  // namespace velmora
