// The one place that talks to the registry: text values under HKEY_CURRENT_USER, a key
// opened once and its sections opened per value, as the stored settings are laid out.
#pragma once

#include <windows.h>

#include <string>

namespace velmora {

enum class TRegStatus { Ok, Missing, WrongType, Failed };

struct TRegText {
  TRegStatus Status = TRegStatus::Missing;
  std::wstring Text;  // empty unless Status is Ok
};

// A key of HKEY_CURRENT_USER with full access; closed when the object goes.
class TRegKey {
 public:
  // Opens path (a leading "\" is ignored); create allows creating it when missing.
  TRegKey(const std::wstring& path, bool create);
  ~TRegKey();
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;

  bool IsOpen() const { return FKey != nullptr; }
  const std::wstring& Path() const { return FPath; }

  // Reads a text value of section; a missing section or value is Missing (never created),
  // a value of another type than text is WrongType.
  TRegText ReadText(const std::wstring& section, const std::wstring& name) const;
  // Writes a REG_SZ value (with its terminating zero), creating the section when missing.
  TRegStatus WriteText(const std::wstring& section, const std::wstring& name,
                       const std::wstring& value) const;
  // Deletes a value of section; a missing section or value is no error.
  TRegStatus DeleteValue(const std::wstring& section, const std::wstring& name) const;

 private:
  std::wstring FPath;
  HKEY FKey = nullptr;
};

}  // namespace velmora
