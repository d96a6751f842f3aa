// The dialer's and the phonebook's folders come from the system, not from the environment
// that any program of the user can set for the elevated program.
#include "engine/SystemFolders.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "engine/Phonebook.h"
#include "engine/uConnectorClass.h"

namespace velmora {
namespace {

class SystemFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const wchar_t* name : {L"WINDIR", L"ALLUSERSPROFILE", L"ProgramData"}) {
      wchar_t value[MAX_PATH] = {};
      GetEnvironmentVariableW(name, value, MAX_PATH);
      FSaved.emplace_back(name, value);
      SetEnvironmentVariableW(name, L"C:\\elsewhere");
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : FSaved)
      SetEnvironmentVariableW(name.c_str(), value.c_str());
  }

  std::vector<std::pair<std::wstring, std::wstring>> FSaved;
};

TEST_F(SystemFolders, IgnoreWhatTheEnvironmentSays) {
  wchar_t system[MAX_PATH] = {};
  ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
  EXPECT_EQ(SystemFolder(), system);
  const std::wstring data = AllUsersDataFolder();
  EXPECT_FALSE(data.empty());
  EXPECT_EQ(data.find(L"elsewhere"), std::wstring::npos) << data;
  // What an untouched system gives: the dialer in System32, the phonebook as the path always was.
  EXPECT_EQ(CompareStringOrdinal(data.c_str(), -1, L"C:\\ProgramData", -1, TRUE), CSTR_EQUAL);
  EXPECT_EQ(CompareStringOrdinal(FormRasPhonebookPath(data).c_str(), -1,
                                 L"C:\\ProgramData\\Application Data\\Microsoft\\Network\\"
                                 L"Connections\\Pbk\\rasphone.pbk",
                                 -1, TRUE),
            CSTR_EQUAL);
}

TEST_F(SystemFolders, TheConnectorRunsTheDialerOfTheSystemFolder) {
  TConnector connector;  // the platform's services, as the program creates it
  const std::wstring expected = SystemFolder() + L"\\rasdial.exe";
  EXPECT_EQ(connector.RASPhoneFilename(), expected);
  EXPECT_EQ(
      CompareStringOrdinal(expected.c_str(), -1, L"C:\\windows\\system32\\rasdial.exe", -1, TRUE),
      CSTR_EQUAL);
}

}  // namespace
}  // namespace velmora
