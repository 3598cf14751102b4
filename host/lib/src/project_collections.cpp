// Parameters, communication objects, associations and group addresses of a
// device, as 1-based collections.
#include "base/strings.h"
#include "host/project_com.h"
#include "host/project_objects.h"

namespace host {
namespace {

HRESULT MakeAssociationsObject(const Project& project, int64_t objectId, IAssociations** out);

class CParameter : public IParameter, public com::ObjectRoot {
 public:
  using PrimaryInterface = IParameter;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IParameter>(this, iid, ppv);
  }
  void Init(const Project& project, int64_t id) {
    project_ = project;
    id_ = id;
  }
  HRESULT get_DisplayOrder(LONG* order) override {
    if (!order) return E_POINTER;
    return Guarded([&] {
      *order = project_.DisplayOrder(id_);
      return S_OK;
    });
  }

 private:
  Project project_{nullptr};
  int64_t id_ = 0;
};

class CDeviceParameter : public IDeviceParameter, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDeviceParameter;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDeviceParameter>(this, iid, ppv);
  }
  void Init(const Project& project, int64_t id, std::shared_ptr<ReadMark> mark) {
    project_ = project;
    id_ = id;
    mark_ = std::move(mark);
  }
  HRESULT get_Parameter(IParameter** definition) override {
    return Guarded([&] {
      project_.DisplayOrder(id_);  // fails for a parameter that is gone
      return MakeObject<CParameter>(definition, project_, id_);
    });
  }
  HRESULT get_Value(VARIANT* value) override {
    if (!value) return E_POINTER;
    VariantInit(value);
    return Guarded([&] {
      int64_t revision = 0;
      StoredValue v = project_.ParameterValue(id_, &revision);
      mark_->ReadValue(revision);
      return DecodeValue(v.vt, v.bounds.data(), v.bounds.size(), v.data.data(), v.data.size(),
                         value);
    });
  }
  HRESULT put_Value(VARIANT value) override {
    return Guarded([&] {
      StoredValue v;
      HRESULT hr = EncodeValue(value, &v);
      if (FAILED(hr)) return ReportError(hr, "this kind of value cannot be a parameter value");
      mark_->Wrote(project_.SetParameterValue(id_, v, mark_->Expected()));
      return S_OK;
    });
  }

 private:
  Project project_{nullptr};
  int64_t id_ = 0;
  std::shared_ptr<ReadMark> mark_;
};

class CDeviceParameters : public IDeviceParameters, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDeviceParameters;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDeviceParameters>(this, iid, ppv);
  }
  void Init(const Project& project, int64_t deviceId, std::shared_ptr<ReadMark> mark) {
    project_ = project;
    id_ = deviceId;
    mark_ = std::move(mark);
  }
  HRESULT get_Count(LONG* count) override {
    if (!count) return E_POINTER;
    return Guarded([&] {
      *count = project_.ParameterCount(id_);
      return S_OK;
    });
  }
  HRESULT get_Item(VARIANT index, IDeviceParameter** item) override {
    if (!item) return E_POINTER;
    *item = nullptr;
    return Guarded([&] {
      int32_t position = 0;
      HRESULT hr = CollectionIndex(index, project_.ParameterCount(id_), &position);
      if (FAILED(hr)) return hr;
      std::optional<int64_t> p = project_.ParameterAt(id_, position);
      if (!p) return E_INVALIDARG;
      return MakeObject<CDeviceParameter>(item, project_, *p, mark_);
    });
  }

 private:
  Project project_{nullptr};
  int64_t id_ = 0;
  std::shared_ptr<ReadMark> mark_;
};

class CGroupAddress : public IGroupAddress, public com::ObjectRoot {
 public:
  using PrimaryInterface = IGroupAddress;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IGroupAddress>(this, iid, ppv);
  }
  void Init(const Project& project, uint16_t address) {
    project_ = project;
    address_ = address;
  }
  HRESULT get_GroupAddress(LONG* address) override {
    if (!address) return E_POINTER;
    *address = address_;
    return S_OK;
  }
  HRESULT Format(BSTR format, BSTR* text) override {
    if (!text) return E_POINTER;
    *text = nullptr;
    return Guarded([&] {
      std::string name = project_.GroupAddressName(address_).value_or(std::string());
      std::u16string result;
      HRESULT hr = FormatGroupAddress(address_, name, std::u16string_view(format ? format : u"",
                                                                         SysStringLen(format)),
                                      &result);
      if (FAILED(hr)) return ReportError(hr, "unknown group address format text");
      *text = com::Bstr(result).Detach();
      return *text ? S_OK : E_OUTOFMEMORY;
    });
  }

 private:
  Project project_{nullptr};
  uint16_t address_ = 0;
};

