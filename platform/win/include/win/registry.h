#pragma once
// The Win32 registry calls over file-backed hives.
//
// Three hives exist: HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE, stored as HKCR.reg, HKCU.reg and HKLM.reg in
// HomeDirectory()/registry/. Names are 8-bit UTF-8 strings; key names compare
// without regard to ASCII case and keep the case they were created with; key
// paths separate names with backslashes. A null or empty value name is the
// key's default value. Results are Win32 error numbers (ERROR_SUCCESS,
// ERROR_FILE_NOT_FOUND for a missing key or value, ERROR_MORE_DATA,
// ERROR_NO_MORE_ITEMS, ERROR_ACCESS_DENIED for a read-only hive,
// ERROR_REGISTRY_CORRUPT for a hive file that cannot be read as one,
// ERROR_CANTWRITE for a change that would make the hive too large, …); the
// text of the last failure of the calling thread is RegistryLastError().
//
// Every change is written at once: to a temporary file that is flushed and
// renamed over the hive, under an exclusive lock (flock on "<hive>.lock"),
// after re-reading the hive under that lock, so that processes sharing the
// folder never lose each other's changes. A hive file or folder without
// write permission refuses every change with ERROR_ACCESS_DENIED and is left
// as it is; reading still works. A corrupt hive is never overwritten.
// Access masks are accepted and not enforced: what may be written is decided
// by the hive file alone. The cache of loaded hives lives once per process
// and re-reads a hive when its file changed or $DX47X_HOME names another
// folder.
//
// Hive file format (UTF-8 text, one item per line, LF line ends; CR before LF
// is tolerated, empty lines and lines starting with ';' are ignored):
//
//   DX47X-HIVE 1
//   [HKEY_CURRENT_USER\Software\Vornak\DX47x\Settings]
//   @="default value"
//   "MainPositionX"=dword:00000064
//   "Title"="say \"hi\"\n"
//   "Raw"=hex(3):00,7f,ff
//   END
//
// - The first line is the header "DX47X-HIVE 1"; the last line is "END", so
//   that a truncated file is recognised.
// - "[path]" starts a key, named from the hive's root name, its names
//   separated by '\\'; every key without values and without subkeys is
//   listed, so empty keys persist. In key names the bytes '%', '\\',
//   0x00–0x1F and 0x7F are written as "%" and two hex digits (any "%HH" is
//   read back as its byte), so a key name of any bytes is one name.
// - Below a key come its values: the name in double quotes, or '@' for the
//   default value, then '=' and the data: a quoted string for REG_SZ,
//   "dword:" and eight hex digits for REG_DWORD, "hex(t):" with the type t in
//   hex and the bytes as comma-separated hex pairs for anything else.
// - In quoted texts '\\', '"', LF, CR and TAB are written \\ \" \n \r \t, other
//   bytes 0x00–0x1F and 0x7F as \xHH; every other byte stands as it is. A
//   REG_SZ holds every byte of its text, zero bytes too (they come from
//   "hex(1):" data); value names hold no zero byte.
// - A hive is at most 16 MiB, 1,000,000 keys and 512 key names deep below
//   its root: a file beyond that, or one that is not a regular file, is
//   refused as corrupt, and a change that would go beyond it fails with
//   ERROR_CANTWRITE, leaving the file as it was.
//
// Reading a file and writing it again gives the same keys and values, and
// writing that again gives the same text.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/export.h"
#include "base/hresult.h"
#include "base/types.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Opens `subKey` below `key`, creating the missing keys. `disposition` tells
// whether the key was new. Class, options and security are ignored.
RT_API LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                            REGSAM sam, const void* security, PHKEY result, DWORD* disposition);
// Opens an existing key; a null or empty `subKey` opens `key` again.
RT_API LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM sam, PHKEY result);
RT_API LONG RegCloseKey(HKEY key);

// REG_SZ data is taken up to its first zero byte (the terminating zero may be
// counted in `size` or not); REG_DWORD data must be 4 bytes.
RT_API LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size);
// Windows semantics: a null `data` asks for the size only; a buffer that is
// too small gives ERROR_MORE_DATA with the size needed in *size; REG_SZ sizes
// count the terminating zero. `type` may be null.
RT_API LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                             DWORD* size);
RT_API LONG RegDeleteValueA(HKEY key, const char* valueName);
// Deletes a key without subkeys (ERROR_ACCESS_DENIED when it has some).
RT_API LONG RegDeleteKeyA(HKEY key, const char* subKey);
// Deletes `subKey` with everything below it; with a null `subKey`, the
// values and subkeys of `key` itself, which stays.
RT_API LONG RegDeleteTreeA(HKEY key, const char* subKey);

// Subkeys come in the order of their names (ignoring ASCII case). `nameChars`
// holds the buffer size in characters with the terminating zero and receives
// the name's length without it. Class and time are answered empty.
RT_API LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameChars, DWORD* reserved,
                          char* keyClass, DWORD* classChars, FILETIME* lastWriteTime);
// Values come in the order they were created.
RT_API LONG RegEnumValueA(HKEY key, DWORD index, char* valueName, DWORD* valueNameChars, DWORD* reserved,
                          DWORD* type, BYTE* data, DWORD* size);
// Counts of subkeys and values with the longest name and data sizes; every
// pointer may be null. Lengths count characters without the terminating zero.
RT_API LONG RegQueryInfoKeyA(HKEY key, char* keyClass, DWORD* classChars, DWORD* reserved, DWORD* subKeys,
                             DWORD* maxSubKeyLen, DWORD* maxClassLen, DWORD* values, DWORD* maxValueNameLen,
                             DWORD* maxValueLen, DWORD* securityDescriptorSize, FILETIME* lastWriteTime);

namespace win {

// One line describing the calling thread's last registry failure (which file,
// which line, what was wrong), or "" when none has happened.
RT_API std::string RegistryLastError();

// Forgets the loaded hives, so that the next call reads them from disk.
RT_API void RegistryFlushCache();

// An open registry key for the system's own callers, closed by the
// destructor. Results are those of the Reg… calls.
class RT_API RegKey {
 public:
  RegKey() = default;
  explicit RegKey(HKEY adopted) : m_key(adopted) {}
  ~RegKey();
  RegKey(RegKey&& other) noexcept;
  RegKey& operator=(RegKey&& other) noexcept;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  LONG Create(HKEY parent, const char* subKey, REGSAM sam = KEY_ALL_ACCESS, DWORD* disposition = nullptr);
  LONG Open(HKEY parent, const char* subKey, REGSAM sam = KEY_READ);
  LONG Close();
  HKEY Get() const { return m_key; }
  HKEY Detach();
  bool IsOpen() const { return m_key != nullptr; }

  LONG SetString(const char* valueName, std::string_view value);
  LONG SetDword(const char* valueName, DWORD value);
  LONG SetBinary(const char* valueName, const void* data, DWORD size);
  // A value of another type answers ERROR_INVALID_DATA.
  LONG GetString(const char* valueName, std::string& value) const;
  LONG GetDword(const char* valueName, DWORD& value) const;
  LONG GetBinary(const char* valueName, std::vector<uint8_t>& value) const;
  LONG DeleteValue(const char* valueName);
  LONG DeleteSubKey(const char* subKey);
  LONG DeleteTree(const char* subKey = nullptr);
  LONG SubKeyNames(std::vector<std::string>& names) const;
  LONG ValueNames(std::vector<std::string>& names) const;

 private:
  HKEY m_key = nullptr;
};

}  // namespace win
