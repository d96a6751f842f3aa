// Where the settings and login data live: keys of the current user's part of a store, text
// values in sections of a key. The Windows registry is one store; tests use one in memory.
#pragma once

#include <memory>
#include <string>

namespace velmora {

enum class TStoreStatus { Ok, Missing, WrongType, Failed };

struct TStoredText {
  TStoreStatus Status = TStoreStatus::Missing;
  std::wstring Text;  // empty unless Status is Ok
};

// An open key; its sections are opened per value and closed right after.
class TSettingsKey {
 public:
  virtual ~TSettingsKey() = default;
  // A missing section or value is Missing (nothing is created); a value of another type
  // than text is WrongType.
  virtual TStoredText ReadText(const std::wstring& section, const std::wstring& name) const = 0;
  // Writes a text value, creating the section when missing; replaces a value of any type.
  virtual TStoreStatus WriteText(const std::wstring& section, const std::wstring& name,
                                 const std::wstring& value) = 0;
  // A missing section or value is no error.
  virtual TStoreStatus DeleteValue(const std::wstring& section, const std::wstring& name) = 0;
};

class TSettingsStore {
 public:
  virtual ~TSettingsStore() = default;
  // Opens path (a leading "\" is ignored); create allows creating it when missing. Null when
  // the key does not exist (create false) or cannot be opened or created.
  virtual std::unique_ptr<TSettingsKey> OpenKey(const std::wstring& path, bool create) = 0;
};

}  // namespace velmora