class CAssociation : public IAssociation, public com::ObjectRoot {
 public:
  using PrimaryInterface = IAssociation;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IAssociation>(this, iid, ppv);
  }
  void Init(const Project& project, uint16_t address) {
    project_ = project;
    address_ = address;
  }
  HRESULT get_GroupAddress(IGroupAddress** address) override {
    return MakeGroupAddressObject(project_, address_, address);
  }

 private:
  Project project_{nullptr};
  uint16_t address_ = 0;
};

class CAssociations : public IAssociations, public com::ObjectRoot {
 public:
  using PrimaryInterface = IAssociations;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IAssociations>(this, iid, ppv);
  }
  void Init(const Project& project, int64_t objectId) {
    project_ = project;
    id_ = objectId;
  }
  HRESULT get_Count(LONG* count) override {
    if (!count) return E_POINTER;
    return Guarded([&] {
      *count = static_cast<LONG>(project_.Associations(id_).size());
      return S_OK;
    });
  }
  HRESULT get_Item(VARIANT index, IAssociation** item) override {
    if (!item) return E_POINTER;
    *item = nullptr;
    return Guarded([&] {
      std::vector<uint16_t> all = project_.Associations(id_);
      int32_t position = 0;
      HRESULT hr = CollectionIndex(index, static_cast<int32_t>(all.size()), &position);
      if (FAILED(hr)) return hr;
      return MakeObject<CAssociation>(item, project_, all[position - 1]);
    });
  }

 private:
  Project project_{nullptr};
  int64_t id_ = 0;
};

class CCommObject : public IDeviceCommunicationObject, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDeviceCommunicationObject;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDeviceCommunicationObject>(this, iid, ppv);
  }
  void Init(const Project& project, int64_t id) {
    project_ = project;
    id_ = id;
  }
  HRESULT get_CommunicationObjectNumber(LONG* number) override {
    if (!number) return E_POINTER;
    return Guarded([&] {
      *number = project_.CommObject(id_).number;
      return S_OK;
    });
  }
  HRESULT get_Name(BSTR* name) override {
    return Guarded([&] { return ReturnText(project_.CommObject(id_).name, name); });
  }
  HRESULT get_CommunicationObjectFunction(BSTR* function) override {
    return Guarded([&] { return ReturnText(project_.CommObject(id_).function, function); });
  }
  HRESULT get_Associations(IAssociations** associations) override {
    return Guarded([&] {
      project_.CommObject(id_);
      return MakeAssociationsObject(project_, id_, associations);
    });
  }

 private:
  Project project_{nullptr};
  int64_t id_ = 0;
};

// The visible objects of a device, ordered by number.
class CCommObjects : public IDeviceCommunicationObjects, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDeviceCommunicationObjects;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDeviceCommunicationObjects>(this, iid, ppv);
  }
  void Init(const Project& project, int64_t deviceId) {
    project_ = project;
    id_ = deviceId;
  }
  HRESULT get_Count(LONG* count) override {
    if (!count) return E_POINTER;
    return Guarded([&] {
      *count = static_cast<LONG>(project_.CommObjects(id_, true).size());
      return S_OK;
    });
  }
  HRESULT get_Item(VARIANT index, IDeviceCommunicationObject** item) override {
    if (!item) return E_POINTER;
    *item = nullptr;
    return Guarded([&] {
      std::vector<CommObjectInfo> all = project_.CommObjects(id_, true);
      int32_t position = 0;
      HRESULT hr = CollectionIndex(index, static_cast<int32_t>(all.size()), &position);
      if (FAILED(hr)) return hr;
      return MakeObject<CCommObject>(item, project_, all[position - 1].id);
    });
  }

 private:
  Project project_{nullptr};
  int64_t id_ = 0;
};

HRESULT MakeAssociationsObject(const Project& project, int64_t objectId, IAssociations** out) {
  return MakeObject<CAssociations>(out, project, objectId);
}

}  // namespace

HRESULT MakeParametersObject(const Project& project, int64_t deviceId, IDeviceParameters** out) {
  return MakeObject<CDeviceParameters>(out, project, deviceId, std::make_shared<ReadMark>());
}
HRESULT MakeParametersObject(const Project& project, int64_t deviceId,
                             std::shared_ptr<ReadMark> mark, IDeviceParameters** out) {
  return MakeObject<CDeviceParameters>(out, project, deviceId, std::move(mark));
}
HRESULT MakeCommObjectsObject(const Project& project, int64_t deviceId,
                              IDeviceCommunicationObjects** out) {
  return MakeObject<CCommObjects>(out, project, deviceId);
}
HRESULT MakeGroupAddressObject(const Project& project, uint16_t address, IGroupAddress** out) {
  return MakeObject<CGroupAddress>(out, project, address);
}

}  // namespace host
