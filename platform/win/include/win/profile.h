#pragma once
// The per-user application profile as the dialog framework keeps it: values
// under HKEY_CURRENT_USER\Software\<registry key>\<application>\<section>,
// integers as REG_DWORD and texts as REG_SZ.
#include <string>

#include "base/export.h"
#include "base/types.h"

namespace win {

class RT_API Profile {
 public:
  // `registryKey` is the maker's key ("Vornak"); without one the values live
  // under Software\<application>.
  Profile(std::string registryKey, std::string application);

  // The stored integer, or `defaultValue` when the entry is missing or is not
  // an integer.
  INT GetProfileInt(const char* section, const char* entry, INT defaultValue) const;
  BOOL WriteProfileInt(const char* section, const char* entry, INT value);

  // The stored text, or `defaultValue` (null counts as "") when the entry is
  // missing or is not a text.
  std::string GetProfileString(const char* section, const char* entry,
                               const char* defaultValue = nullptr) const;
  // A null `entry` removes the whole section, a null `value` the entry.
  BOOL WriteProfileString(const char* section, const char* entry, const char* value);

  // "Software\<registry key>\<application>" below HKEY_CURRENT_USER.
  const std::string& KeyPath() const { return m_keyPath; }

 private:
  std::string m_keyPath;
};

}  // namespace win
