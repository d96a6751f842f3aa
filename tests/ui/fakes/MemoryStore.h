// A settings store in memory for native tests: keys and sections by path (letter case aside,
// as in the registry), text or number values, and writes or opens that can be made to fail.
#pragma once

#include <cwctype>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "ui/SettingsStore.h"

namespace velmora {

class TMemoryStore final : public TSettingsStore {
 public:
  struct TValue {
    bool IsText = true;  // false: a number (REG_DWORD)
    std::wstring Text;
  };

  std::unique_ptr<TSettingsKey> OpenKey(const std::wstring& path, bool create) override {
    std::wstring key = Normal(path);
    if (FailOpen.count(key))
      return nullptr;
    if (!Keys.count(key)) {
      if (!create)
        return nullptr;
      Keys.insert(key);
    }
    return std::make_unique<TKey>(*this, key);
  }

  // The content, by "key\section" and value name.
  void SetText(const std::wstring& section, const std::wstring& name, const std::wstring& text) {
    Put(section, name, {true, text});
  }
  void SetNumber(const std::wstring& section, const std::wstring& name, unsigned value) {
    Put(section, name, {false, std::to_wstring(value)});
  }
  const TValue* Find(const std::wstring& section, const std::wstring& name) const {
    auto s = Values.find(Normal(section));
    if (s == Values.end())
      return nullptr;
    auto v = s->second.find(Normal(name));
    return v == s->second.end() ? nullptr : &v->second;
  }
  // The text of a value; "<none>" when absent, "<number>" when not text.
  std::wstring Text(const std::wstring& section, const std::wstring& name) const {
    const TValue* value = Find(section, name);
    return !value ? L"<none>" : value->IsText ? value->Text : L"<number>";
  }

  std::set<std::wstring> Keys;                                    // keys and sections that exist
  std::map<std::wstring, std::map<std::wstring, TValue>> Values;  // by section, by name
  std::set<std::wstring> FailOpen;    // keys that cannot be opened or created
  std::set<std::wstring> FailWrites;  // value names whose writes fail
  int Writes = 0;                     // writes and deletions that changed something

  static std::wstring Normal(std::wstring path) {
    if (!path.empty() && path[0] == L'\\')
      path.erase(0, 1);
    for (wchar_t& c : path)
      c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return path;
  }

 private:
  void Put(const std::wstring& section, const std::wstring& name, TValue value) {
    std::wstring path = Normal(section);
    for (size_t at = path.find(L'\\'); at != std::wstring::npos; at = path.find(L'\\', at + 1))
      Keys.insert(path.substr(0, at));
    Keys.insert(path);
    Values[path][Normal(name)] = std::move(value);
  }

  class TKey final : public TSettingsKey {
   public:
    TKey(TMemoryStore& store, std::wstring path) : FStore(store), FPath(std::move(path)) {}
    TStoredText ReadText(const std::wstring& section, const std::wstring& name) const override {
      const TValue* value = FStore.Find(FPath + L"\\" + section, name);
      if (!value)
        return {};
      if (!value->IsText)
        return {TStoreStatus::WrongType, {}};
      return {TStoreStatus::Ok, value->Text};
    }
    TStoreStatus WriteText(const std::wstring& section, const std::wstring& name,
                           const std::wstring& text) override {
      if (FStore.FailWrites.count(name))
        return TStoreStatus::Failed;
      FStore.SetText(FPath + L"\\" + section, name, text);
      ++FStore.Writes;
      return TStoreStatus::Ok;
    }
    TStoreStatus DeleteValue(const std::wstring& section, const std::wstring& name) override {
      auto s = FStore.Values.find(Normal(FPath + L"\\" + section));
      if (s != FStore.Values.end() && s->second.erase(Normal(name)))
        ++FStore.Writes;
      return TStoreStatus::Ok;
    }

   private:
    TMemoryStore& FStore;
    std::wstring FPath;
  };
};

}  // namespace velmora
