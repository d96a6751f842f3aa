// The settings store in the Windows registry: keys of HKEY_CURRENT_USER with full access,
// REG_SZ values in sections opened per value. The one place with raw registry calls.
#pragma once

#include "ui/SettingsStore.h"

namespace velmora {

class TRegistryStore final : public TSettingsStore {
 public:
  std::unique_ptr<TSettingsKey> OpenKey(const std::wstring& path, bool create) override;
};

}  // namespace velmora
