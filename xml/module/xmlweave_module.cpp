// XmlWeaveETS.so: the exported entry points, the class table of XMLReader
// and XMLWriter and their registration.
#include "base/export.h"
#include "com/object.h"
#include "win/modulepath.h"
#include "win/registry.h"
#include "xmlweave.h"
#include "xmlweave/xmlreader.h"
#include "xmlweave/xmlwriter.h"

namespace {

const com::ClassEntry kObjectMap[] = {
    {&CLSID_XMLReader, "XmlWeaveETS.XMLReader.1", "XmlWeaveETS.XMLReader", "XMLReader Class", "Both",
     &com::CreateInstance<xmlweave::CXMLReader>},
    {&CLSID_XMLWriter, "XmlWeaveETS.XMLWriter.1", "XmlWeaveETS.XMLWriter", "XMLWriter Class", "Both",
     &com::CreateInstance<xmlweave::CXMLWriter>},
};

// The type library's registration stays when the classes are unregistered.
const com::TypeLibInfo kTypeLib{LIBID_XMLWEAVELib, "XMLWEAVELib", "XmlWeave 1.0 Type Library", 1, 0, false};

com::Module& ComModule() {
  static com::Module module(kObjectMap, kTypeLib);
  return module;
}

// The identifiers as the class keys have always spelled them.
LONG SetExactText(const char* key, const char* text) {
  win::RegKey k;
  LONG rc = k.Open(HKEY_CLASSES_ROOT, key, KEY_ALL_ACCESS);
  return rc == ERROR_SUCCESS ? k.SetString(nullptr, text) : rc;
}

}  // namespace

extern "C" RT_API HRESULT DllCanUnloadNow() { return ComModule().CanUnloadNow(); }

extern "C" RT_API HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
  return ComModule().GetClassObject(clsid, iid, ppv);
}

extern "C" RT_API HRESULT DllRegisterServer() {
  HRESULT hr =
      ComModule().RegisterServer(win::ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer)));
  if (FAILED(hr)) return hr;
  const char* libid = "{68162412-D7BA-475d-A7BF-B846BD5C6901}";
  const char* writer = "{7AE52E4F-6FC5-4d45-864A-0592CFDB3F9C}";
  LONG rc = ERROR_SUCCESS;
  for (auto [key, text] : {std::pair{"CLSID\\{CDD887E4-85C2-4970-9FF8-75A4D531FBB7}\\TypeLib", libid},
                           {"CLSID\\{7AE52E4F-6FC5-4D45-864A-0592CFDB3F9C}\\TypeLib", libid},
                           {"XmlWeaveETS.XMLWriter.1\\CLSID", writer},
                           {"XmlWeaveETS.XMLWriter\\CLSID", writer}}) {
    LONG r = SetExactText(key, text);
    if (rc == ERROR_SUCCESS) rc = r;
  }
  return HRESULT_FROM_WIN32(DWORD(rc));
}

extern "C" RT_API HRESULT DllUnregisterServer() {
  ComModule().UnregisterServer();
  return S_OK;
}
