// The command-line split that the elevated relaunch passes on.
#include "app/ParseFirstParam.h"

#include <gtest/gtest.h>

namespace velmora::app {
namespace {

struct TSplitCase {
  const char* Name;
  const wchar_t* CommandLine;
  const wchar_t* FirstParam;
  const wchar_t* Rest;
  const wchar_t* FileName;
  const wchar_t* Directory;
};

const TSplitCase kSplitCases[] = {
    {"QuotedPathWithBlank", LR"("C:\Program Files\Tool\app.exe")",
     LR"(C:\Program Files\Tool\app.exe)", L"", L"app.exe", LR"(C:\Program Files\Tool\)"},
    {"QuotedPathThenArguments", LR"("C:\Program Files\Tool\app.exe" /x "a b")",
     LR"(C:\Program Files\Tool\app.exe)", LR"( /x "a b")", L"app.exe",
     LR"(C:\Program Files\Tool\)"},
    {"UnquotedPath", LR"(C:\Tools\app.exe /y)", LR"(C:\Tools\app.exe)", L" /y", L"app.exe",
     LR"(C:\Tools\)"},
    {"LeadingBlanksEmptyPairAndQuotesInsideArgument", LR"(  "" C:\a"b c"d e)", LR"(C:\ab cd)",
     L" e", L"ab cd", LR"(C:\)"},
    {"BareName", L"app.exe", L"app.exe", L"", L"app.exe", L""},
    {"BareNameWithArguments", L"app.exe  -v", L"app.exe", L"  -v", L"app.exe", L""},
    {"DriveOnly", L"C:app.exe", L"C:app.exe", L"", L"app.exe", L"C:"},
    {"ControlCharactersSkippedAndEndArgument", L"\t\r\nC:\\x.exe\tz", L"C:\\x.exe", L"\tz",
     L"x.exe", L"C:\\"},
    {"UnclosedQuoteRunsToTheEnd", LR"("C:\My Tools\app.exe -q)", LR"(C:\My Tools\app.exe -q)", L"",
     L"app.exe -q", LR"(C:\My Tools\)"},
    {"EmptyPairsOnlyGiveNothing", LR"( "" "" )", L"", L"", L"", L""},
    {"EmptyCommandLine", L"", L"", L"", L"", L""},
    {"EmptyPairInsideArgumentIsDropped", LR"(C:\a""b.exe x)", LR"(C:\ab.exe)", L" x", L"ab.exe",
     LR"(C:\)"},
};

class ParseFirstParamCases : public ::testing::TestWithParam<TSplitCase> {};

TEST_P(ParseFirstParamCases, SplitsFirstArgumentAndKeepsTheRestUntouched) {
  const TSplitCase& c = GetParam();
  std::wstring firstParam = L"stale";
  const wchar_t* rest = ParseFirstParam(c.CommandLine, firstParam);
  EXPECT_EQ(firstParam, c.FirstParam);
  EXPECT_EQ(std::wstring(rest), c.Rest);

  const TProgramPath parts = SplitProgramPath(firstParam);
  EXPECT_EQ(parts.FileName, c.FileName);
  EXPECT_EQ(parts.Directory, c.Directory);

  const TRelaunchCommand relaunch = MakeRelaunchCommand(c.CommandLine);
  EXPECT_EQ(relaunch.File, c.FileName);
  EXPECT_EQ(relaunch.Parameters, c.Rest);
  EXPECT_EQ(relaunch.Directory, c.Directory);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, ParseFirstParamCases, ::testing::ValuesIn(kSplitCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ParseFirstParam, ReturnsPositionInsideTheGivenText) {
  const wchar_t* commandLine = LR"("C:\a b\c.exe" tail)";
  std::wstring firstParam;
  const wchar_t* rest = ParseFirstParam(commandLine, firstParam);
  EXPECT_EQ(rest, commandLine + 14);
}

TEST(SplitProgramPath, CutsAtTheLastSeparatorOfEitherKind) {
  EXPECT_EQ(SplitProgramPath(LR"(\\server\share\app.exe)").Directory, LR"(\\server\share\)");
  EXPECT_EQ(SplitProgramPath(LR"(C:\dir\)").FileName, L"");
  EXPECT_EQ(SplitProgramPath(LR"(C:\dir\)").Directory, LR"(C:\dir\)");
  EXPECT_EQ(SplitProgramPath(LR"(C:\d:x.exe)").FileName, L"x.exe");
}

}  // namespace
}  // namespace velmora::app
