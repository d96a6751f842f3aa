// uidriver: drives the running Ostrada.exe from outside for the end-to-end tests: finds its
// window and controls, reads and changes them, captures the screen (the commands are the rows
// of CommandTable.cpp). One command a run; the reading goes to stdout as UTF-8.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/win32/SystemCodePage.h"
#include "tests/app/driver/CommandTable.h"

namespace {

using velmora::ToUtf8;
using velmora::uidriver::RunCommand;
using velmora::uidriver::TResult;
using velmora::uidriver::TSay;

// One command line: the options, then the command and its arguments.
struct TRequest {
  std::optional<std::wstring> Expected;  // --expect TEXT
  DWORD TimeoutMs = 0;                   // --timeout MS
  std::vector<std::wstring> Args;
};

TRequest ParseRequest(const std::vector<std::wstring>& words) {
  TRequest request;
  for (size_t i = 0; i < words.size(); ++i) {
    if (words[i] == L"--expect" && i + 1 < words.size()) {
      request.Expected = words[++i];
    } else if (words[i] == L"--timeout" && i + 1 < words.size()) {
      request.TimeoutMs = static_cast<DWORD>(_wtoi(words[++i].c_str()));
    } else {
      request.Args.push_back(words[i]);
    }
  }
  if (request.Expected && request.TimeoutMs == 0) {
    request.TimeoutMs = 10000;
  }
  return request;
}

enum class TOutcome {
  Matched,  // succeeded, and read the expected text if one was given
  Expired,  // succeeded, but the expected text did not come in time: the last reading
  Failed,   // failed (at the last try): why
};

struct TAnswer {
  TOutcome Outcome;
  std::wstring Text;
};

// Runs the command, again every 100 ms while it fails or reads other than the expected text,
// until the request's time runs out.
TAnswer Perform(const TRequest& request, const TSay& say) {
  const DWORD start = GetTickCount();
  for (;;) {
    const TResult result = RunCommand(request.Args, say);
    if (result.Ok && (!request.Expected || result.Output == *request.Expected)) {
      return {TOutcome::Matched, result.Output};
    }
    if (GetTickCount() - start >= request.TimeoutMs) {
      return {result.Ok ? TOutcome::Expired : TOutcome::Failed, result.Output};
    }
    Sleep(100);
  }
}

bool WriteAll(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                   nullptr) ||
        written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

// The reading on stdout as UTF-8 bytes, whatever the console's code page.
void WriteLine(const std::wstring& text) {
  WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), ToUtf8(text) + '\n');
}

// What went wrong on stderr, ASCII only.
void Fail(const std::wstring& text) {
  std::string bytes;
  for (wchar_t c : text) {
    bytes += c < 128 ? static_cast<char>(c) : '?';
  }
  WriteAll(GetStdHandle(STD_ERROR_HANDLE), "uidriver: " + bytes + "\n");
}

// Exit code 0 when the command succeeded (and read the expected text), 1 when not, 2 for no
// command.
int RunOnce(const std::vector<std::wstring>& words) {
  const TRequest request = ParseRequest(words);
  if (request.Args.empty()) {
    Fail(velmora::uidriver::Usage());
    return 2;
  }
  const TAnswer answer = Perform(request, WriteLine);
  if (answer.Outcome == TOutcome::Failed) {
    Fail(answer.Text);
  } else {
    WriteLine(answer.Text);
  }
  return answer.Outcome == TOutcome::Matched ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  return RunOnce(std::vector<std::wstring>(argv + 1, argv + argc));
}
