// The Reg…A calls: open keys are handles that name a hive and a path, so
// that they survive re-reading the hive, and a key deleted behind an open
// handle answers ERROR_KEY_DELETED.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "hive_store.h"
#include "win/registry.h"

namespace {

using win::reg::Fail;
using win::reg::Find;
using win::reg::HiveId;
using win::reg::Node;
using win::reg::Value;

constexpr LONG kSuccess = ERROR_SUCCESS;
constexpr LONG kNotFound = ERROR_FILE_NOT_FOUND;
constexpr LONG kAccessDenied = ERROR_ACCESS_DENIED;
constexpr LONG kInvalidHandle = ERROR_INVALID_HANDLE;
constexpr LONG kInvalidParameter = ERROR_INVALID_PARAMETER;
constexpr LONG kMoreData = ERROR_MORE_DATA;
constexpr LONG kNoMoreItems = ERROR_NO_MORE_ITEMS;
constexpr LONG kKeyDeleted = ERROR_KEY_DELETED;
constexpr LONG kBadPathname = 161;

struct OpenKey {
  HiveId hive = win::reg::kClassesRoot;
  std::vector<std::string> path;
};

std::string PathText(const std::vector<std::string>& path) {
  std::string out;
  for (const std::string& name : path) out += (out.empty() ? "" : "\\") + name;
  return out;
}

class HandleTable {
 public:
  static HandleTable& Instance() {
    static HandleTable table;
    return table;
  }

  bool Resolve(HKEY key, OpenKey& out) {
    auto raw = reinterpret_cast<uintptr_t>(key);
    if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE) {
      out.hive = static_cast<HiveId>(raw - 0x80000000u);
      out.path.clear();
      return true;
    }
    std::lock_guard lock(m_mutex);
    auto it = m_keys.find(raw);
    if (it == m_keys.end()) return false;
    out = it->second;
    return true;
  }

  HKEY Add(OpenKey key) {
    std::lock_guard lock(m_mutex);
    m_next += 4;
    m_keys.emplace(m_next, std::move(key));
    return reinterpret_cast<HKEY>(m_next);
  }

  bool Remove(HKEY key) {
    std::lock_guard lock(m_mutex);
    return m_keys.erase(reinterpret_cast<uintptr_t>(key)) > 0;
  }

 private:
  std::mutex m_mutex;
  std::unordered_map<uintptr_t, OpenKey> m_keys;
  uintptr_t m_next = 0x10000;  // far from null and from the predefined keys
};

// Splits "a\b\c" into names; one trailing backslash is allowed, a leading one
// or an empty name in between is not.
bool SplitPath(const char* subKey, std::vector<std::string>& names) {
  if (!subKey || !*subKey) return true;
  std::string_view rest(subKey);
  if (rest.ends_with('\\')) rest.remove_suffix(1);
  for (;;) {
    size_t slash = rest.find('\\');
    std::string_view name = rest.substr(0, slash);
    if (name.empty()) return false;
    names.emplace_back(name);
    if (slash == std::string_view::npos) return true;
    rest.remove_prefix(slash + 1);
  }
}

// The open key `key` extended by `subKey`, or an error.
LONG Locate(HKEY key, const char* subKey, OpenKey& target) {
  if (!HandleTable::Instance().Resolve(key, target)) return Fail(kInvalidHandle, "invalid key handle");
  if (!SplitPath(subKey, target.path))
    return Fail(kBadPathname, std::string("bad key path \"") + subKey + "\"");
  return kSuccess;
}

LONG KeyDeleted(const OpenKey& key) {
  return Fail(kKeyDeleted, "key \"" + PathText(key.path) + "\" was deleted");
}

LONG KeyNotFound(const std::vector<std::string>& path) {
  return Fail(kNotFound, "no key \"" + PathText(path) + "\"");
}

LONG ValueNotFound(const char* name) {
  return Fail(kNotFound, std::string("no value \"") + (name ? name : "") + "\"");
}

