// The hive files: persistence, read-only and corrupt hives, several writers.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "temp_home.h"
#include "win/file.h"
#include "win/registry.h"

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

class HiveFileTest : public TempHomeTest {};

TEST_F(HiveFileTest, ValuesSurviveReloadAndFileIsReadable) {
  const std::string odd = "quote\" back\\slash\nnew\ttab\x01 \xC3\xA4\xE2\x82\xAC 100%";
  const std::string oddKey = "K%ey [1] \xC3\xBC\x02";
  {
    win::RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, ("Software\\" + oddKey).c_str()), L(ERROR_SUCCESS));
    EXPECT_EQ(key.SetString(nullptr, "default"), L(ERROR_SUCCESS));
    EXPECT_EQ(key.SetString(odd.c_str(), odd), L(ERROR_SUCCESS));
    EXPECT_EQ(key.SetDword("MainPositionX", 0xFFFFFFFFu), L(ERROR_SUCCESS));
    const uint8_t raw[] = {0, 0x7F, 0xFF};
    EXPECT_EQ(key.SetBinary("Raw", raw, 3), L(ERROR_SUCCESS));
    EXPECT_EQ(key.SetBinary("Empty", nullptr, 0), L(ERROR_SUCCESS));
    win::RegKey empty;
    EXPECT_EQ(empty.Create(key.Get(), "EmptyKey"), L(ERROR_SUCCESS));
  }
  const std::string text = ReadText(RegistryFile("HKCU.reg"));
  EXPECT_EQ(text.rfind("DX47X-HIVE 1\n", 0), 0u);
  EXPECT_NE(text.find("\"MainPositionX\"=dword:ffffffff\n"), std::string::npos);
  EXPECT_NE(text.find("\"Raw\"=hex(3):00,7f,ff\n"), std::string::npos);
  EXPECT_NE(text.find("\nEND\n"), std::string::npos);

  win::RegistryFlushCache();
  win::RegKey key;
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, ("Software\\" + oddKey).c_str()), L(ERROR_SUCCESS));
  std::string s;
  DWORD d = 0;
  std::vector<uint8_t> bytes;
  EXPECT_EQ(key.GetString("", s), L(ERROR_SUCCESS));
  EXPECT_EQ(s, "default");
  EXPECT_EQ(key.GetString(odd.c_str(), s), L(ERROR_SUCCESS));
  EXPECT_EQ(s, odd);
  EXPECT_EQ(key.GetDword("mainpositionx", d), L(ERROR_SUCCESS));
  EXPECT_EQ(d, 0xFFFFFFFFu);
  EXPECT_EQ(key.GetBinary("Raw", bytes), L(ERROR_SUCCESS));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0, 0x7F, 0xFF}));
  EXPECT_EQ(key.GetBinary("Empty", bytes), L(ERROR_SUCCESS));
  EXPECT_TRUE(bytes.empty());
  std::vector<std::string> names;
  EXPECT_EQ(key.SubKeyNames(names), L(ERROR_SUCCESS));
  EXPECT_EQ(names, std::vector<std::string>{"EmptyKey"});
  win::RegKey parent;
  ASSERT_EQ(parent.Open(HKEY_CURRENT_USER, "Software"), L(ERROR_SUCCESS));
  EXPECT_EQ(parent.SubKeyNames(names), L(ERROR_SUCCESS));
  EXPECT_EQ(names, std::vector<std::string>{oddKey});
}

