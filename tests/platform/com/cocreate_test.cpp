// Class lookup through HKCR: a class that is not registered and a registry
// that cannot be read are different failures, and the second says why.
#include "com/cocreate.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "com/comptr.h"
#include "com/errorinfo.h"
#include "com/guid.h"
#include "win/file.h"
#include "win/registry.h"

namespace {

constexpr LONG kOk = static_cast<LONG>(ERROR_SUCCESS);
constexpr CLSID kClsid = MakeGuid("0B1C2D3E-0000-4000-8000-0000000000C1");

class ClassLookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = getenv("DX47X_HOME")) m_oldHome = old;
    char pattern[] = "/tmp/dx47x-com-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_home = pattern;
    setenv("DX47X_HOME", m_home.c_str(), 1);
    win::RegistryFlushCache();
    SetErrorInfo(0, nullptr);
    ASSERT_EQ(win::CreateDirectories(m_home + "/registry"), ERROR_SUCCESS);
  }
  void TearDown() override {
    SetErrorInfo(0, nullptr);
    std::error_code ec;
    std::filesystem::remove_all(m_home, ec);
    if (m_oldHome)
      setenv("DX47X_HOME", m_oldHome->c_str(), 1);
    else
      unsetenv("DX47X_HOME");
    win::RegistryFlushCache();
  }

  std::string Hkcr() const { return m_home + "/registry/HKCR.reg"; }
  void WriteHkcr(const std::string& text) {
    std::ofstream(Hkcr(), std::ios::binary | std::ios::trunc) << text;
  }

  // The description of the error object the last call left, or "(none)".
  static std::string TakeErrorDescription() {
    com::ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info) return "(none)";
    com::Bstr text;
    if (FAILED(info->GetDescription(&text))) return "(no description)";
    return text.ToUtf8();
  }

  // Registers kClsid with a server module that does not exist, and the ProgID "Lookup.Test".
  void RegisterMissingServer() {
    win::RegKey key;
    const std::string clsid = "CLSID\\" + com::GuidToString(kClsid);
    ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, (clsid + "\\InprocServer32").c_str()), kOk);
    ASSERT_EQ(key.SetString(nullptr, m_home + "/no-such-module.so"), kOk);
    ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, "Lookup.Test\\CLSID"), kOk);
    ASSERT_EQ(key.SetString(nullptr, com::GuidToString(kClsid)), kOk);
  }

 private:
  std::string m_home;
  std::optional<std::string> m_oldHome;
};

TEST_F(ClassLookupTest, UnreadableRegistryIsNotAMissingClass) {
  const struct {
    const char* what;
    std::string text;
    const char* why;
  } cases[] = {
      {"corrupt", "DX47X-HIVE 1\n[HKEY_CLASSES_ROOT\\CLSID]\nthis is no hive line\nEND\n",
       "is corrupt: line 3: unrecognised line"},
      {"empty", "", "is corrupt: empty file"},
      {"truncated", "DX47X-HIVE 1\n[HKEY_CLASSES_ROOT\\CLSID]\n", "is corrupt: truncated"},
      {"not a hive", "<xml/>\n", "is corrupt: line 1: not a hive file"},
  };
  for (const auto& c : cases) {
    WriteHkcr(c.text);
    const std::string expected = "the registry file " + Hkcr() + " " + c.why;

    com::ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, object.PpvSlot()),
              REGDB_E_READREGDB)
        << c.what;
    EXPECT_EQ(object.Get(), nullptr);
    EXPECT_EQ(TakeErrorDescription().rfind(expected, 0), 0u) << c.what;

    com::ComPtr<IClassFactory> factory;
    EXPECT_EQ(CoGetClassObject(kClsid, CLSCTX_INPROC_SERVER, nullptr, IClassFactory::iid, factory.PpvSlot()),
              REGDB_E_READREGDB)
        << c.what;
    EXPECT_EQ(TakeErrorDescription().rfind(expected, 0), 0u) << c.what;

    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(u"Lookup.Test", &clsid), REGDB_E_READREGDB) << c.what;
    EXPECT_EQ(TakeErrorDescription().rfind(expected, 0), 0u) << c.what;
  }
}

TEST_F(ClassLookupTest, MissingClassStaysClassNotRegistered) {
  // No HKCR file at all, then one without the class: no error object is left.
  com::ComPtr<IUnknown> object;
  EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, object.PpvSlot()),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(TakeErrorDescription(), "(none)");
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"Lookup.Test", &clsid), MakeHResult(0x800401F3));
  EXPECT_EQ(CLSIDFromProgID(u"", &clsid), MakeHResult(0x800401F3));  // no name at all
  EXPECT_EQ(TakeErrorDescription(), "(none)");

  WriteHkcr("DX47X-HIVE 1\n[HKEY_CLASSES_ROOT\\CLSID\\" + com::GuidToString(kClsid) + "]\nEND\n");
  EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, object.PpvSlot()),
            REGDB_E_CLASSNOTREG);  // the class key without InprocServer32
  EXPECT_EQ(TakeErrorDescription(), "(none)");
}

TEST_F(ClassLookupTest, RegisteredClassIsFoundAgainAfterTheFileIsMended) {
  RegisterMissingServer();
  com::ComPtr<IUnknown> object;
  EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, object.PpvSlot()),
            CO_E_DLLNOTFOUND);  // found in the registry; the module is missing
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"Lookup.Test", &clsid), S_OK);
  EXPECT_EQ(clsid, kClsid);

  std::ifstream in(Hkcr(), std::ios::binary);
  const std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  WriteHkcr(good.substr(0, good.size() - 4));  // "END\n" lost
  EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, object.PpvSlot()),
            REGDB_E_READREGDB);
  EXPECT_NE(TakeErrorDescription().find("truncated"), std::string::npos);
  WriteHkcr(good);
  EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, object.PpvSlot()),
            CO_E_DLLNOTFOUND);
}

}  // namespace
