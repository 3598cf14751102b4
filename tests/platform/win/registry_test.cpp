// Win32 semantics of the registry calls.
#include <cstring>
#include <string>
#include <vector>

#include "home_fixture.h"
#include "win/registry.h"

namespace {

class RegistryTest : public TempHomeTest {
 protected:
  HKEY CreateKey(HKEY parent, const char* path) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              L(ERROR_SUCCESS));
    return key;
  }
  void SetString(HKEY key, const char* name, const std::string& value) {
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1)),
              L(ERROR_SUCCESS));
  }
};

TEST_F(RegistryTest, QueryFollowsWindowsSizeRules) {
  HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Test");
  SetString(key, "Name", "hello");

  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, &type, nullptr, &size), L(ERROR_SUCCESS));
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 6u);  // with the terminating zero

  char small[3] = {'x', 'x', 'x'};
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
            L(ERROR_MORE_DATA));
  EXPECT_EQ(size, 6u);

  char exact[6];
  EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), &size),
            L(ERROR_SUCCESS));
  EXPECT_STREQ(exact, "hello");

  // Data without a size is refused; neither asks only whether the value exists.
  EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), nullptr),
            L(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, nullptr, nullptr), L(ERROR_SUCCESS));
  EXPECT_EQ(RegQueryValueExA(key, "Other", nullptr, nullptr, nullptr, nullptr), L(ERROR_FILE_NOT_FOUND));

  // A string set without its terminating zero is answered with one.
  EXPECT_EQ(RegSetValueExA(key, "Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3),
            L(ERROR_SUCCESS));
  size = sizeof exact;
  EXPECT_EQ(RegQueryValueExA(key, "Bare", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), &size),
            L(ERROR_SUCCESS));
  EXPECT_EQ(size, 4u);
  EXPECT_STREQ(exact, "abc");

  // A REG_DWORD is exactly four bytes.
  BYTE two[2] = {1, 2};
  EXPECT_EQ(RegSetValueExA(key, "D", 0, REG_DWORD, two, 2), L(ERROR_INVALID_PARAMETER));
  RegCloseKey(key);
}

TEST_F(RegistryTest, DefaultValueAndNamesIgnoreCase) {
  HKEY key = CreateKey(HKEY_CLASSES_ROOT, "CLSID\\{ABC}");
  SetString(key, nullptr, "My Class");
  SetString(key, "ThreadingModel", "Both");
  RegCloseKey(key);

  HKEY again = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "clsid\\{abc}", 0, KEY_READ, &again), L(ERROR_SUCCESS));
  char buf[32];
  DWORD size = sizeof buf;
  EXPECT_EQ(RegQueryValueExA(again, "", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size),
            L(ERROR_SUCCESS));
  EXPECT_STREQ(buf, "My Class");
  win::RegKey wrapped(again);
  std::string model;
  EXPECT_EQ(wrapped.GetString("threadingmodel", model), L(ERROR_SUCCESS));
  EXPECT_EQ(model, "Both");

  // Setting through another spelling replaces the value and keeps its name.
  EXPECT_EQ(wrapped.SetString("THREADINGMODEL", "Free"), L(ERROR_SUCCESS));
  std::vector<std::string> names;
  EXPECT_EQ(wrapped.ValueNames(names), L(ERROR_SUCCESS));
  EXPECT_EQ(names, (std::vector<std::string>{"", "ThreadingModel"}));

  // Creating an existing key in another spelling opens it and keeps its case.
  DWORD disposition = 0;
  HKEY opened = nullptr;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{abc}", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &opened, &disposition),
            L(ERROR_SUCCESS));
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(opened);
  win::RegKey clsid;
  ASSERT_EQ(clsid.Open(HKEY_CLASSES_ROOT, "CLSID"), L(ERROR_SUCCESS));
  EXPECT_EQ(clsid.SubKeyNames(names), L(ERROR_SUCCESS));
  EXPECT_EQ(names, (std::vector<std::string>{"{ABC}"}));
}

