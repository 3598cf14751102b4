// The device object and the objects reached from it directly: line, area,
// application program, project.
#include "base/strings.h"
#include "host/project_com.h"
#include "host/project_objects.h"
#include "project_object.h"

namespace host {
namespace {

class CDevice : public IDevice, public IDeviceExtData, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDevice;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDevice, IDeviceExtData>(this, iid, ppv);
  }
  void Init(const Project& project, int64_t id) {
    project_ = project;
    id_ = id;
  }

  HRESULT get_Name(BSTR* name) override {
    return CallGuarded([&] { return ReturnText(project_.DataOf(id_).name, name); });
  }
  HRESULT get_Address(VARIANT* address) override {
    return CallGuarded([&] { return ReturnLong(project_.AddressOf(id_).device, address); });
  }
  HRESULT get_Line(ILine** line) override {
    return CallGuarded([&] { return MakeLineObject(project_, project_.LineOf(id_), line); });
  }
  HRESULT get_ApplicationProgram(IApplicationProgram** program) override {
    return CallGuarded([&] {
      project_.LineOf(id_);  // fails for a deleted device
      return MakeProgramObject(project_, id_, program);
    });
  }
  HRESULT get_DeviceParameters(IDeviceParameters** parameters) override {
    return CallGuarded([&] {
      project_.LineOf(id_);
      return MakeParametersObject(project_, id_, mark_, parameters);
    });
  }
  HRESULT put_ParametersLoaded(LONG loaded) override {
    return CallGuarded([&] {
      project_.SetParametersLoaded(id_, loaded != 0);
      return S_OK;
    });
  }
  HRESULT get_ParametersLoaded(LONG* loaded) override {
    if (!loaded) return E_POINTER;
    return CallGuarded([&] {
      *loaded = project_.ParametersLoaded(id_) ? 1 : 0;
      return S_OK;
    });
  }
  HRESULT get_VisibleDeviceCommunicationObjects(IDeviceCommunicationObjects** objects) override {
    return CallGuarded([&] {
      project_.LineOf(id_);
      return MakeCommObjectsObject(project_, id_, objects);
    });
  }
  HRESULT get_Project(IProject** project) override {
    return CallGuarded([&] { return MakeProjectObject(project_, project); });
  }
  HRESULT get_ProductName(BSTR* text) override {
    return CallGuarded([&] { return ReturnText(project_.DataOf(id_).productName, text); });
  }
  HRESULT get_ManufacturerName(BSTR* text) override {
    return CallGuarded([&] { return ReturnText(project_.DataOf(id_).manufacturerName, text); });
  }
  HRESULT get_OrderNumber(BSTR* text) override {
    return CallGuarded([&] { return ReturnText(project_.DataOf(id_).orderNumber, text); });
  }
  HRESULT get_DeviceDescription(BSTR* text) override {
    return CallGuarded([&] { return ReturnText(project_.DataOf(id_).description, text); });
  }
  HRESULT get_ProgramName(BSTR* text) override {
    return CallGuarded([&] { return ReturnText(project_.DataOf(id_).programName, text); });
  }

  HRESULT ReadExtData(BSTR key, VARIANT* value) override {
    if (!value) return E_POINTER;
    VariantInit(value);
    if (SysStringLen(key) == 0) return E_INVALIDARG;
    return CallGuarded([&] {
      int64_t revision = 0;
      std::optional<StoredValue> v = project_.ReadExtData(id_, base::Utf16ToUtf8(key), &revision);
      mark_->ReadRecord(revision);
      if (!v) {
        value->vt = VT_NULL;
        return S_OK;
      }
      HRESULT hr =
          DecodeValue(v->vt, v->bounds.data(), v->bounds.size(), v->data.data(), v->data.size(), value);
      if (FAILED(hr)) return ReportError(hr, "the stored extension data is damaged");
      return hr;
    });
  }
  HRESULT WriteExtData(BSTR key, VARIANT value) override {
    if (SysStringLen(key) == 0) return E_INVALIDARG;
    return CallGuarded([&] {
      StoredValue v;
      HRESULT hr = EncodeValue(value, &v);
      if (FAILED(hr)) return ReportError(hr, "this kind of value cannot be stored as extension data");
      mark_->Wrote(project_.WriteExtData(id_, base::Utf16ToUtf8(key), v, mark_->Expected()));
      return S_OK;
    });
  }

 private:
  Project project_{nullptr};
  int64_t id_ = 0;
  std::shared_ptr<ReadMark> mark_ = std::make_shared<ReadMark>();
};

class CLine : public ProjectObject<ILine> {
 public:
  HRESULT get_Address(VARIANT* address) override {
    return CallGuarded([&] { return ReturnLong(project_.LineAddress(key_), address); });
  }
  HRESULT get_Parent(IArea** area) override {
    return CallGuarded([&] { return MakeAreaObject(project_, project_.AreaOfLine(key_), area); });
  }
};

class CArea : public ProjectObject<IArea> {
 public:
  HRESULT get_Address(VARIANT* address) override {
    return CallGuarded([&] { return ReturnLong(project_.AreaAddress(key_), address); });
  }
};

class CApplicationProgram : public ProjectObject<IApplicationProgram> {
 public:
  HRESULT get_Version(SHORT* version) override {
    if (!version) return E_POINTER;
    return CallGuarded([&] {
      *version = static_cast<SHORT>(project_.DataOf(key_).programVersion);
      return S_OK;
    });
  }
  HRESULT get_DeviceType(LONG* type) override {
    if (!type) return E_POINTER;
    return CallGuarded([&] {
      *type = project_.DataOf(key_).deviceType;
      return S_OK;
    });
  }
};

class CProject : public IProject, public com::ObjectRoot {
 public:
  using PrimaryInterface = IProject;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IProject>(this, iid, ppv);
  }
  void Init(const Project& project) { project_ = project; }
  HRESULT get_Name(BSTR* name) override {
    return CallGuarded([&] { return ReturnText(project_.Name(), name); });
  }

 private:
  Project project_{nullptr};
};

}  // namespace

HRESULT MakeDeviceObject(const Project& project, int64_t deviceId, IDevice** out) {
  return MakeObject<CDevice>(out, project, deviceId);
}
HRESULT MakeProjectObject(const Project& project, IProject** out) {
  return MakeObject<CProject>(out, project);
}
HRESULT MakeLineObject(const Project& project, int64_t lineId, ILine** out) {
  return MakeObject<CLine>(out, project, lineId);
}
HRESULT MakeAreaObject(const Project& project, int64_t areaId, IArea** out) {
  return MakeObject<CArea>(out, project, areaId);
}
HRESULT MakeProgramObject(const Project& project, int64_t deviceId, IApplicationProgram** out) {
  return MakeObject<CApplicationProgram>(out, project, deviceId);
}

}  // namespace host