const char* NameOrDefault(const char* name) { return name ? name : ""; }

// The data as a query answers it: REG_SZ with its terminating zero.
DWORD QuerySize(const Value& v) { return static_cast<DWORD>(v.data.size() + (v.type == REG_SZ ? 1 : 0)); }

void CopyQueryData(const Value& v, BYTE* out) {
  std::copy(v.data.begin(), v.data.end(), out);
  if (v.type == REG_SZ) out[v.data.size()] = 0;
}

// Copies a name into a caller's buffer of `*chars` characters.
LONG CopyName(const std::string& name, char* out, DWORD* chars) {
  if (name.size() + 1 > *chars) return Fail(kMoreData, "name buffer too small");
  std::memcpy(out, name.c_str(), name.size() + 1);
  *chars = static_cast<DWORD>(name.size());
  return kSuccess;
}

}  // namespace

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD, REGSAM, const void*, PHKEY result,
                     DWORD* disposition) {
  if (!result) return Fail(kInvalidParameter, "RegCreateKeyExA: null result");
  *result = nullptr;
  OpenKey base, target;
  if (LONG rc = Locate(key, nullptr, base); rc != kSuccess) return rc;
  if (LONG rc = Locate(key, subKey, target); rc != kSuccess) return rc;
  if (target.path.size() > win::reg::kMaxKeyDepth)
    return Fail(static_cast<LONG>(ERROR_CANTWRITE),
                "a key cannot be nested deeper than " + std::to_string(win::reg::kMaxKeyDepth) + " levels");

  // An existing key is only opened, which a read-only hive allows too.
  bool exists = false;
  LONG rc = win::reg::ReadHive(target.hive, [&](const Node& root) {
    if (!Find(root, base.path)) return KeyDeleted(base);
    exists = Find(root, target.path) != nullptr;
    return kSuccess;
  });
  if (rc != kSuccess) return rc;
  bool created = false;
  if (!exists) {
    rc = win::reg::WriteHive(target.hive, [&](Node& root, bool& changed) {
      Node* node = Find(root, base.path);
      if (!node) return KeyDeleted(base);
      for (size_t i = base.path.size(); i < target.path.size(); ++i) {
        bool isNew = false;
        node = &node->AddChild(target.path[i], &isNew);
        created = created || isNew;
      }
      changed = created;
      return kSuccess;
    });
    if (rc != kSuccess) return rc;
  }
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = HandleTable::Instance().Add(std::move(target));
  return kSuccess;
}

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM, PHKEY result) {
  if (!result) return Fail(kInvalidParameter, "RegOpenKeyExA: null result");
  *result = nullptr;
  OpenKey base, target;
  if (LONG rc = Locate(key, nullptr, base); rc != kSuccess) return rc;
  if (LONG rc = Locate(key, subKey, target); rc != kSuccess) return rc;
  LONG rc = win::reg::ReadHive(target.hive, [&](const Node& root) {
    if (!Find(root, base.path)) return KeyDeleted(base);
    if (!Find(root, target.path)) return KeyNotFound(target.path);
    return kSuccess;
  });
  if (rc == kSuccess) *result = HandleTable::Instance().Add(std::move(target));
  return rc;
}

