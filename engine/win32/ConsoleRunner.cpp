// RunConsoleCommand on Windows: a hidden console program whose standard output and error go
// into an anonymous pipe that is polled every 100 ms and drained in chunks of 2400 bytes.
#include "engine/ConsoleRunner.h"

#include <windows.h>

#include <vector>

#include "base/win32/Scoped.h"
#include "base/win32/SystemCodePage.h"

namespace velmora {
namespace {

constexpr DWORD kPollMs = 100;
constexpr DWORD kChunkBytes = 2400;
// After TerminateProcess the child is gone within moments; its last bytes stay in the pipe.
constexpr DWORD kTerminateWaitMs = 2000;

// Reads what the pipe holds: full chunks as long as the reads come back full. Each read is
// preceded by a look at the pipe, so a program that wrote an exact multiple of 2400 bytes and
// then went quiet never leaves the thread blocked in ReadFile.
void DrainPipe(HANDLE readEnd, const TConsoleOutputProc& onChunk) {
  char raw[kChunkBytes + 1];
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) || available == 0) {
      return;
    }
    DWORD bytesRead = 0;
    const bool readOk = ReadFile(readEnd, raw, kChunkBytes, &bytesRead, nullptr) != FALSE;
    if (!readOk)
      bytesRead = 0;
    raw[bytesRead] = '\0';
    onChunk(OemToAnsi(raw).c_str());
    if (!readOk || bytesRead < kChunkBytes)
      return;
  }
}

}  // namespace

void RunConsoleCommand(const std::wstring& command, const std::wstring& params,
                       const TConsoleOutputProc& onChunk, const TStopSignal* stop,
                       uint32_t limitMs) {
  SECURITY_ATTRIBUTES inheritable{};
  inheritable.nLength = sizeof(inheritable);
  inheritable.lpSecurityDescriptor = nullptr;
  inheritable.bInheritHandle = TRUE;

  HANDLE rawRead = nullptr;
  HANDLE rawWrite = nullptr;
  if (!CreatePipe(&rawRead, &rawWrite, &inheritable, 0))
    return;
  const TScopedHandle readEnd(rawRead);
  const TScopedHandle writeEnd(rawWrite);

  // The program's only input is the read end of its own output pipe, as the dialer expects
  // nothing on standard input.
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = readEnd.Get();
  startup.hStdOutput = writeEnd.Get();
  startup.hStdError = writeEnd.Get();

  // CreateProcessW may write into the command line, so it gets a buffer of its own.
  const std::wstring commandLine = command + L" " + params;
  std::vector<wchar_t> commandBuffer(commandLine.begin(), commandLine.end());
  commandBuffer.push_back(L'\0');

  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, commandBuffer.data(), &inheritable, &inheritable, TRUE,
                      NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &started)) {
    return;
  }
  // Declared after the pipe ends: the process handles are closed first.
  const TScopedHandle process(started.hProcess);
  const TScopedHandle thread(started.hThread);

  const DWORD startTick = GetTickCount();
  for (;;) {
    const DWORD waitResult = WaitForSingleObject(process.Get(), kPollMs);
    DrainPipe(readEnd.Get(), onChunk);
    if (waitResult != WAIT_TIMEOUT)
      return;
    if (stop != nullptr && stop->IsSet()) {
      TerminateProcess(process.Get(), ERROR_CANCELLED);
      return;
    }
    if (GetTickCount() - startTick >= limitMs) {
      // A program that never ends must not hold its caller for good: end it and hand over
      // whatever it wrote up to then.
      TerminateProcess(process.Get(), ERROR_TIMEOUT);
      WaitForSingleObject(process.Get(), kTerminateWaitMs);
      DrainPipe(readEnd.Get(), onChunk);
      return;
    }
  }
}

}  // namespace velmora
