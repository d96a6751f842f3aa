// The stored login data and settings against a store in memory: first start, the save box,
// typing, the defaults and "1"/"0", values of another type, the autostart value, and failing
// writes told once.
#include "ui/StoredSettings.h"

#include <gtest/gtest.h>

#include <cwctype>

#include "tests/ui/fakes/MemoryStore.h"

namespace velmora {
namespace {

constexpr wchar_t kExe[] = L"C:\\Program Files\\Velmora\\Ostrada.exe";
constexpr wchar_t kLoginData[] = L"Software\\Norvenda\\LoginData";
constexpr wchar_t kSettings[] = L"Software\\velmora";
constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring AsciiLower(std::wstring text) {
  for (wchar_t& c : text)
    c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return text;
}

class StoredSettings : public ::testing::Test {
 protected:
  TSettingsValues Load() { return LoadSettings(Store, kExe, AsciiLower, Notes); }
  TLoginData LoadLogin() { return LoadLoginData(Store, Notes); }

  TMemoryStore Store;
  std::vector<std::wstring> Notes;
};

TEST_F(StoredSettings, FirstStartReadsDefaultsAndWritesNothing) {
  TLoginData login = LoadLogin();
  EXPECT_FALSE(login.Found);
  TSettingsValues values = Load();
  ASSERT_TRUE(values.Autostart.has_value());
  EXPECT_FALSE(*values.Autostart);
  EXPECT_TRUE(values.SettingsRead);
  EXPECT_FALSE(values.AutoConnect);
  EXPECT_FALSE(values.AutoReconnect);
  EXPECT_TRUE(values.AutoUpdate);
  EXPECT_EQ(Store.Writes, 0);
  EXPECT_EQ(Store.Keys.count(L"software\\norvenda"), 0u) << "login key created by a read";
  EXPECT_TRUE(Notes.empty());
}

TEST_F(StoredSettings, TickingTypingAndUntickingTheSaveBox) {
  // Ticked with both fields filled: the texts exactly as typed.
  EXPECT_FALSE(SaveLoginData(Store, L"Ivan.Petrov", L"p@ss w0rd", true));
  EXPECT_EQ(Store.Text(kLoginData, L"Login"), L"Ivan.Petrov");
  EXPECT_EQ(Store.Text(kLoginData, L"Password"), L"p@ss w0rd");
  EXPECT_EQ(Store.Text(kLoginData, L"Save"), L"1");
  // A further character rewrites all three.
  int before = Store.Writes;
  EXPECT_FALSE(SaveLoginData(Store, L"Ivan.Petrov", L"p@ss w0rd!", true));
  EXPECT_EQ(Store.Writes, before + 3);
  EXPECT_EQ(Store.Text(kLoginData, L"Password"), L"p@ss w0rd!");
  // Next start: both fields and the tick come back.
  TLoginData loaded = LoadLogin();
  EXPECT_TRUE(loaded.Found);
  EXPECT_EQ(loaded.Login, L"Ivan.Petrov");
  EXPECT_EQ(loaded.Password, L"p@ss w0rd!");
  EXPECT_TRUE(loaded.Save);
  // Unticked: empty texts and "0", the values stay.
  EXPECT_FALSE(SaveLoginData(Store, L"", L"", false));
  EXPECT_EQ(Store.Text(kLoginData, L"Login"), L"");
  EXPECT_EQ(Store.Text(kLoginData, L"Password"), L"");
  EXPECT_EQ(Store.Text(kLoginData, L"Save"), L"0");
}

TEST_F(StoredSettings, LoginDataWithSaveZeroAreLoadedAndTheBoxStaysUnticked) {
  Store.SetText(kLoginData, L"Login", L"demo");
  Store.SetText(kLoginData, L"Password", L"secret");
  Store.SetText(kLoginData, L"Save", L"0");
  TLoginData loaded = LoadLogin();
  EXPECT_EQ(loaded.Login, L"demo");
  EXPECT_EQ(loaded.Password, L"secret");
  EXPECT_FALSE(loaded.Save);
}

TEST_F(StoredSettings, AutoUpdateValues) {
  struct TCase {
    const char* Name;
    std::optional<std::wstring> Text;  // nothing: a REG_DWORD value
    bool Expected;
    size_t ExpectedNotes;
  };
  const TCase cases[] = {
      {"zero", L"0", false, 0}, {"not a number", L"abc", true, 0},         {"seven", L"7", true, 0},
      {"empty", L"", true, 0},  {"a number value", std::nullopt, true, 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryStore store;
    if (c.Text)
      store.SetText(kSettings, L"AutoUpdate", *c.Text);
    else
      store.SetNumber(kSettings, L"AutoUpdate", 0);
    store.SetText(kSettings, L"AutoReconnect", L"1");
    std::vector<std::wstring> notes;
    TSettingsValues values = LoadSettings(store, kExe, AsciiLower, notes);
    EXPECT_EQ(values.AutoUpdate, c.Expected);
    EXPECT_TRUE(values.AutoReconnect) << "a value read before the wrong one lost";
    ASSERT_EQ(notes.size(), c.ExpectedNotes);
    if (!notes.empty()) {
      EXPECT_NE(notes[0].find(L"Software\\velmora\\AutoUpdate"), std::wstring::npos);
    }
  }
}

TEST_F(StoredSettings, NumberValuesReadAsAbsentAndLoadingGoesOn) {
  Store.SetNumber(kLoginData, L"Login", 5);
  Store.SetText(kLoginData, L"Password", L"secret");
  Store.SetText(kLoginData, L"Save", L"1");
  Store.SetNumber(kSettings, L"AutoConnect", 1);
  Store.SetText(kSettings, L"AutoUpdate", L"0");
  TLoginData login = LoadLogin();
  EXPECT_EQ(login.Login, L"");
  EXPECT_EQ(login.Password, L"secret");
  EXPECT_TRUE(login.Save);
  TSettingsValues values = Load();
  EXPECT_FALSE(values.AutoConnect);
  EXPECT_FALSE(values.AutoUpdate) << "the value after the wrong one was not read";
  EXPECT_EQ(Notes.size(), 2u);
  // Saving replaces the number with text.
  EXPECT_FALSE(SaveSettings(Store, kExe, {false, true, false, false}));
  EXPECT_EQ(Store.Text(kSettings, L"AutoConnect"), L"1");
  EXPECT_FALSE(SaveLoginData(Store, L"demo", L"secret", true));
  EXPECT_EQ(Store.Text(kLoginData, L"Login"), L"demo");
}

TEST_F(StoredSettings, SaveWritesOneOrZeroInOrder) {
  EXPECT_FALSE(SaveSettings(Store, kExe, {false, true, false, true}));
  EXPECT_EQ(Store.Text(kSettings, L"AutoConnect"), L"1");
  EXPECT_EQ(Store.Text(kSettings, L"AutoReconnect"), L"0");
  EXPECT_EQ(Store.Text(kSettings, L"AutoUpdate"), L"1");
  TSettingsValues values = Load();
  EXPECT_TRUE(values.AutoConnect);
  EXPECT_FALSE(values.AutoReconnect);
  EXPECT_TRUE(values.AutoUpdate);
}

TEST_F(StoredSettings, AutostartValue) {
  const std::wstring own = std::wstring(L"\"") + kExe + L"\"";
  struct TCase {
    const char* Name;
    std::optional<std::wstring> Stored;
    bool ReadsOn;
    std::wstring AfterSave;  // what "Сохранить" leaves behind
  };
  const TCase cases[] = {
      {"own path", own, true, own},
      {"other letter case", AsciiLower(own), true, own},
      {"another path", L"\"C:\\Other\\Ostrada.exe\"", false, L"<none>"},
      {"unquoted", std::wstring(kExe), false, L"<none>"},
      {"with arguments", own + L" /min", false, L"<none>"},
      {"none", std::nullopt, false, L"<none>"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryStore store;
    if (c.Stored)
      store.SetText(kRun, L"velmora", *c.Stored);
    std::vector<std::wstring> notes;
    TSettingsValues values = LoadSettings(store, kExe, AsciiLower, notes);
    ASSERT_TRUE(values.Autostart.has_value());
    EXPECT_EQ(*values.Autostart, c.ReadsOn);
    EXPECT_FALSE(SaveSettings(store, kExe, {*values.Autostart, false, false, true}));
    EXPECT_EQ(store.Text(kRun, L"velmora"), c.AfterSave);
  }
}

TEST_F(StoredSettings, KeysThatCannotBeOpenedSkipTheirPart) {
  Store.FailOpen.insert(TMemoryStore::Normal(L"Software\\Microsoft\\Windows\\CurrentVersion"));
  TSettingsValues values = Load();
  EXPECT_FALSE(values.Autostart.has_value());
  EXPECT_TRUE(values.SettingsRead);
  Store.FailOpen.insert(L"software");
  EXPECT_FALSE(Load().SettingsRead);
  EXPECT_FALSE(SaveSettings(Store, kExe, {true, true, true, true})) << "an open told";
  Store.FailOpen.insert(TMemoryStore::Normal(L"Software\\Norvenda"));
  EXPECT_FALSE(SaveLoginData(Store, L"a", L"b", true)) << "an open told";
  EXPECT_EQ(Store.Writes, 0);
}

TEST_F(StoredSettings, AFailingWriteStopsAndNamesTheValueAndItsKey) {
  Store.FailWrites.insert(L"Password");
  std::optional<std::wstring> failure = SaveLoginData(Store, L"demo", L"demo", true);
  ASSERT_TRUE(failure);
  EXPECT_NE(failure->find(L"'Password'"), std::wstring::npos);
  EXPECT_NE(failure->find(L"HKEY_CURRENT_USER\\Software\\Norvenda\\LoginData"), std::wstring::npos);
  EXPECT_EQ(Store.Text(kLoginData, L"Login"), L"demo");
  EXPECT_EQ(Store.Text(kLoginData, L"Save"), L"<none>");

  Store.FailWrites = {L"velmora"};
  failure = SaveSettings(Store, kExe, {true, true, true, true});
  ASSERT_TRUE(failure);
  EXPECT_NE(failure->find(L"'velmora'"), std::wstring::npos);
  EXPECT_NE(failure->find(L"CurrentVersion\\Run"), std::wstring::npos);
  EXPECT_EQ(Store.Text(kSettings, L"AutoConnect"), L"<none>");
}

TEST(WriteFailureReports, ShownOncePerActionNotAtEveryKeystroke) {
  using TCause = TWriteFailureReports::TCause;
  struct TStep {
    TCause Cause;
    bool Failed;
    bool Shown;
  };
  const TStep steps[] = {
      {TCause::Typing, false, false},  // writes work
      {TCause::Typing, true, true},    // the first failing keystroke tells it
      {TCause::Typing, true, false},   // the following ones do not
      {TCause::Typing, true, false},  {TCause::Action, true, true},  // the tick or "Сохранить"
                                                                     // always tells it
      {TCause::Typing, true, false},   // just told
      {TCause::Typing, false, false},  // works again
      {TCause::Typing, true, true},    // a new failure is told again
      {TCause::Action, false, false}, {TCause::Action, true, true}, {TCause::Action, true, true},
  };
  TWriteFailureReports reports;
  for (size_t i = 0; i < std::size(steps); ++i)
    EXPECT_EQ(reports.ShouldShow(steps[i].Cause, steps[i].Failed), steps[i].Shown) << "step " << i;
}

}  // namespace
}  // namespace velmora
