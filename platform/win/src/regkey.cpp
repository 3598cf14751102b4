#include <cstring>

#include "win/registry.h"

namespace win {

RegKey::~RegKey() { Close(); }

RegKey::RegKey(RegKey&& other) noexcept : m_key(other.Detach()) {}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    Close();
    m_key = other.Detach();
  }
  return *this;
}

LONG RegKey::Create(HKEY parent, const char* subKey, REGSAM sam, DWORD* disposition) {
  HKEY key = nullptr;
  LONG rc =
      RegCreateKeyExA(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr, &key, disposition);
  if (rc == ERROR_SUCCESS) {
    Close();
    m_key = key;
  }
  return rc;
}

LONG RegKey::Open(HKEY parent, const char* subKey, REGSAM sam) {
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExA(parent, subKey, 0, sam, &key);
  if (rc == ERROR_SUCCESS) {
    Close();
    m_key = key;
  }
  return rc;
}

LONG RegKey::Close() {
  if (!m_key) return ERROR_SUCCESS;
  LONG rc = RegCloseKey(m_key);
  m_key = nullptr;
  return rc;
}

HKEY RegKey::Detach() {
  HKEY key = m_key;
  m_key = nullptr;
  return key;
}

LONG RegKey::SetString(const char* valueName, std::string_view value) {
  std::string text(value);  // with its terminating zero
  return RegSetValueExA(m_key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1));
}

LONG RegKey::SetDword(const char* valueName, DWORD value) {
  return RegSetValueExA(m_key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG RegKey::SetBinary(const char* valueName, const void* data, DWORD size) {
  return RegSetValueExA(m_key, valueName, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
}

LONG RegKey::GetString(const char* valueName, std::string& value) const {
  std::vector<uint8_t> data;
  DWORD type = 0;
  // The value may change between the size query and the read; ask again then.
  for (;;) {
    DWORD size = 0;
    LONG rc = RegQueryValueExA(m_key, valueName, nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
    data.resize(size);
    rc = RegQueryValueExA(m_key, valueName, nullptr, &type, data.data(), &size);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
    value.assign(reinterpret_cast<const char*>(data.data()), size ? size - 1 : 0);
    return ERROR_SUCCESS;
  }
}

LONG RegKey::GetDword(const char* valueName, DWORD& value) const {
  DWORD type = 0;
  BYTE data[4];
  DWORD size = sizeof data;
  LONG rc = RegQueryValueExA(m_key, valueName, nullptr, &type, data, &size);
  if (rc == ERROR_MORE_DATA) return ERROR_INVALID_DATA;
  if (rc != ERROR_SUCCESS) return rc;
  if (type != REG_DWORD || size != 4) return ERROR_INVALID_DATA;
  std::memcpy(&value, data, 4);
  return ERROR_SUCCESS;
}

LONG RegKey::GetBinary(const char* valueName, std::vector<uint8_t>& value) const {
  for (;;) {
    DWORD size = 0;
    DWORD type = 0;
    LONG rc = RegQueryValueExA(m_key, valueName, nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_BINARY) return ERROR_INVALID_DATA;
    value.resize(size);
    rc = RegQueryValueExA(m_key, valueName, nullptr, &type, value.data(), &size);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_BINARY) return ERROR_INVALID_DATA;
    value.resize(size);
    return ERROR_SUCCESS;
  }
}

LONG RegKey::DeleteValue(const char* valueName) { return RegDeleteValueA(m_key, valueName); }

LONG RegKey::DeleteSubKey(const char* subKey) { return RegDeleteKeyA(m_key, subKey); }

LONG RegKey::DeleteTree(const char* subKey) { return RegDeleteTreeA(m_key, subKey); }

LONG RegKey::SubKeyNames(std::vector<std::string>& names) const {
  names.clear();
  DWORD longest = 0;
  if (LONG rc = RegQueryInfoKeyA(m_key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr);
      rc != ERROR_SUCCESS)
    return rc;
  std::vector<char> buffer(longest + 1);
  for (DWORD i = 0;; ++i) {
    DWORD chars = static_cast<DWORD>(buffer.size());
    LONG rc = RegEnumKeyExA(m_key, i, buffer.data(), &chars, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (rc == ERROR_MORE_DATA) {  // a longer name appeared meanwhile
      buffer.resize(buffer.size() * 2);
      --i;
      continue;
    }
    if (rc != ERROR_SUCCESS) return rc;
    names.emplace_back(buffer.data(), chars);
  }
}

LONG RegKey::ValueNames(std::vector<std::string>& names) const {
  names.clear();
  DWORD longest = 0;
  if (LONG rc = RegQueryInfoKeyA(m_key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 &longest, nullptr, nullptr, nullptr);
      rc != ERROR_SUCCESS)
    return rc;
  std::vector<char> buffer(longest + 1);
  for (DWORD i = 0;; ++i) {
    DWORD chars = static_cast<DWORD>(buffer.size());
    LONG rc = RegEnumValueA(m_key, i, buffer.data(), &chars, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (rc == ERROR_MORE_DATA) {
      buffer.resize(buffer.size() * 2);
      --i;
      continue;
    }
    if (rc != ERROR_SUCCESS) return rc;
    names.emplace_back(buffer.data(), chars);
  }
}

}  // namespace win
