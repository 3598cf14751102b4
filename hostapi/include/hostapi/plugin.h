#pragma once
// The interfaces a device plug-in implements for the host, in the slot order
// the host calls them, and the classes of the DX 47x plug-in.
#include "com/unknown.h"
#include "hostapi/download.h"

struct IDeviceUI : IUnknown {
  // kind 1: `object` points to the device whose parameters are edited.
  virtual HRESULT SetDevice(LONG kind, IUnknown** object) = 0;
  // Runs the editor modally: S_OK saved, E_ABORT cancelled, else an error.
  virtual HRESULT Edit() = 0;
  static constexpr IID iid = MakeGuid("9E81CEC9-B33D-4E4D-B035-B1A26112A53C");
};

struct IDeviceEvents : IUnknown {
  // A device was added (source null) or copied from `source`.
  virtual HRESULT OnAddDevide(IUnknown* device, IUnknown* source) = 0;
  // A device is about to be removed.
  virtual HRESULT OnRemoveDevice(IUnknown* device) = 0;
  static constexpr IID iid = MakeGuid("234EE21F-1EAB-49B8-B05D-694AF34FB51F");
};

struct IDeviceDownload : IUnknown {
  // One step of a download; 0x00042B01 marks the last step.
  virtual HRESULT Download(IUnknown* deviceData, LONG a2, LONG a3, IStatusSink* status, BYTE mode,
                           ImageSegmentList* imageIn, ImageSegmentList* imageOut, IStream** procedures,
                           SHORT* progress) = 0;
  static constexpr IID iid = MakeGuid("FE7A6D92-E1DD-4521-BADA-8E34241938F3");
};

// The result of the last download step.
constexpr HRESULT DOWNLOAD_S_LAST_STEP = 0x00042B01;

// What Edit answers when its UI script failed (a failed expectation, a line
// it cannot parse, dialogs left open): nothing was saved, and the host must
// not take it for a cancel.
constexpr HRESULT EDIT_E_SCRIPT_FAILED = MakeHResult(0x80040201);
// What Edit answers when there is no display to show the editor on.
constexpr HRESULT EDIT_E_NO_DISPLAY = MakeHResult(0x80040202);

constexpr CLSID CLSID_DX470UI = MakeGuid("FBC6F216-BE6C-4F05-9AD8-FAFC5E7A357C");
constexpr CLSID CLSID_DX470DeviceEvent = MakeGuid("F47F7097-36DE-4F7B-A697-DADD5CA008F1");
constexpr CLSID CLSID_DX470Hawk = MakeGuid("948E5B16-7EF5-408F-8470-68D11F08587A");
constexpr GUID LIBID_DX470PLUGINLib = MakeGuid("E042966E-1AB5-41B2-8B12-7EB52BE1298F");
