// RunConsoleCommand with real child processes (console_writer.exe beside this test program):
// chunking, bursts, silence after full chunks, code pages, the command line, the bound and the
// stop signal, and no handle left behind.
#include "engine/ConsoleRunner.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/win32/Scoped.h"
#include "base/win32/SystemCodePage.h"
#include "tests/engine/win32/HandleCount.h"

namespace velmora {
namespace {

using testing::OpenHandleCount;

constexpr uint32_t kNoBound = 0xFFFFFFFF;

std::wstring BesideThisProgram(const std::wstring& name) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\') + 1) + name;
}

std::wstring WriterCommand(const std::wstring& ops) {
  return L"\"" + BesideThisProgram(L"console_writer.exe") + L"\" " + ops;
}

// The bytes console_writer writes: a pattern that runs on across its writes.
std::string Pattern(size_t count) {
  static const char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string bytes(count, '\0');
  for (size_t index = 0; index < count; ++index)
    bytes[index] = kAlphabet[index % 36];
  return bytes;
}

struct TRun {
  std::vector<std::string> Chunks;

  std::string All() const {
    std::string all;
    for (const std::string& chunk : Chunks)
      all += chunk;
    return all;
  }
  std::vector<size_t> Sizes() const {
    std::vector<size_t> sizes;
    for (const std::string& chunk : Chunks)
      sizes.push_back(chunk.size());
    return sizes;
  }
};

TRun RunWriter(const std::wstring& ops, const std::wstring& params = L"",
               uint32_t limitMs = kNoBound, const TStopSignal* stop = nullptr) {
  TRun run;
  RunConsoleCommand(
      WriterCommand(ops), params, [&run](const char* chunk) { run.Chunks.emplace_back(chunk); },
      stop, limitMs);
  return run;
}

// The process console_writer named with "pid" has ended (or is gone altogether).
bool ProcessEnded(const std::string& pidLine) {
  const DWORD pid = std::strtoul(pidLine.c_str(), nullptr, 10);
  const TScopedHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
  if (!process)
    return true;
  return WaitForSingleObject(process.Get(), 5000) == WAIT_OBJECT_0;
}

struct TChunkCase {
  const char* Name;
  const wchar_t* Ops;
  size_t Total;
  std::vector<size_t> Sizes;  // empty: any split into chunks of at most 2400 bytes
};

class ConsoleRunnerChunks : public ::testing::TestWithParam<TChunkCase> {};

// A runner held in a read cannot be called back; rather than wait for the suite's timeout, the
// test program ends with a failure.
TRun RunWriterWatched(const std::wstring& ops) {
  auto pending = std::async(std::launch::async, [&ops] { return RunWriter(ops); });
  if (pending.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    std::fprintf(stderr, "FAILED: the runner is still held 60 s after: %ls\n", ops.c_str());
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 1);
  }
  return pending.get();
}

TEST_P(ConsoleRunnerChunks, DeliversEveryByteInOrderInChunksOfAtMost2400) {
  const TChunkCase& c = GetParam();
  const TRun run = RunWriterWatched(c.Ops);
  EXPECT_EQ(run.All(), Pattern(c.Total));
  for (size_t size : run.Sizes()) {
    EXPECT_LE(size, 2400u);
  }
  if (!c.Sizes.empty()) {
    EXPECT_EQ(run.Sizes(), c.Sizes);
  }
}