TEST_F(RegistryTest, WrapperChecksTypes) {
  win::RegKey key;
  DWORD disposition = 0;
  ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, "Software\\Vornak", KEY_ALL_ACCESS, &disposition),
            L(ERROR_SUCCESS));
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  EXPECT_EQ(key.SetDword("Flag", 7), L(ERROR_SUCCESS));
  EXPECT_EQ(key.SetString("Text", "x"), L(ERROR_SUCCESS));
  DWORD value = 0;
  std::string text;
  EXPECT_EQ(key.GetDword("Flag", value), L(ERROR_SUCCESS));
  EXPECT_EQ(value, 7u);
  EXPECT_EQ(key.GetString("Flag", text), L(ERROR_INVALID_DATA));
  EXPECT_EQ(key.GetDword("Text", value), L(ERROR_INVALID_DATA));
  EXPECT_EQ(key.GetDword("Missing", value), L(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(key.DeleteValue("Flag"), L(ERROR_SUCCESS));
  EXPECT_EQ(key.DeleteValue("Flag"), L(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryTest, DeleteKeyAndTree) {
  HKEY root = CreateKey(HKEY_CLASSES_ROOT, "A");
  RegCloseKey(CreateKey(root, "B\\C"));
  HKEY b = CreateKey(root, "B");
  SetString(b, "v", "1");

  // A key with subkeys is not deleted alone.
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "A\\B"), L(ERROR_ACCESS_DENIED));
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "A\\B\\C"), L(ERROR_SUCCESS));
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "A\\B\\C"), L(ERROR_FILE_NOT_FOUND));

  // Without a subkey the tree call empties the key and keeps it.
  RegCloseKey(CreateKey(b, "D\\E"));
  EXPECT_EQ(RegDeleteTreeA(b, nullptr), L(ERROR_SUCCESS));
  DWORD subKeys = 9, values = 9;
  EXPECT_EQ(RegQueryInfoKeyA(b, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr),
            L(ERROR_SUCCESS));
  EXPECT_EQ(subKeys, 0u);
  EXPECT_EQ(values, 0u);

  // With one it removes the key; open handles below then see it deleted.
  RegCloseKey(CreateKey(b, "F"));
  EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "a"), L(ERROR_SUCCESS));
  EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "a"), L(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegSetValueExA(b, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), L(ERROR_KEY_DELETED));
  HKEY gone = nullptr;
  EXPECT_EQ(RegCreateKeyExA(b, "G", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &gone, nullptr),
            L(ERROR_KEY_DELETED));
  EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "A", 0, KEY_READ, &gone), L(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(gone, nullptr);
  RegCloseKey(b);
  RegCloseKey(root);
}

TEST_F(RegistryTest, Enumeration) {
  HKEY key = CreateKey(HKEY_CURRENT_USER, "E");
  for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2"}) RegCloseKey(CreateKey(key, name));
  SetString(key, "z", "last");
  SetString(key, "a", "0123456789");

  std::vector<std::string> keys;
  char name[16];
  DWORD chars = 0;
  for (DWORD i = 0;; ++i) {
    chars = sizeof name;
    LONG rc = RegEnumKeyExA(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr);
    if (rc == L(ERROR_NO_MORE_ITEMS)) break;
    ASSERT_EQ(rc, L(ERROR_SUCCESS));
    EXPECT_EQ(chars, std::strlen(name));
    keys.push_back(name);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"Alpha", "ALPHA2", "beta", "gamma"}));
  chars = 5;  // "Alpha" needs six with its zero
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), L(ERROR_MORE_DATA));

  // Values come in creation order, with sizes as a query gives them.
  DWORD type = 0, size = 4;
  BYTE data[16];
  chars = sizeof name;
  EXPECT_EQ(RegEnumValueA(key, 1, name, &chars, nullptr, &type, data, &size), L(ERROR_MORE_DATA));
  EXPECT_EQ(size, 11u);
  size = sizeof data;
  chars = sizeof name;
  EXPECT_EQ(RegEnumValueA(key, 1, name, &chars, nullptr, &type, data, &size), L(ERROR_SUCCESS));
  EXPECT_STREQ(name, "a");
  EXPECT_STREQ(reinterpret_cast<char*>(data), "0123456789");
  chars = sizeof name;
  EXPECT_EQ(RegEnumValueA(key, 2, name, &chars, nullptr, nullptr, nullptr, nullptr), L(ERROR_NO_MORE_ITEMS));

  DWORD subKeys = 0, maxKey = 0, values = 0, maxName = 0, maxData = 0;
  EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, &maxKey, nullptr, &values, &maxName,
                             &maxData, nullptr, nullptr),
            L(ERROR_SUCCESS));
  EXPECT_EQ(subKeys, 4u);
  EXPECT_EQ(maxKey, 6u);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(maxName, 1u);
  EXPECT_EQ(maxData, 11u);
  RegCloseKey(key);
}

TEST_F(RegistryTest, HandlesAndPaths) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(reinterpret_cast<HKEY>(uintptr_t{0x1234}), "X", 0, KEY_READ, &key),
            L(ERROR_INVALID_HANDLE));
  EXPECT_EQ(RegCloseKey(nullptr), L(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(win::RegistryLastError().empty());

  key = CreateKey(HKEY_CURRENT_USER, "One\\Two\\");  // a trailing backslash is allowed
  EXPECT_EQ(RegCloseKey(key), L(ERROR_SUCCESS));
  EXPECT_EQ(RegCloseKey(key), L(ERROR_INVALID_HANDLE));
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), L(ERROR_SUCCESS));  // predefined keys stay usable
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "One\\Two", 0, KEY_READ, &key), L(ERROR_SUCCESS));
  RegCloseKey(key);

  for (const char* bad : {"\\One", "One\\\\Two"})
    EXPECT_NE(RegCreateKeyExA(HKEY_CURRENT_USER, bad, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              L(ERROR_SUCCESS))
        << bad;
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, ""), L(ERROR_ACCESS_DENIED));  // a hive's root stays

  // Hives are separate.
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "One", 0, KEY_READ, &key), L(ERROR_FILE_NOT_FOUND));
}

}  // namespace
