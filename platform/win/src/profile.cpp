#include "win/profile.h"

#include "win/registry.h"

namespace win {
namespace {

bool Usable(const char* s) { return s && *s; }

}  // namespace

Profile::Profile(std::string registryKey, std::string application) {
  m_keyPath = "Software";
  if (!registryKey.empty()) m_keyPath += "\\" + registryKey;
  m_keyPath += "\\" + application;
}

INT Profile::GetProfileInt(const char* section, const char* entry, INT defaultValue) const {
  if (!Usable(section) || !Usable(entry)) return defaultValue;
  RegKey key;
  DWORD value = 0;
  if (key.Open(HKEY_CURRENT_USER, (m_keyPath + "\\" + section).c_str()) != ERROR_SUCCESS ||
      key.GetDword(entry, value) != ERROR_SUCCESS)
    return defaultValue;
  return static_cast<INT>(value);
}

BOOL Profile::WriteProfileInt(const char* section, const char* entry, INT value) {
  if (!Usable(section) || !Usable(entry)) return FALSE;
  RegKey key;
  if (key.Create(HKEY_CURRENT_USER, (m_keyPath + "\\" + section).c_str()) != ERROR_SUCCESS) return FALSE;
  return key.SetDword(entry, static_cast<DWORD>(value)) == ERROR_SUCCESS ? TRUE : FALSE;
}

std::string Profile::GetProfileString(const char* section, const char* entry,
                                      const char* defaultValue) const {
  std::string fallback = defaultValue ? defaultValue : "";
  if (!Usable(section) || !Usable(entry)) return fallback;
  RegKey key;
  std::string value;
  if (key.Open(HKEY_CURRENT_USER, (m_keyPath + "\\" + section).c_str()) != ERROR_SUCCESS ||
      key.GetString(entry, value) != ERROR_SUCCESS)
    return fallback;
  return value;
}

BOOL Profile::WriteProfileString(const char* section, const char* entry, const char* value) {
  if (!Usable(section)) return FALSE;
  const std::string sectionPath = m_keyPath + "\\" + section;
  if (!entry) {
    LONG rc = RegDeleteTreeA(HKEY_CURRENT_USER, sectionPath.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? TRUE : FALSE;
  }
  if (!value) {
    RegKey key;
    LONG rc = key.Open(HKEY_CURRENT_USER, sectionPath.c_str(), KEY_WRITE);
    if (rc == ERROR_SUCCESS) rc = key.DeleteValue(entry);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? TRUE : FALSE;
  }
  RegKey key;
  if (key.Create(HKEY_CURRENT_USER, sectionPath.c_str()) != ERROR_SUCCESS) return FALSE;
  return key.SetString(entry, value) == ERROR_SUCCESS ? TRUE : FALSE;
}

}  // namespace win
