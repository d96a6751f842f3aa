// ANSI code page conversions (Windows-1251 natively and in the Russian test prefix) and the
// environment reader.
#include "base/CodePage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/EnvVariable.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace velmora {
namespace {

TEST(CodePage, ConvertsRussianTextBothWays) {
  const std::string ansi = "\xCF\xF0\xE8\xE2\xE5\xF2 \xB8\xA8 \xB9 1";  // "Привет ёЁ № 1"
  EXPECT_EQ(AnsiToWide(ansi), L"Привет ёЁ № 1");
  EXPECT_EQ(WideToAnsi(L"Привет ёЁ № 1"), ansi);
  EXPECT_EQ(WideToAnsi(AnsiToWide("Command completed.\r\n")), "Command completed.\r\n");
}

TEST(CodePage, StopsAtTheFirstZeroAndHandlesEmptyText) {
  EXPECT_EQ(AnsiToWide(std::string("abc\0def", 7)), L"abc");
  EXPECT_EQ(AnsiToWide(""), L"");
  EXPECT_EQ(WideToAnsi(L""), "");
}

TEST(CodePage, CharactersTheCodePageLacksBecomeQuestionMarks) {
  EXPECT_EQ(WideToAnsi(L"a\u4E2Db"), "a?b");
}

void SetVariable(const std::wstring& name, const std::wstring& value) {
#ifdef _WIN32
  SetEnvironmentVariableW(name.c_str(), value.c_str());
#else
  setenv(WideToAnsi(name).c_str(), WideToAnsi(value).c_str(), 1);
#endif
}

void ClearVariable(const std::wstring& name) {
#ifdef _WIN32
  SetEnvironmentVariableW(name.c_str(), nullptr);
#else
  unsetenv(WideToAnsi(name).c_str());
#endif
}

TEST(GetEnvVariable, ReturnsTheWholeValueOrNothing) {
  const std::wstring name = L"VELMORA_ENGINE_TEST_VARIABLE";
  SetVariable(name, L"C:\\Windows");
  EXPECT_EQ(GetEnvVariable(name), L"C:\\Windows");
  for (size_t length : {255u, 256u, 257u, 4000u}) {
    const std::wstring value(length, L'x');
    SetVariable(name, value);
    EXPECT_EQ(GetEnvVariable(name), value) << length;
  }
  SetVariable(name, L"C:\\Пользователи");
  EXPECT_EQ(GetEnvVariable(name), L"C:\\Пользователи");
  ClearVariable(name);
  EXPECT_EQ(GetEnvVariable(name), L"");
}

}  // namespace
}  // namespace velmora