// The 4800-byte cases stay silent afterwards with the program alive: a read after the second
// full chunk that waited for more data would hold the runner until the program ends (never,
// with the pipe's write end still open in the runner).
INSTANTIATE_TEST_SUITE_P(
    Cases, ConsoleRunnerChunks,
    ::testing::Values(
        TChunkCase{"ThreeThousandBytesAsFullChunkThenRest", L"bytes 3000", 3000, {2400, 600}},
        TChunkCase{"BurstsAsSeparateChunks",
                   L"bytes 100 sleep 1500 bytes 200 sleep 1500 bytes 300",
                   600,
                   {100, 200, 300}},
        TChunkCase{"ExactlyTwoFullChunksThenSilence",
                   L"bytes 2400 sleep 1500 bytes 2400 sleep 1500",
                   4800,
                   {2400, 2400}},
        TChunkCase{
            "ExactlyFourThousandEightHundredAtOnceThenSilence", L"bytes 4800 sleep 1500", 4800, {}},
        TChunkCase{"StandardErrorToo", L"bytes 10 sleep 300 stderr 20", 30, {}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(ConsoleRunner, ProgramThatWritesNothingGivesNoCallback) {
  EXPECT_TRUE(RunWriter(L"sleep 200").Chunks.empty());
}

TEST(ConsoleRunner, MissingProgramGivesNoCallbackAndLeavesNoHandle) {
  const ULONG before = OpenHandleCount();
  ASSERT_NE(before, 0u);
  bool called = false;
  RunConsoleCommand(L"\"" + BesideThisProgram(L"no_such_program.exe") + L"\"", L"",
                    [&called](const char*) { called = true; });
  EXPECT_FALSE(called);
  EXPECT_EQ(OpenHandleCount(), before);
}

TEST(ConsoleRunner, FinishedRunLeavesNoHandle) {
  RunWriter(L"bytes 10");  // first run: whatever the system sets up once per process
  const ULONG before = OpenHandleCount();
  ASSERT_NE(before, 0u);
  EXPECT_EQ(RunWriter(L"bytes 3000").All(), Pattern(3000));
  EXPECT_EQ(OpenHandleCount(), before);
}

TEST(ConsoleRunner, CallbackErrorPassesOnAndLeavesNoHandle) {
  const auto runThrowing = [] {
    EXPECT_THROW(RunConsoleCommand(WriterCommand(L"bytes 10 sleep 1000"), L"",
                                   [](const char*) { throw std::runtime_error("callback"); }),
                 std::runtime_error);
  };
  runThrowing();  // the first exception of the process sets up the unwinder's own handles
  const ULONG before = OpenHandleCount();
  ASSERT_NE(before, 0u);
  runThrowing();
  EXPECT_EQ(OpenHandleCount(), before);
}

TEST(ConsoleRunner, CommandLineIsCommandBlankParameters) {
  const std::wstring command = WriterCommand(L"cmdline");
  struct {
    std::wstring Params;
    std::wstring Expected;
  } cases[] = {
      {L"", command + L" "},  // empty parameters: one blank added all the same
      {L"sleep 10", command + L" sleep 10"},
  };
  for (const auto& c : cases) {
    TRun run;
    RunConsoleCommand(command, c.Params,
                      [&run](const char* chunk) { run.Chunks.emplace_back(chunk); });
    EXPECT_EQ(run.All(), ToCodePage(CP_ACP, c.Expected)) << "params: " << c.Params.size();
  }
}

TEST(ConsoleRunner, NeverEndingProgramIsEndedAtTheBoundAndItsOutputDelivered) {
  const TRun run = RunWriter(L"pid bytes 50 forever", L"", 5000);
  const std::string all = run.All();
  const size_t lineEnd = all.find('\n');
  ASSERT_NE(lineEnd, std::string::npos);
  EXPECT_EQ(all.substr(lineEnd + 1), Pattern(50));
  EXPECT_TRUE(ProcessEnded(all.substr(0, lineEnd)));
}

TEST(ConsoleRunner, StopSetBeforehandEndsTheProgramAtTheFirstPoll) {
  TStopSignal stop;
  stop.Set();
  const TRun run = RunWriter(L"pid forever", L"", kNoBound, &stop);
  // Whatever arrived before the poll noticed the stop; the program is ended either way.
  if (!run.All().empty()) {
    EXPECT_TRUE(ProcessEnded(run.All()));
  }
}

TEST(ConsoleRunner, StopSetDuringTheRunEndsTheProgram) {
  TStopSignal stop;
  std::string pidLine;
  RunConsoleCommand(
      WriterCommand(L"pid forever"), L"",
      [&](const char* chunk) {
        pidLine += chunk;
        stop.Set();
      },
      &stop, kNoBound);
  ASSERT_FALSE(pidLine.empty());
  EXPECT_TRUE(ProcessEnded(pidLine));
}

// Runs under the Russian locale (OEM 866, ANSI 1251) and, as a second test, under the English
// one (OEM 437, ANSI 1252): the program writes OEM bytes, the callback gets the same
// characters as ANSI bytes.
TEST(ConsoleRunnerCodePages, OemTextArrivesAsTheSameCharactersInAnsi) {
  struct {
    UINT Oem;
    UINT Ansi;
    std::wstring Text;
  } const cases[] = {
      {866, 1251, L"Установка связи с Tarvolix... Ёё №"},
      {437, 1252, L"Café über naïve ½"},
  };
  bool ran = false;
  for (const auto& c : cases) {
    if (GetOEMCP() != c.Oem)
      continue;
    ran = true;
    EXPECT_EQ(GetACP(), c.Ansi);
    const std::string oem = ToCodePage(c.Oem, c.Text);
    const std::string ansi = ToCodePage(c.Ansi, c.Text);
    ASSERT_NE(oem, ansi);  // the case shows a conversion
    EXPECT_EQ(RunWriter(L"oem \"" + c.Text + L"\"").All(), ansi);
  }
  EXPECT_TRUE(ran) << "no case for OEM code page " << GetOEMCP();
}

}  // namespace
}  // namespace velmora