TEST_F(HiveFileTest, ReadOnlyHiveRefusesWritesAndKeepsContent) {
  win::RegKey key;
  ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, "Software\\Vornak\\Corvanet\\OBX"), L(ERROR_SUCCESS));
  ASSERT_EQ(key.SetDword("XMLEnableCr", 1), L(ERROR_SUCCESS));
  key.Close();
  const std::string file = RegistryFile("HKLM.reg");
  const std::string before = ReadText(file);
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);

  // Opening an existing key through the create call still works; changes do not.
  ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, "Software\\Vornak\\Corvanet\\OBX"), L(ERROR_SUCCESS));
  EXPECT_EQ(key.SetDword("XMLEnableTab", 0), L(ERROR_ACCESS_DENIED));
  EXPECT_NE(win::RegistryLastError().find("read-only"), std::string::npos);
  EXPECT_EQ(key.DeleteValue("XMLEnableCr"), L(ERROR_ACCESS_DENIED));
  win::RegKey sub;
  EXPECT_EQ(sub.Create(key.Get(), "New"), L(ERROR_ACCESS_DENIED));
  EXPECT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software"), L(ERROR_ACCESS_DENIED));
  DWORD d = 0;
  EXPECT_EQ(key.GetDword("XMLEnableCr", d), L(ERROR_SUCCESS));
  EXPECT_EQ(d, 1u);
  EXPECT_EQ(ReadText(file), before);

  // Other hives stay writable; a read-only folder refuses even a new hive.
  EXPECT_EQ(sub.Create(HKEY_CURRENT_USER, "Fine"), L(ERROR_SUCCESS));
  ASSERT_EQ(chmod((home + "/registry").c_str(), 0555), 0);
  EXPECT_EQ(sub.Create(HKEY_CLASSES_ROOT, "NotFine"), L(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(win::FileExists(RegistryFile("HKCR.reg")));
}

TEST_F(HiveFileTest, CorruptHiveIsReportedAndNeverOverwritten) {
  win::RegKey key;
  ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, "CLSID\\{X}"), L(ERROR_SUCCESS));
  ASSERT_EQ(key.SetString("A", "one"), L(ERROR_SUCCESS));
  ASSERT_EQ(key.SetString("B", "two"), L(ERROR_SUCCESS));
  const std::string file = RegistryFile("HKCR.reg");
  const std::string full = ReadText(file);

  struct Case {
    std::string text;
    const char* why;
  };
  const Case cases[] = {
      {full.substr(0, full.find("\"B\"")), "truncated"},    // cut at a line end
      {full.substr(0, full.find("two") + 1), "line"},       // cut inside a line
      {"", "empty"},
      {"something else\n", "header"},
      {"DX47X-HIVE 1\n[HKEY_CLASSES_ROOT]\n\"v\"=\"bad \\q\"\nEND\n", "line 3"},
      {"DX47X-HIVE 1\n\"v\"=dword:1\nEND\n", "line 2"},
      {"DX47X-HIVE 1\n[HKEY_LOCAL_MACHINE\\X]\nEND\n", "line 2"},
  };
  for (const Case& c : cases) {
    WriteText(file, c.text);
    HKEY h = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &h), L(ERROR_REGISTRY_CORRUPT))
        << c.why;
    EXPECT_NE(win::RegistryLastError().find("HKCR.reg"), std::string::npos) << c.why;
    EXPECT_NE(win::RegistryLastError().find(c.why), std::string::npos) << win::RegistryLastError();
    EXPECT_EQ(key.SetString("C", "three"), L(ERROR_REGISTRY_CORRUPT)) << c.why;
    EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, nullptr), L(ERROR_REGISTRY_CORRUPT));
    EXPECT_EQ(ReadText(file), c.text);
  }
  // The other hives do not care, and a repaired file is read again.
  win::RegKey other;
  EXPECT_EQ(other.Create(HKEY_CURRENT_USER, "Ok"), L(ERROR_SUCCESS));
  WriteText(file, full);
  std::string s;
  EXPECT_EQ(key.GetString("B", s), L(ERROR_SUCCESS));
  EXPECT_EQ(s, "two");
}

TEST_F(HiveFileTest, ProcessesDoNotLoseEachOthersChanges) {
  win::RegKey key;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Shared"), L(ERROR_SUCCESS));
  ASSERT_EQ(key.SetDword("parent1", 1), L(ERROR_SUCCESS));  // cached here now

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child starts with the parent's cache and must still see the file.
    win::RegKey mine;
    bool ok = mine.Open(HKEY_CURRENT_USER, "Shared", KEY_ALL_ACCESS) == L(ERROR_SUCCESS);
    for (int i = 0; ok && i < 20; ++i)
      ok = mine.SetDword(("child" + std::to_string(i)).c_str(), static_cast<DWORD>(i)) ==
           L(ERROR_SUCCESS);
    _exit(ok ? 0 : 1);
  }
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(key.SetDword(("parent" + std::to_string(i + 2)).c_str(), 1), L(ERROR_SUCCESS));
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  std::vector<std::string> names;
  EXPECT_EQ(key.ValueNames(names), L(ERROR_SUCCESS));  // sees the child's values without a flush
  EXPECT_EQ(names.size(), 41u);
  win::RegistryFlushCache();
  EXPECT_EQ(key.ValueNames(names), L(ERROR_SUCCESS));
  EXPECT_EQ(names.size(), 41u);
}

TEST_F(HiveFileTest, ThreadsWritingDifferentKeysLoseNothing) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 25; ++i) {
        win::RegKey key;
        std::string path = "T" + std::to_string(t) + "\\K" + std::to_string(i);
        if (key.Create(HKEY_CURRENT_USER, path.c_str()) == L(ERROR_SUCCESS))
          key.SetDword("v", static_cast<DWORD>(t * 100 + i));
      }
    });
  }
  for (auto& th : threads) th.join();
  win::RegistryFlushCache();
  for (int t = 0; t < 4; ++t) {
    for (int i = 0; i < 25; ++i) {
      win::RegKey key;
      DWORD v = 0;
      std::string path = "T" + std::to_string(t) + "\\K" + std::to_string(i);
      ASSERT_EQ(key.Open(HKEY_CURRENT_USER, path.c_str()), L(ERROR_SUCCESS)) << path;
      EXPECT_EQ(key.GetDword("v", v), L(ERROR_SUCCESS));
      EXPECT_EQ(v, static_cast<DWORD>(t * 100 + i));
    }
  }
}

TEST_F(HiveFileTest, FollowsTheHomeFolder) {
  win::RegKey key;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Here"), L(ERROR_SUCCESS));
  key.Close();
  const std::string other = home + "/other";
  setenv("DX47X_HOME", other.c_str(), 1);
  EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Here"), L(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(key.Create(HKEY_CURRENT_USER, "There"), L(ERROR_SUCCESS));
  EXPECT_TRUE(win::FileExists(other + "/registry/HKCU.reg"));
  setenv("DX47X_HOME", home.c_str(), 1);
  EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Here"), L(ERROR_SUCCESS));

  // A home below a plain file is an error, not an empty registry.
  WriteText(home + "/plain", "x");
  setenv("DX47X_HOME", (home + "/plain").c_str(), 1);
  EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Here"), L(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(key.Create(HKEY_CURRENT_USER, "Here"), L(ERROR_PATH_NOT_FOUND));
  setenv("DX47X_HOME", home.c_str(), 1);
}

}  // namespace
