// The host's own download of a device's application data: it writes the
// device's parameter values, by display order, into the application area.
#include <cstring>

#include "com/barrier.h"
#include "com/memory.h"
#include "com/object.h"
#include "com/stream.h"
#include "com/variant.h"
#include "host/download_executor.h"
#include "host/host_download.h"
#include "hostapi/download.h"
#include "hostapi/procedures.h"

namespace host {
namespace {

class CHostDownload : public IHostDownload, public com::ObjectRoot {
 public:
  using PrimaryInterface = IHostDownload;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IHostDownload>(this, iid, ppv);
  }

  HRESULT Download(IUnknown* deviceData, LONG, LONG, IStatusSink*, BYTE, ImageSegmentList* imageOut,
                   IStream** procedures) override {
    return com::CallGuarded([&] { return AddApplicationData(deviceData, imageOut, procedures); });
  }

 private:
  static HRESULT AddApplicationData(IUnknown* deviceData, ImageSegmentList* imageOut, IStream** procedures) {
    if (!deviceData || !imageOut || !procedures) return E_POINTER;
    *procedures = nullptr;
    uint8_t values[kApplicationAreaLength] = {};
    HRESULT hr = ReadParameterValues(deviceData, values);
    if (FAILED(hr)) return hr;

    // One more segment at the application area, holding the values.
    const uint32_t count = imageOut->count + 1;
    auto* segments =
        static_cast<ImageSegment*>(CoTaskMemRealloc(imageOut->segments, sizeof(ImageSegment) * count));
    auto* data = static_cast<uint8_t*>(CoTaskMemAlloc(kApplicationAreaLength));
    if (!segments || !data) {
      CoTaskMemFree(data);
      if (segments) imageOut->segments = segments;
      return E_OUTOFMEMORY;
    }
    std::memcpy(data, values, kApplicationAreaLength);
    segments[count - 1] = ImageSegment{2, 0, kApplicationAreaStart, kApplicationAreaLength, data, nullptr};
    imageOut->segments = segments;
    imageOut->count = count;

    namespace proc = dx470::proc;
    const proc::Record records[] = {
        proc::Open(),
        proc::WriteRange(kApplicationAreaStart, kApplicationAreaStart + kApplicationAreaLength - 1),
        proc::Close(), proc::End()};
    com::ComPtr<IStream> stream;
    hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (FAILED(hr)) return hr;
    ULONG written = 0;
    hr = stream->Write(&proc::kProcedureGuid, sizeof(GUID), &written);
    if (SUCCEEDED(hr)) hr = stream->Write(records, sizeof records, &written);
    if (FAILED(hr)) return hr;
    *procedures = stream.Detach();
    return S_OK;
  }

  static HRESULT ReadParameterValues(IUnknown* deviceData, uint8_t (&values)[kApplicationAreaLength]) {
    com::ComPtr<IDownloadData> dd;
    HRESULT hr = deviceData->QueryInterface(IDownloadData::iid, dd.PpvSlot());
    com::ComPtr<IUnknown> unknown;
    if (SUCCEEDED(hr)) hr = dd->get_DeviceRef(&unknown);
    com::ComPtr<IDevice> device;
    if (SUCCEEDED(hr)) hr = unknown.As(&device);
    com::ComPtr<IDeviceParameters> params;
    if (SUCCEEDED(hr)) hr = device->get_DeviceParameters(&params);
    LONG count = 0;
    if (SUCCEEDED(hr)) hr = params->get_Count(&count);
    for (LONG i = 1; SUCCEEDED(hr) && i <= count; ++i) {
      com::ComPtr<IDeviceParameter> p;
      com::ComPtr<IParameter> definition;
      LONG order = 0;
      com::Variant value;
      hr = params->get_Item(com::Variant(int32_t(i)), &p);
      if (SUCCEEDED(hr)) hr = p->get_Parameter(&definition);
      if (SUCCEEDED(hr)) hr = definition->get_DisplayOrder(&order);
      if (SUCCEEDED(hr)) hr = p->get_Value(&value);
      if (SUCCEEDED(hr) && order >= 1 && order <= LONG(kApplicationAreaLength) &&
          SUCCEEDED(value.ChangeType(VT_I4)))
        values[order - 1] = uint8_t(value.lVal);
    }
    return hr;
  }
};

}  // namespace

com::ComPtr<IClassFactory> MakeHostDownloadFactory() { return com::ClassFactoryFor<CHostDownload>::Make(); }

}  // namespace host
