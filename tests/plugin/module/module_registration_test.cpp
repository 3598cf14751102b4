// Registers the real DX47x.so into a temporary registry and uses it the way
// a host does: through CoCreateInstance.
#include <gtest/gtest.h>

#include "com/cocreate.h"
#include "com/comptr.h"
#include "com/errorinfo.h"
#include "host/services.h"
#include "hostapi/plugin.h"
#include "temp_home.h"
#include "win/registry.h"

namespace {

// Registry reads of the tests.
std::string Read(const std::string& key, const char* value = nullptr) {
  return testsupport::RegistryString(key, value);
}
bool KeyExists(const std::string& key) { return testsupport::RegistryKeyExists(key); }

struct ClassFacts {
  CLSID clsid;
  const char* name;
  const char* threading;
  IID iid;
};
const ClassFacts kClasses[] = {
    {CLSID_DX470UI, "DX470UI", "Apartment", IDeviceUI::iid},
    {CLSID_DX470DeviceEvent, "DX470DeviceEvent", "Free", IDeviceEvents::iid},
    {CLSID_DX470Hawk, "DX470Hawk", "Free", IDeviceDownload::iid},
};

class PluginModule : public ::testing::Test {
 protected:
  void SetUp() override {
    path = testsupport::BinDir() + "/DX47x.so";
    ASSERT_EQ(module.Load(path), S_OK) << module.Error();
    canUnload = reinterpret_cast<DllCanUnloadNowFn>(module.Symbol("DllCanUnloadNow"));
    getClassObject = reinterpret_cast<DllGetClassObjectFn>(module.Symbol("DllGetClassObject"));
    auto reg = reinterpret_cast<DllRegisterServerFn>(module.Symbol("DllRegisterServer"));
    ASSERT_TRUE(canUnload && getClassObject && reg);
    ASSERT_EQ(reg(), S_OK) << win::RegistryLastError();
    path = module.Path();
  }

  testsupport::TempHome home;
  host::HostServices services;
  com::ServerModule module;
  std::string path;
  DllCanUnloadNowFn canUnload = nullptr;
  DllGetClassObjectFn getClassObject = nullptr;
};

TEST_F(PluginModule, RegistersEveryKeyAndRemovesThemAgain) {
  const std::string libid = "{E042966E-1AB5-41B2-8B12-7EB52BE1298F}";
  for (const ClassFacts& c : kClasses) {
    const std::string clsid = com::GuidToString(c.clsid);
    const std::string desc = std::string(c.name) + " Class";
    const std::string progId = std::string("DX470PlugIn.") + c.name + ".1";
    const std::string viProgId = std::string("DX470PlugIn.") + c.name;
    EXPECT_EQ(Read(progId), desc);
    EXPECT_EQ(Read(progId + "\\CLSID"), clsid);
    EXPECT_EQ(Read(viProgId), desc);
    EXPECT_EQ(Read(viProgId + "\\CLSID"), clsid);
    EXPECT_EQ(Read(viProgId + "\\CurVer"), progId);
    const std::string key = "CLSID\\" + clsid;
    EXPECT_EQ(Read(key), desc);
    EXPECT_EQ(Read(key + "\\ProgID"), progId);
    EXPECT_EQ(Read(key + "\\VersionIndependentProgID"), viProgId);
    EXPECT_EQ(Read(key + "\\InprocServer32"), path);
    EXPECT_EQ(Read(key + "\\InprocServer32", "ThreadingModel"), c.threading);
    EXPECT_EQ(Read(key + "\\TypeLib"), libid);
    EXPECT_EQ(Read("TypeLib\\" + libid + "\\1.0\\CoClasses\\" + clsid), desc);
  }
  EXPECT_EQ(Read("TypeLib\\" + libid + "\\1.0"), "DX470PlugIn 1.0 Type Library");
  EXPECT_EQ(Read("TypeLib\\" + libid + "\\1.0", "Name"), "DX470PLUGINLib");

  auto unreg = reinterpret_cast<DllRegisterServerFn>(module.Symbol("DllUnregisterServer"));
  ASSERT_EQ(unreg(), S_OK);
  for (const ClassFacts& c : kClasses) {
    EXPECT_FALSE(KeyExists("CLSID\\" + com::GuidToString(c.clsid)));
    EXPECT_FALSE(KeyExists(std::string("DX470PlugIn.") + c.name));
    EXPECT_FALSE(KeyExists(std::string("DX470PlugIn.") + c.name + ".1"));
  }
  EXPECT_FALSE(KeyExists("TypeLib\\" + libid));
  CLSID clsid;
  EXPECT_NE(CLSIDFromProgID(u"DX470PlugIn.DX470UI", &clsid), S_OK);
}

TEST_F(PluginModule, CreatesEachClassThroughCom) {
  for (const ClassFacts& c : kClasses) {
    SCOPED_TRACE(c.name);
    com::ComPtr<IUnknown> unknown;
    ASSERT_EQ(CoCreateInstance(c.clsid, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, unknown.PpvSlot()),
              S_OK);
    com::ComPtr<IUnknown> iface, again, viaIface;
    ASSERT_EQ(unknown->QueryInterface(c.iid, iface.PpvSlot()), S_OK);
    // IUnknown identity: asking any interface for IUnknown gives one pointer.
    ASSERT_EQ(iface->QueryInterface(IUnknown::iid, viaIface.PpvSlot()), S_OK);
    EXPECT_EQ(viaIface.Get(), unknown.Get());
    EXPECT_EQ(unknown->QueryInterface(IClassFactory::iid, again.PpvSlot()), E_NOINTERFACE);

    com::ComPtr<ISupportErrorInfo> sei;
    if (c.clsid == CLSID_DX470DeviceEvent) {
      EXPECT_EQ(unknown.As(&sei), E_NOINTERFACE);
    } else {
      ASSERT_EQ(unknown.As(&sei), S_OK);
      EXPECT_EQ(sei->InterfaceSupportsErrorInfo(c.iid), S_OK);
      EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IUnknown::iid), S_FALSE);
    }
  }
  CLSID byProgId;
  ASSERT_EQ(CLSIDFromProgID(u"DX470PlugIn.DX470Hawk.1", &byProgId), S_OK);
  EXPECT_EQ(byProgId, CLSID_DX470Hawk);
}

