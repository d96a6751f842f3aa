// The registry as the settings store, under Wine: keys opened or created, text values, a
// number value read as the wrong type, and the settings rules over the real registry.
#include "ui/win32/Registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "ui/StoredSettings.h"

namespace velmora {
namespace {

constexpr wchar_t kScratch[] = L"Software\\VelmoraStoreTest";

class RegistryStore : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  static void Clear() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\velmora");
  }
  static void SetNumber(const wchar_t* path, const wchar_t* name, DWORD value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, path, name, REG_DWORD, &value, sizeof(value));
  }

  TRegistryStore Store;
};

TEST_F(RegistryStore, OpensCreatesReadsWritesAndDeletes) {
  EXPECT_EQ(Store.OpenKey(kScratch, /*create=*/false), nullptr);
  std::unique_ptr<TSettingsKey> key = Store.OpenKey(std::wstring(L"\\") + kScratch, true);
  ASSERT_NE(key, nullptr);
  EXPECT_NE(Store.OpenKey(kScratch, false), nullptr);

  EXPECT_EQ(key->ReadText(L"Section", L"Value").Status, TStoreStatus::Missing);
  EXPECT_EQ(key->WriteText(L"Section", L"Value", L"Пароль 1"), TStoreStatus::Ok);
  TStoredText read = key->ReadText(L"Section", L"Value");
  EXPECT_EQ(read.Status, TStoreStatus::Ok);
  EXPECT_EQ(read.Text, L"Пароль 1");
  EXPECT_EQ(key->WriteText(L"Section", L"Empty", L""), TStoreStatus::Ok);
  EXPECT_EQ(key->ReadText(L"Section", L"Empty").Status, TStoreStatus::Ok);

  SetNumber(L"Software\\VelmoraStoreTest\\Section", L"Number", 7);
  EXPECT_EQ(key->ReadText(L"Section", L"Number").Status, TStoreStatus::WrongType);
  EXPECT_EQ(key->WriteText(L"Section", L"Number", L"1"), TStoreStatus::Ok);  // now text
  EXPECT_EQ(key->ReadText(L"Section", L"Number").Text, L"1");

  EXPECT_EQ(key->DeleteValue(L"Section", L"Value"), TStoreStatus::Ok);
  EXPECT_EQ(key->ReadText(L"Section", L"Value").Status, TStoreStatus::Missing);
  EXPECT_EQ(key->DeleteValue(L"Section", L"Value"), TStoreStatus::Ok);    // already gone
  EXPECT_EQ(key->DeleteValue(L"NoSection", L"Value"), TStoreStatus::Ok);  // nothing to do
}

TEST_F(RegistryStore, ANumberAutoUpdateReadsAsItsDefault) {
  SetNumber(L"Software\\velmora", L"AutoUpdate", 0);
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\velmora", L"AutoConnect", REG_SZ, L"1",
                  2 * sizeof(wchar_t));
  std::vector<std::wstring> notes;
  TSettingsValues values = LoadSettings(
      Store, L"C:\\Ostrada.exe", [](std::wstring text) { return text; }, notes);
  EXPECT_TRUE(values.SettingsRead);
  EXPECT_TRUE(values.AutoConnect);
  EXPECT_TRUE(values.AutoUpdate);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find(L"AutoUpdate"), std::wstring::npos);
}

}  // namespace
}  // namespace velmora
