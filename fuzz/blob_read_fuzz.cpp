// Fuzz target of the plug-in's BLOB read path. A value as a project keeps it
// (type, array bounds, bytes) is decoded as the host decodes it and handed
// to the data object through its device's extension data, which reads and
// checks it. A BLOB the data object takes is then used as the plug-in uses
// one: its mirrored parameters, the image length of both configurations,
// the export into a parameter file read back (fuzzcheck::ExportAndImport),
// and the write back to the host, which must give the same bytes again.
//
// Input, by byte 0:
//   even: the stored value itself: vt (2 bytes, little-endian), the length of
//         the bounds (1 byte), the bounds, then the data bytes;
//   odd:  a valid BLOB (a new device's) with patches laid over it, each an
//         offset (3 bytes, little-endian, modulo the BLOB size), a length
//         (1 byte) and that many bytes; bit 1 keeps the version word.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "com/object.h"
#include "com/safearray.h"
#include "data/defaults.h"
#include "data/dx470data.h"
#include "data/records.h"
#include "download/lcdimage.h"
#include "host/project_value.h"
#include "image_check.h"
#include "isolated_home.h"

namespace {

using Blob = dx470::TYPE_DX470_BLOB_COMPLETE;

// A host device that keeps its extension data as a project does: in the
// stored form, decoded on every read.
class FuzzDevice : public IDevice, public IDeviceExtData, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDevice;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDevice, IDeviceExtData>(this, iid, ppv);
  }
  HRESULT get_Name(BSTR*) override { return E_NOTIMPL; }
  HRESULT get_Address(VARIANT*) override { return E_NOTIMPL; }
  HRESULT get_Line(ILine**) override { return E_NOTIMPL; }
  HRESULT get_ApplicationProgram(IApplicationProgram**) override { return E_NOTIMPL; }
  HRESULT get_DeviceParameters(IDeviceParameters**) override { return E_NOTIMPL; }
  HRESULT put_ParametersLoaded(LONG) override { return E_NOTIMPL; }
  HRESULT get_ParametersLoaded(LONG*) override { return E_NOTIMPL; }
  HRESULT get_VisibleDeviceCommunicationObjects(IDeviceCommunicationObjects**) override { return E_NOTIMPL; }
  HRESULT get_Project(IProject**) override { return E_NOTIMPL; }
  HRESULT get_ProductName(BSTR*) override { return E_NOTIMPL; }
  HRESULT get_ManufacturerName(BSTR*) override { return E_NOTIMPL; }
  HRESULT get_OrderNumber(BSTR*) override { return E_NOTIMPL; }
  HRESULT get_DeviceDescription(BSTR*) override { return E_NOTIMPL; }
  HRESULT get_ProgramName(BSTR*) override { return E_NOTIMPL; }

  HRESULT ReadExtData(BSTR, VARIANT* value) override {
    if (!value) return E_POINTER;
    VariantInit(value);
    return host::DecodeValue(stored.vt, stored.bounds.data(), stored.bounds.size(), stored.data.data(),
                             stored.data.size(), value);
  }
  HRESULT WriteExtData(BSTR, VARIANT value) override { return host::EncodeValue(value, &stored); }

  host::StoredValue stored;
};

// One data object for the whole run: it is large, and its logger looks up
// the host's trace service once.
CDX470Data& Data() {
  static CDX470Data* data = new CDX470Data;
  return *data;
}

const Blob& NewDeviceBlob() {
  static const Blob* blob = [] {
    auto* b = new Blob;
    dx470::InitBlob(*b, "Text?");
    return b;
  }();
  return *blob;
}

host::StoredValue FromStoredForm(const uint8_t* data, size_t size) {
  host::StoredValue v;
  if (size < 3) return v;
  v.vt = VARTYPE(data[0] | data[1] << 8);
  const size_t bounds = std::min<size_t>(data[2], size - 3);
  v.bounds.assign(data + 3, data + 3 + bounds);
  v.data.assign(data + 3 + bounds, data + size);
  return v;
}

host::StoredValue FromPatches(const uint8_t* data, size_t size, bool keepVersion) {
  std::vector<uint8_t> bytes(sizeof(Blob));
  std::memcpy(bytes.data(), &NewDeviceBlob(), sizeof(Blob));
  for (size_t at = 0; at + 4 <= size;) {
    const size_t offset = (data[at] | data[at + 1] << 8 | size_t(data[at + 2]) << 16) % sizeof(Blob);
    const size_t length = std::min<size_t>({data[at + 3], size - at - 4, sizeof(Blob) - offset});
    std::memcpy(bytes.data() + offset, data + at + 4, length);
    at += 4 + length;
  }
  if (keepVersion) std::memcpy(bytes.data(), &NewDeviceBlob().Version, sizeof(uint32_t));
  host::StoredValue v;
  v.vt = VT_ARRAY | VT_UI1;
  const uint32_t count = uint32_t(bytes.size());
  v.bounds = {0, 0, 0, 0, uint8_t(count), uint8_t(count >> 8), uint8_t(count >> 16), uint8_t(count >> 24)};
  v.data = std::move(bytes);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IsolateFromThisMachine();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  com::ComObject<FuzzDevice>* device = nullptr;
  if (FAILED(com::ComObject<FuzzDevice>::Create(nullptr, &device))) return 0;
  com::ComPtr<IDevice> keep(device);
  device->stored =
      data[0] & 1 ? FromPatches(data + 1, size - 1, data[0] & 2) : FromStoredForm(data + 1, size - 1);

  CDX470Data& object = Data();
  if (FAILED(object.EtsInit(static_cast<IDevice*>(device)))) return 0;
  static auto* before = new Blob;
  *before = object.Blob();
  if (FAILED(object.DataInit())) {
    // A refused BLOB leaves the data object as it was.
    if (std::memcmp(before, &object.Blob(), sizeof(Blob)) != 0)
      fuzzcheck::Fail("a refused BLOB changed the data");
    return 0;
  }
  if (device->stored.data.size() != sizeof(Blob) ||
      std::memcmp(device->stored.data.data(), &object.Blob(), sizeof(Blob)) != 0)
    fuzzcheck::Fail("the BLOB read is not the one stored");

  uint8_t mirrored[CDX470Data::kMirroredCount];
  object.BuildMirroredValues(mirrored);
  dx470::LcdImageLength(object.Blob().Current);
  dx470::LcdImageLength(object.Blob().Downloaded);
  fuzzcheck::ExportAndImport(object.Blob().Current);
  fuzzcheck::ExportAndImport(object.Blob().Downloaded);

  // What the plug-in writes, the host keeps and gives back unchanged.
  Blob* read = before;
  *read = object.Blob();
  if (FAILED(object.EtsWriteBlob(read))) fuzzcheck::Fail("the BLOB cannot be written back");
  std::memset(&object.Blob(), 0, sizeof(Blob));
  if (FAILED(object.DataInit())) fuzzcheck::Fail("the BLOB written back cannot be read");
  if (std::memcmp(read, &object.Blob(), sizeof(Blob)) != 0)
    fuzzcheck::Fail("the BLOB written back reads differently");
  return 0;
}
