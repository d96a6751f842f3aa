// uidriver: drives the running Ostrada.exe from outside for the end-to-end tests: finds its
// window and controls, reads and changes them, captures the screen (the commands are the rows
// of CommandTable.cpp). One command a run for manual use; with --serve a whole test session's
// commands, one line after another over a pipe (LineProtocol.h), which spares the session a
// Wine start per command. Texts are UTF-8 on the pipes in both modes.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/win32/SystemCodePage.h"
#include "tests/app/driver/CommandTable.h"
#include "tests/app/driver/LineProtocol.h"

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

// -- one command a run ---------------------------------------------------------------------

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

// -- a session's commands over a pipe ------------------------------------------------------

// The reply line to one request line; lines said while the command ran come first.
std::string Answer(const std::string& line) {
  namespace protocol = velmora::uidriver;
  const auto words = protocol::SplitRequest(line);
  if (!words) {
    return protocol::ReplyLine(protocol::kReplyError, "a backslash starts no escape: " + line);
  }
  std::vector<std::wstring> wideWords;
  for (const std::string& word : *words) {
    wideWords.push_back(velmora::FromCodePage(CP_UTF8, word));
  }
  const TRequest request = ParseRequest(wideWords);
  if (request.Args.empty()) {
    return protocol::ReplyLine(protocol::kReplyError, ToUtf8(velmora::uidriver::Usage()));
  }
  std::wstring said;
  const TAnswer answer =
      Perform(request, [&said](const std::wstring& text) { said += text + L"\n"; });
  const char* status = answer.Outcome == TOutcome::Matched   ? protocol::kReplyOk
                       : answer.Outcome == TOutcome::Expired ? protocol::kReplyExpired
                                                             : protocol::kReplyError;
  return protocol::ReplyLine(status, ToUtf8(said + answer.Text));
}

// Answers request lines until stdin ends (the session closed its end) or stdout is gone.
int Serve() {
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  std::string pending;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(in, chunk, sizeof(chunk), &got, nullptr) && got > 0) {
    pending.append(chunk, got);
    for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      const std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (!WriteAll(out, Answer(line))) {
        return 1;
      }
    }
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wstring(argv[1]) == L"--serve") {
    return Serve();
  }
  return RunOnce(std::vector<std::wstring>(argv + 1, argv + argc));
}