TEST_F(PluginModule, CanUnloadOnlyWhenNothingIsHeld) {
  CoFreeUnusedLibraries();
  EXPECT_EQ(canUnload(), S_OK);
  {
    com::ComPtr<IDeviceUI> ui;
    ASSERT_EQ(com::CreateInstance(CLSID_DX470UI, &ui), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
  }
  EXPECT_EQ(canUnload(), S_OK);
  {
    com::ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_DX470Hawk, IClassFactory::iid, factory.PpvSlot()), S_OK);
    EXPECT_EQ(canUnload(), S_FALSE);
    factory->LockServer(TRUE);
    factory = nullptr;
    EXPECT_EQ(canUnload(), S_FALSE);  // the server lock remains
    ASSERT_EQ(getClassObject(CLSID_DX470Hawk, IClassFactory::iid, factory.PpvSlot()), S_OK);
    factory->LockServer(FALSE);
  }
  EXPECT_EQ(canUnload(), S_OK);
  void* unknownClass = nullptr;
  EXPECT_EQ(getClassObject(IUnknown::iid, IClassFactory::iid, &unknownClass), CLASS_E_CLASSNOTAVAILABLE);
}

// An outer object that aggregates a plug-in class.
class Outer final : public IUnknown {
 public:
  HRESULT QueryInterface(REFIID iid, void** ppv) override {
    if (iid == IUnknown::iid) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    return inner->QueryInterface(iid, ppv);
  }
  ULONG AddRef() override { return ++ref; }
  ULONG Release() override { return --ref; }
  ULONG ref = 1;
  com::ComPtr<IUnknown> inner;
};

TEST_F(PluginModule, AggregationNeedsIUnknownAndDelegates) {
  Outer outer;
  void* p = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_DX470Hawk, &outer, CLSCTX_INPROC_SERVER, IDeviceDownload::iid, &p),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(p, nullptr);
  ASSERT_EQ(
      CoCreateInstance(CLSID_DX470Hawk, &outer, CLSCTX_INPROC_SERVER, IUnknown::iid, outer.inner.PpvSlot()),
      S_OK);
  com::ComPtr<IDeviceDownload> download;
  ASSERT_EQ(outer.inner->QueryInterface(IDeviceDownload::iid, download.PpvSlot()), S_OK);
  EXPECT_EQ(outer.ref, 2u);  // the interface counts on the outer object
  com::ComPtr<IUnknown> identity;
  ASSERT_EQ(download->QueryInterface(IUnknown::iid, identity.PpvSlot()), S_OK);
  EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(&outer));
  identity = nullptr;
  download = nullptr;
  EXPECT_EQ(outer.ref, 1u);
  EXPECT_EQ(canUnload(), S_FALSE);
  outer.inner = nullptr;
  EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(PluginModule, EditorEntryChecksItsArguments) {
  com::ComPtr<IDeviceUI> ui;
  ASSERT_EQ(com::CreateInstance(CLSID_DX470UI, &ui), S_OK);
  EXPECT_EQ(ui->Edit(), E_POINTER);  // no device yet
  EXPECT_EQ(ui->SetDevice(1, nullptr), E_POINTER);
  // Any object serves as the device here; not the editor itself, which would
  // then hold a reference to itself.
  com::ComPtr<IUnknown> other;
  ASSERT_EQ(CoCreateInstance(CLSID_DX470Hawk, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, other.PpvSlot()),
            S_OK);
  IUnknown* device = other.Get();
  EXPECT_EQ(ui->SetDevice(2, &device), E_FAIL);
  EXPECT_EQ(ui->Edit(), E_POINTER);  // the refused device was not kept
  EXPECT_EQ(ui->SetDevice(1, &device), S_OK);
}

TEST_F(PluginModule, DownloadRefusesNullPointers) {
  com::ComPtr<IDeviceDownload> hawk;
  ASSERT_EQ(com::CreateInstance(CLSID_DX470Hawk, &hawk), S_OK);
  ImageSegmentList in{}, out{};
  IStream* procedures = nullptr;
  SHORT progress = 0;
  EXPECT_EQ(hawk->Download(nullptr, 0, 0, nullptr, 1, nullptr, &out, &procedures, &progress), E_POINTER);
  EXPECT_EQ(hawk->Download(nullptr, 0, 0, nullptr, 1, &in, &out, &procedures, nullptr), E_POINTER);
}

TEST(ComRuntime, UnknownClassIsNotRegistered) {
  testsupport::TempHome home;
  void* p = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_DX470UI, nullptr, CLSCTX_ALL, IUnknown::iid, &p), REGDB_E_CLASSNOTREG);
}

}  // namespace
