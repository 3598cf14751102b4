// The hive files: persistence, read-only and corrupt hives, several writers.
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "home_fixture.h"
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
      {full.substr(0, full.find("\"B\"")), "truncated"},  // cut at a line end
      {full.substr(0, full.find("two") + 1), "line"},     // cut inside a line
      {"", "empty"},
      {"something else\n", "header"},
      {"DX47X-HIVE 1\n[HKEY_CLASSES_ROOT]\n\"v\"=\"bad \\q\"\nEND\n", "line 3"},
      {"DX47X-HIVE 1\n\"v\"=dword:1\nEND\n", "line 2"},
      {"DX47X-HIVE 1\n[HKEY_LOCAL_MACHINE\\X]\nEND\n", "line 2"},
  };
  for (const Case& c : cases) {
    WriteText(file, c.text);
    HKEY h = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &h), L(ERROR_REGISTRY_CORRUPT)) << c.why;
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

// Key names and values that only a file can hold outlive changes through the
// calls: each rewritten file reads again as the same keys and values.
TEST_F(HiveFileTest, ChangesKeepWhatOnlyTheFileCouldHold) {
  using namespace std::string_literals;
  const std::string file = RegistryFile("HKCR.reg");
  ASSERT_EQ(win::CreateDirectories(home + "/registry"), ERROR_SUCCESS);
  WriteText(file,
            "DX47X-HIVE 1\n"
            "[HKEY_CLASSES_ROOT\\nul%00name]\n"
            "[HKEY_CLASSES_ROOT\\raw\0nul]\n"s
            "[HKEY_CLASSES_ROOT\\back%5Cslash]\n"
            "[HKEY_CLASSES_ROOT\\K]\n"
            "\"zero\"=hex(1):61,00,62\n"
            "END\n");
  std::vector<std::string> expected{"back\\slash", "K", "nul\0name"s, "raw\0nul"s};
  for (const char* change : {"Changed", "More"}) {
    win::RegKey changed;
    ASSERT_EQ(changed.Create(HKEY_CLASSES_ROOT, change), L(ERROR_SUCCESS)) << win::RegistryLastError();
    expected.push_back(change);
    std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
      return strcasecmp(a.c_str(), b.c_str()) < 0;
    });
    win::RegistryFlushCache();

    win::RegKey root;
    ASSERT_EQ(root.Open(HKEY_CLASSES_ROOT, nullptr), L(ERROR_SUCCESS)) << win::RegistryLastError();
    std::vector<std::string> names;
    EXPECT_EQ(root.SubKeyNames(names), L(ERROR_SUCCESS));
    EXPECT_EQ(names, expected);  // a backslash inside a name is no level
    win::RegKey key;
    ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, "K"), L(ERROR_SUCCESS));
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExA(key.Get(), "zero", nullptr, &type, nullptr, &size), L(ERROR_SUCCESS));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 4u);  // "a", 0, "b" and the terminating zero
    std::string s;
    EXPECT_EQ(key.GetString("zero", s), L(ERROR_SUCCESS));
    EXPECT_EQ(s, "a\0b"s);
    const std::string text = ReadText(file);
    for (const char* line : {"[HKEY_CLASSES_ROOT\\back%5cslash]\n", "[HKEY_CLASSES_ROOT\\nul%00name]\n",
                             "[HKEY_CLASSES_ROOT\\raw%00nul]\n", "\"zero\"=\"a\\x00b\"\n"})
      EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
  }
}

TEST_F(HiveFileTest, HiveThatIsNoRegularFileOrTooLargeIsRefused) {
  const std::string dir = home + "/registry";
  const std::string file = RegistryFile("HKCR.reg");
  ASSERT_EQ(win::CreateDirectories(dir), ERROR_SUCCESS);
  struct Case {
    const char* what;
    std::function<void()> make;
    const char* why;
  };
  const Case cases[] = {
      {"/dev/zero", [&] { ASSERT_EQ(symlink("/dev/zero", file.c_str()), 0); }, "not a regular file"},
      {"fifo", [&] { ASSERT_EQ(mkfifo(file.c_str(), 0600), 0); }, "not a regular file"},
      {"folder", [&] { ASSERT_EQ(mkdir(file.c_str(), 0700), 0); }, "not a regular file"},
      {"huge",
       [&] {
         WriteText(file, "DX47X-HIVE 1\n");
         ASSERT_EQ(truncate(file.c_str(), (off_t{16} << 20) + 1), 0);  // sparse
       },
       "is corrupt: larger than 16777216 bytes"},
  };
  for (const Case& c : cases) {
    c.make();
    struct stat before {};
    ASSERT_EQ(lstat(file.c_str(), &before), 0);
    const auto start = std::chrono::steady_clock::now();
    HKEY h = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &h), L(ERROR_REGISTRY_CORRUPT))
        << c.what;
    EXPECT_NE(win::RegistryLastError().find("the registry file " + file), std::string::npos)
        << win::RegistryLastError();
    EXPECT_NE(win::RegistryLastError().find(c.why), std::string::npos) << win::RegistryLastError();
    win::RegKey key;
    EXPECT_EQ(key.Create(HKEY_CLASSES_ROOT, "CLSID"), L(ERROR_REGISTRY_CORRUPT)) << c.what;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.what;
    struct stat after {};
    ASSERT_EQ(lstat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << c.what;  // left in place
    EXPECT_EQ(after.st_size, before.st_size) << c.what;
    std::filesystem::remove(file);
  }
}

TEST_F(HiveFileTest, ChangesBeyondTheBoundsFailAndLeaveTheFile) {
  win::RegKey key;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Keep"), L(ERROR_SUCCESS));
  ASSERT_EQ(key.SetDword("v", 1), L(ERROR_SUCCESS));
  const std::string file = RegistryFile("HKCU.reg");
  const std::string before = ReadText(file);

  // 512 levels below the root are fine, in one call or step by step.
  std::string path = "Deep";
  for (int i = 1; i < 512; ++i) path += "\\k";
  win::RegKey deep;
  ASSERT_EQ(deep.Create(HKEY_CURRENT_USER, path.c_str()), L(ERROR_SUCCESS)) << win::RegistryLastError();
  win::RegKey deeper;
  EXPECT_EQ(deeper.Create(deep.Get(), "x"), L(ERROR_CANTWRITE));
  EXPECT_NE(win::RegistryLastError().find("deeper than 512 levels"), std::string::npos);
  EXPECT_EQ(deeper.Create(HKEY_CURRENT_USER, (path + "\\x\\y").c_str()), L(ERROR_CANTWRITE));
  const std::string withDeep = ReadText(file);
  EXPECT_NE(withDeep, before);

  // A value that would make the file larger than the reader takes.
  std::vector<uint8_t> big(size_t{6} << 20, 0x5A);
  EXPECT_EQ(key.SetBinary("big", big.data(), static_cast<DWORD>(big.size())), L(ERROR_CANTWRITE));
  EXPECT_NE(win::RegistryLastError().find("larger than 16777216 bytes"), std::string::npos)
      << win::RegistryLastError();
  EXPECT_EQ(ReadText(file), withDeep);
  std::vector<uint8_t> got;
  EXPECT_EQ(key.GetBinary("big", got), L(ERROR_FILE_NOT_FOUND));  // not kept in the cache either
  win::RegistryFlushCache();
  DWORD v = 0;
  EXPECT_EQ(key.GetDword("v", v), L(ERROR_SUCCESS));
  EXPECT_EQ(v, 1u);
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
      ok = mine.SetDword(("child" + std::to_string(i)).c_str(), static_cast<DWORD>(i)) == L(ERROR_SUCCESS);
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