// Closing allocates nothing (it copies no path), so that it works when
// memory has run out: RegKey's destructor closes keys during unwinding too.
LONG RegCloseKey(HKEY key) {
  if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE)
    return kSuccess;  // predefined keys stay open
  if (!HandleTable::Instance().Remove(key)) return Fail(kInvalidHandle, "invalid key handle");
  return kSuccess;
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data, DWORD size) {
  if (!data && size) return Fail(kInvalidParameter, "RegSetValueExA: null data");
  if (type == REG_DWORD && size != 4)
    return Fail(kInvalidParameter, "RegSetValueExA: REG_DWORD data must be 4 bytes");
  Value v;
  v.name = NameOrDefault(valueName);
  v.type = type;
  if (size) v.data.assign(data, data + size);
  if (type == REG_SZ || type == REG_EXPAND_SZ)
    v.data.erase(std::find(v.data.begin(), v.data.end(), 0), v.data.end());

  OpenKey target;
  if (LONG rc = Locate(key, nullptr, target); rc != kSuccess) return rc;
  return win::reg::WriteHive(target.hive, [&](Node& root, bool& changed) {
    Node* node = Find(root, target.path);
    if (!node) return KeyDeleted(target);
    if (Value* old = node->FindValue(v.name)) {
      changed = old->type != v.type || old->data != v.data;
      old->type = v.type;  // the value keeps the name it was created with
      old->data = std::move(v.data);
    } else {
      node->values.push_back(std::move(v));
      changed = true;
    }
    return kSuccess;
  });
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
  if (data && !size) return Fail(kInvalidParameter, "RegQueryValueExA: data without size");
  OpenKey target;
  if (LONG rc = Locate(key, nullptr, target); rc != kSuccess) return rc;
  return win::reg::ReadHive(target.hive, [&](const Node& root) {
    const Node* node = Find(root, target.path);
    if (!node) return KeyDeleted(target);
    const Value* v = node->FindValue(NameOrDefault(valueName));
    if (!v) return ValueNotFound(valueName);
    if (type) *type = v->type;
    DWORD needed = QuerySize(*v);
    if (!size) return kSuccess;
    if (data && *size < needed) {
      *size = needed;
      return Fail(kMoreData, "RegQueryValueExA: buffer too small");
    }
    if (data) CopyQueryData(*v, data);
    *size = needed;
    return kSuccess;
  });
}

LONG RegDeleteValueA(HKEY key, const char* valueName) {
  OpenKey target;
  if (LONG rc = Locate(key, nullptr, target); rc != kSuccess) return rc;
  return win::reg::WriteHive(target.hive, [&](Node& root, bool& changed) {
    Node* node = Find(root, target.path);
    if (!node) return KeyDeleted(target);
    changed = node->RemoveValue(NameOrDefault(valueName));
    return changed ? kSuccess : ValueNotFound(valueName);
  });
}

LONG RegDeleteKeyA(HKEY key, const char* subKey) {
  if (!subKey) return Fail(kInvalidParameter, "RegDeleteKeyA: null subkey");
  OpenKey target;
  if (LONG rc = Locate(key, subKey, target); rc != kSuccess) return rc;
  if (target.path.empty()) return Fail(kAccessDenied, "a hive's root key cannot be deleted");
  return win::reg::WriteHive(target.hive, [&](Node& root, bool& changed) {
    std::vector<std::string> parentPath(target.path.begin(), target.path.end() - 1);
    Node* parent = Find(root, parentPath);
    Node* node = parent ? parent->Child(target.path.back()) : nullptr;
    if (!node) return KeyNotFound(target.path);
    if (!node->children.empty())
      return Fail(kAccessDenied, "key \"" + PathText(target.path) + "\" has subkeys");
    changed = parent->RemoveChild(target.path.back());
    return kSuccess;
  });
}

LONG RegDeleteTreeA(HKEY key, const char* subKey) {
  OpenKey target;
  if (LONG rc = Locate(key, subKey, target); rc != kSuccess) return rc;
  const bool wholeKey = subKey && *subKey;
  return win::reg::WriteHive(target.hive, [&](Node& root, bool& changed) {
    Node* node = Find(root, target.path);
    if (!node) return wholeKey ? KeyNotFound(target.path) : KeyDeleted(target);
    if (wholeKey) {
      std::vector<std::string> parentPath(target.path.begin(), target.path.end() - 1);
      changed = Find(root, parentPath)->RemoveChild(target.path.back());
    } else {
      changed = !node->children.empty() || !node->values.empty();
      node->children.clear();
      node->values.clear();
    }
    return kSuccess;
  });
}

LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameChars, DWORD*, char* keyClass,
                   DWORD* classChars, FILETIME* lastWriteTime) {
  if (!name || !nameChars) return Fail(kInvalidParameter, "RegEnumKeyExA: null name buffer");
  OpenKey target;
  if (LONG rc = Locate(key, nullptr, target); rc != kSuccess) return rc;
  return win::reg::ReadHive(target.hive, [&](const Node& root) {
    const Node* node = Find(root, target.path);
    if (!node) return KeyDeleted(target);
    if (index >= node->children.size()) return Fail(kNoMoreItems, "no more subkeys");
    const Node& child = *std::next(node->children.begin(), index)->second;
    if (LONG rc = CopyName(child.name, name, nameChars); rc != kSuccess) return rc;
    if (keyClass && classChars && *classChars) keyClass[0] = '\0';
    if (classChars) *classChars = 0;
    if (lastWriteTime) *lastWriteTime = FILETIME{0, 0};
    return kSuccess;
  });
}

LONG RegEnumValueA(HKEY key, DWORD index, char* valueName, DWORD* valueNameChars, DWORD*, DWORD* type,
                   BYTE* data, DWORD* size) {
  if (!valueName || !valueNameChars) return Fail(kInvalidParameter, "RegEnumValueA: null name buffer");
  if (data && !size) return Fail(kInvalidParameter, "RegEnumValueA: data without size");
  OpenKey target;
  if (LONG rc = Locate(key, nullptr, target); rc != kSuccess) return rc;
  return win::reg::ReadHive(target.hive, [&](const Node& root) {
    const Node* node = Find(root, target.path);
    if (!node) return KeyDeleted(target);
    if (index >= node->values.size()) return Fail(kNoMoreItems, "no more values");
    const Value& v = node->values[index];
    if (LONG rc = CopyName(v.name, valueName, valueNameChars); rc != kSuccess) return rc;
    if (type) *type = v.type;
    if (!size) return kSuccess;
    DWORD needed = QuerySize(v);
    if (data && *size < needed) {
      *size = needed;
      return Fail(kMoreData, "RegEnumValueA: data buffer too small");
    }
    if (data) CopyQueryData(v, data);
    *size = needed;
    return kSuccess;
  });
}

LONG RegQueryInfoKeyA(HKEY key, char* keyClass, DWORD* classChars, DWORD*, DWORD* subKeys,
                      DWORD* maxSubKeyLen, DWORD* maxClassLen, DWORD* values, DWORD* maxValueNameLen,
                      DWORD* maxValueLen, DWORD* securityDescriptorSize, FILETIME* lastWriteTime) {
  OpenKey target;
  if (LONG rc = Locate(key, nullptr, target); rc != kSuccess) return rc;
  return win::reg::ReadHive(target.hive, [&](const Node& root) {
    const Node* node = Find(root, target.path);
    if (!node) return KeyDeleted(target);
    DWORD longestKey = 0, longestName = 0, largest = 0;
    for (const auto& [folded, child] : node->children)
      longestKey = std::max(longestKey, static_cast<DWORD>(child->name.size()));
    for (const Value& v : node->values) {
      longestName = std::max(longestName, static_cast<DWORD>(v.name.size()));
      largest = std::max(largest, QuerySize(v));
    }
    if (keyClass && classChars && *classChars) keyClass[0] = '\0';
    if (classChars) *classChars = 0;
    if (subKeys) *subKeys = static_cast<DWORD>(node->children.size());
    if (maxSubKeyLen) *maxSubKeyLen = longestKey;
    if (maxClassLen) *maxClassLen = 0;
    if (values) *values = static_cast<DWORD>(node->values.size());
    if (maxValueNameLen) *maxValueNameLen = longestName;
    if (maxValueLen) *maxValueLen = largest;
    if (securityDescriptorSize) *securityDescriptorSize = 0;
    if (lastWriteTime) *lastWriteTime = FILETIME{0, 0};
    return kSuccess;
  });
}

namespace win {

void RegistryFlushCache() { reg::FlushHives(); }

}  // namespace win
