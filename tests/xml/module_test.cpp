// XmlWeaveETS.so and TraceServer.so as a host sees them: registration,
// class factories, unloading and the trace lines.
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/strings.h"
#include "com/cocreate.h"
#include "com/comptr.h"
#include "module_loading.h"
#include "temp_home.h"
#include "win/file.h"
#include "win/registry.h"
#include "xmlweave.h"

namespace {

// Registry reads of the tests.
std::string Read(const std::string& key, const char* value = nullptr) {
  return testsupport::RegistryString(key, value);
}
bool KeyExists(const std::string& key) { return testsupport::RegistryKeyExists(key); }

class XmlModule : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testsupport::LoadAndRegister(xml, "XmlWeaveETS.so"));
    ASSERT_TRUE(testsupport::LoadAndRegister(trace, "TraceServer.so"));
    canUnload = reinterpret_cast<DllCanUnloadNowFn>(xml.Symbol("DllCanUnloadNow"));
    getClassObject = reinterpret_cast<DllGetClassObjectFn>(xml.Symbol("DllGetClassObject"));
    ASSERT_TRUE(canUnload && getClassObject);
  }
  void TearDown() override {
    unsetenv("DX47X_TRACE");
    unsetenv("DX47X_TRACE_FILE");
  }

  testsupport::TempHome home;
  testsupport::TempDir dir;
  com::ServerModule xml, trace;
  DllCanUnloadNowFn canUnload = nullptr;
  DllGetClassObjectFn getClassObject = nullptr;
};

}  // namespace

TEST_F(XmlModule, RegistryKeysOfBothClasses) {
  const std::string libid = "{68162412-D7BA-475d-A7BF-B846BD5C6901}";
  struct Facts {
    const char* name;
    const char* clsid;
  } classes[] = {{"XMLReader", "{CDD887E4-85C2-4970-9FF8-75A4D531FBB7}"},
                 {"XMLWriter", "{7AE52E4F-6FC5-4d45-864A-0592CFDB3F9C}"}};
  for (const Facts& c : classes) {
    const std::string desc = std::string(c.name) + " Class";
    const std::string progId = std::string("XmlWeaveETS.") + c.name + ".1";
    const std::string vi = std::string("XmlWeaveETS.") + c.name;
    const std::string key = std::string("CLSID\\") + c.clsid;
    EXPECT_EQ(Read(progId), desc);
    EXPECT_EQ(Read(progId + "\\CLSID"), c.clsid);
    EXPECT_EQ(Read(vi), desc);
    EXPECT_EQ(Read(vi + "\\CLSID"), c.clsid);
    EXPECT_EQ(Read(vi + "\\CurVer"), progId);
    EXPECT_EQ(Read(key), desc);
    EXPECT_EQ(Read(key + "\\ProgID"), progId);
    EXPECT_EQ(Read(key + "\\VersionIndependentProgID"), vi);
    EXPECT_EQ(Read(key + "\\InprocServer32"), xml.Path());
    EXPECT_EQ(Read(key + "\\InprocServer32", "ThreadingModel"), "Both");
    EXPECT_EQ(Read(key + "\\TypeLib"), libid);
  }
  EXPECT_EQ(Read("TypeLib\\" + libid + "\\1.0"), "XmlWeave 1.0 Type Library");
  EXPECT_EQ(Read("TypeLib\\" + libid + "\\1.0", "Name"), "XMLWEAVELib");

  auto unreg = reinterpret_cast<DllRegisterServerFn>(xml.Symbol("DllUnregisterServer"));
  ASSERT_EQ(unreg(), S_OK);
  for (const Facts& c : classes) {
    EXPECT_FALSE(KeyExists(std::string("CLSID\\") + c.clsid));
    EXPECT_FALSE(KeyExists(std::string("XmlWeaveETS.") + c.name));
    EXPECT_FALSE(KeyExists(std::string("XmlWeaveETS.") + c.name + ".1"));
  }
  EXPECT_TRUE(KeyExists("CLSID"));
  EXPECT_EQ(Read("TypeLib\\" + libid + "\\1.0"), "XmlWeave 1.0 Type Library");
  EXPECT_EQ(unreg(), S_OK);  // again: nothing left to remove, still S_OK
}

TEST_F(XmlModule, FactoriesCountObjectsForUnloading) {
  EXPECT_EQ(canUnload(), S_OK);
  {
    com::ComPtr<IXMLReader> reader;
    com::ComPtr<IXMLWriter> writer;
    ASSERT_EQ(com::CreateInstance(CLSID_XMLReader, reader.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    ASSERT_EQ(com::CreateInstance(CLSID_XMLWriter, writer.ReleaseAndGetAddressOf()), S_OK);
    reader = nullptr;
    EXPECT_EQ(canUnload(), S_FALSE);
  }
  EXPECT_EQ(canUnload(), S_OK);

  com::ComPtr<IClassFactory> factory;
  ASSERT_EQ(getClassObject(CLSID_XMLWriter, IClassFactory::iid, factory.PpvSlot()), S_OK);
  EXPECT_EQ(canUnload(), S_FALSE);
  factory = nullptr;
  EXPECT_EQ(canUnload(), S_OK);
  EXPECT_EQ(getClassObject(IXMLReader::iid, IClassFactory::iid, factory.PpvSlot()),
            CLASS_E_CLASSNOTAVAILABLE);
}

TEST_F(XmlModule, InterfacesAndAggregation) {
  com::ComPtr<IUnknown> unknown;
  ASSERT_EQ(CoCreateInstance(CLSID_XMLReader, nullptr, CLSCTX_ALL, IUnknown::iid, unknown.PpvSlot()), S_OK);
  com::ComPtr<IUnknown> other;
  EXPECT_EQ(unknown->QueryInterface(IXMLWriter::iid, other.PpvSlot()), E_NOINTERFACE);
  EXPECT_EQ(unknown->QueryInterface(IDocumentHandler::iid, other.PpvSlot()), E_NOINTERFACE);

  // Aggregated: the inner object's IUnknown is its own, its interfaces
  // delegate to the outer object.
  struct Outer : IUnknown {
    ULONG refs = 1;
    HRESULT QueryInterface(REFIID, void** ppv) override {
      *ppv = this;
      ++refs;
      return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
  } outer;
  com::ComPtr<IUnknown> inner;
  ASSERT_EQ(CoCreateInstance(CLSID_XMLWriter, &outer, CLSCTX_ALL, IUnknown::iid, inner.PpvSlot()), S_OK);
  EXPECT_EQ(CoCreateInstance(CLSID_XMLWriter, &outer, CLSCTX_ALL, IXMLWriter::iid, other.PpvSlot()),
            CLASS_E_NOAGGREGATION);
  IXMLWriter* writer = nullptr;
  ASSERT_EQ(inner->QueryInterface(IXMLWriter::iid, reinterpret_cast<void**>(&writer)), S_OK);
  ULONG before = outer.refs;
  writer->AddRef();
  EXPECT_EQ(outer.refs, before + 1);
  writer->Release();
  writer->Release();
  EXPECT_EQ(canUnload(), S_FALSE);
  inner = nullptr;
  unknown = nullptr;
  EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(XmlModule, TraceLinesGoToTheTraceFile) {
  const std::string log = dir.File("trace.log");
  setenv("DX47X_TRACE", "2", 1);
  setenv("DX47X_TRACE_FILE", log.c_str(), 1);
  com::ComPtr<IXMLReader> reader;
  ASSERT_EQ(com::CreateInstance(CLSID_XMLReader, reader.ReleaseAndGetAddressOf()), S_OK);
  const std::string missing = dir.File("missing.xml");
  EXPECT_EQ(reader->ParseW(base::Utf8ToUtf16(missing).c_str()), MakeHResult(0x80070002));
  const std::string empty = dir.File("empty.xml");
  win::WriteFileAtomic(empty, std::string("<R><v t=\"i4\"/></R>"));
  EXPECT_EQ(reader->ParseW(base::Utf8ToUtf16(empty).c_str()), S_OK);

  std::vector<uint8_t> bytes;
  win::ReadWholeFile(log, bytes);
  std::string text(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("CXMLReader: ParseW: CreateFile failed with GetLastError = 2 xmlreader.cpp "),
            std::string::npos)
      << text;
  // Warnings only from level 3.
  EXPECT_EQ(text.find("No value exist"), std::string::npos);
  setenv("DX47X_TRACE", "3", 1);
  EXPECT_EQ(reader->ParseW(base::Utf8ToUtf16(empty).c_str()), S_OK);
  bytes.clear();
  win::ReadWholeFile(log, bytes);
  text.assign(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("W CSaxParser: ParseTag: No value exist for tag v in line = 1 dispatch.cpp "),
            std::string::npos)
      << text;

  // The writer's missing switches are warned about through a component of its own.
  com::ComPtr<IXMLWriter> writer;
  ASSERT_EQ(com::CreateInstance(CLSID_XMLWriter, writer.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(writer->WriteFileW(base::Utf8ToUtf16(dir.File("w.xml")).c_str()), S_OK);
  bytes.clear();
  win::ReadWholeFile(log, bytes);
  text.assign(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("CXMLWriter: GetRegDwordWithDefault: reg keyXMLEnableCr missing so use default =0"),
            std::string::npos)
      << text;
}

TEST_F(XmlModule, NothingIsTracedWhenTracingIsOff) {
  const std::string log = dir.File("trace.log");
  setenv("DX47X_TRACE_FILE", log.c_str(), 1);
  com::ComPtr<IXMLReader> reader;
  ASSERT_EQ(com::CreateInstance(CLSID_XMLReader, reader.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(reader->ParseW(u"/nonexistent/file.xml"), MakeHResult(0x80070003));
  EXPECT_FALSE(win::FileExists(log));
}
