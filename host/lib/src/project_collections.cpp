// Parameters, communication objects, associations and group addresses of a
// device, as 1-based collections.
#include "base/strings.h"
#include "host/project_com.h"
#include "host/project_objects.h"
#include "project_object.h"

namespace host {
namespace {

HRESULT MakeAssociationsObject(const Project& project, int64_t objectId, IAssociations** out);

// How many items one read of a collection found: a list's size, or a count.
template <class T>
int32_t CountOf(const std::vector<T>& items) {
  return static_cast<int32_t>(items.size());
}
int32_t CountOf(int32_t count) { return count; }

// A 1-based collection of what belongs to the row key_. Derived reads the
// items (Read) and makes the one at a position of that same read (MakeItem),
// so that Item checks the index against what it then takes the item from.
template <class Derived, class Base, class Item>
class ProjectCollection : public Base {
 public:
  HRESULT get_Count(LONG* count) override {
    if (!count) return E_POINTER;
    return CallGuarded([&] {
      *count = CountOf(Self().Read());
      return S_OK;
    });
  }
  HRESULT get_Item(VARIANT index, Item** item) override {
    if (!item) return E_POINTER;
    *item = nullptr;
    return CallGuarded([&] {
      auto items = Self().Read();
      int32_t position = 0;
      HRESULT hr = CollectionIndex(index, CountOf(items), &position);
      if (FAILED(hr)) return hr;
      return Self().MakeItem(items, position, item);
    });
  }

 private:
  Derived& Self() { return static_cast<Derived&>(*this); }
};

class CParameter : public ProjectObject<IParameter> {
 public:
  HRESULT get_DisplayOrder(LONG* order) override {
    if (!order) return E_POINTER;
    return CallGuarded([&] {
      *order = project_.DisplayOrder(key_);
      return S_OK;
    });
  }
};

class CDeviceParameter : public MarkedObject<IDeviceParameter> {
 public:
  HRESULT get_Parameter(IParameter** definition) override {
    return CallGuarded([&] {
      project_.DisplayOrder(key_);  // fails for a parameter that is gone
      return MakeObject<CParameter>(definition, project_, key_);
    });
  }
  HRESULT get_Value(VARIANT* value) override {
    if (!value) return E_POINTER;
    VariantInit(value);
    return CallGuarded([&] {
      int64_t revision = 0;
      StoredValue v = project_.ParameterValue(key_, &revision);
      mark_->ReadValue(revision);
      return DecodeValue(v.vt, v.bounds.data(), v.bounds.size(), v.data.data(), v.data.size(), value);
    });
  }
  HRESULT put_Value(VARIANT value) override {
    return CallGuarded([&] {
      StoredValue v;
      HRESULT hr = EncodeValue(value, &v);
      if (FAILED(hr)) return ReportError(hr, "this kind of value cannot be a parameter value");
      mark_->Wrote(project_.SetParameterValue(key_, v, mark_->Expected()));
      return S_OK;
    });
  }
};

// The parameters of a device, each read by its position when asked for.
class CDeviceParameters
    : public ProjectCollection<CDeviceParameters, MarkedObject<IDeviceParameters>, IDeviceParameter> {
 public:
  int32_t Read() const { return project_.ParameterCount(key_); }
  HRESULT MakeItem(int32_t, int32_t position, IDeviceParameter** item) {
    std::optional<int64_t> p = project_.ParameterAt(key_, position);
    if (!p) return E_INVALIDARG;
    return MakeObject<CDeviceParameter>(item, project_, *p, mark_);
  }
};

class CGroupAddress : public ProjectObject<IGroupAddress, uint16_t> {
 public:
  HRESULT get_GroupAddress(LONG* address) override {
    if (!address) return E_POINTER;
    *address = key_;
    return S_OK;
  }
  HRESULT Format(BSTR format, BSTR* text) override {
    if (!text) return E_POINTER;
    *text = nullptr;
    return CallGuarded([&] {
      std::string name = project_.GroupAddressName(key_).value_or(std::string());
      std::u16string result;
      HRESULT hr = FormatGroupAddress(
          key_, name, std::u16string_view(format ? format : u"", SysStringLen(format)), &result);
      if (FAILED(hr)) return ReportError(hr, "unknown group address format text");
      *text = com::Bstr(result).Detach();
      return *text ? S_OK : E_OUTOFMEMORY;
    });
  }
};

class CAssociation : public ProjectObject<IAssociation, uint16_t> {
 public:
  HRESULT get_GroupAddress(IGroupAddress** address) override {
    return MakeGroupAddressObject(project_, key_, address);
  }
};

// The group addresses of a communication object, in link order.
class CAssociations : public ProjectCollection<CAssociations, ProjectObject<IAssociations>, IAssociation> {
 public:
  std::vector<uint16_t> Read() const { return project_.Associations(key_); }
  HRESULT MakeItem(const std::vector<uint16_t>& all, int32_t position, IAssociation** item) {
    return MakeObject<CAssociation>(item, project_, all[position - 1]);
  }
};

class CCommObject : public ProjectObject<IDeviceCommunicationObject> {
 public:
  HRESULT get_CommunicationObjectNumber(LONG* number) override {
    if (!number) return E_POINTER;
    return CallGuarded([&] {
      *number = project_.CommObject(key_).number;
      return S_OK;
    });
  }
  HRESULT get_Name(BSTR* name) override {
    return CallGuarded([&] { return ReturnText(project_.CommObject(key_).name, name); });
  }
  HRESULT get_CommunicationObjectFunction(BSTR* function) override {
    return CallGuarded([&] { return ReturnText(project_.CommObject(key_).function, function); });
  }
  HRESULT get_Associations(IAssociations** associations) override {
    return CallGuarded([&] {
      project_.CommObject(key_);
      return MakeAssociationsObject(project_, key_, associations);
    });
  }
};

// The visible objects of a device, ordered by number.
class CCommObjects : public ProjectCollection<CCommObjects, ProjectObject<IDeviceCommunicationObjects>,
                                              IDeviceCommunicationObject> {
 public:
  std::vector<CommObjectInfo> Read() const { return project_.CommObjects(key_, true); }
  HRESULT MakeItem(const std::vector<CommObjectInfo>& all, int32_t position,
                   IDeviceCommunicationObject** item) {
    return MakeObject<CCommObject>(item, project_, all[position - 1].id);
  }
};

HRESULT MakeAssociationsObject(const Project& project, int64_t objectId, IAssociations** out) {
  return MakeObject<CAssociations>(out, project, objectId);
}

}  // namespace

HRESULT MakeParametersObject(const Project& project, int64_t deviceId, IDeviceParameters** out) {
  return MakeObject<CDeviceParameters>(out, project, deviceId, std::make_shared<ReadMark>());
}
HRESULT MakeParametersObject(const Project& project, int64_t deviceId, std::shared_ptr<ReadMark> mark,
                             IDeviceParameters** out) {
  return MakeObject<CDeviceParameters>(out, project, deviceId, std::move(mark));
}
HRESULT MakeCommObjectsObject(const Project& project, int64_t deviceId, IDeviceCommunicationObjects** out) {
  return MakeObject<CCommObjects>(out, project, deviceId);
}
HRESULT MakeGroupAddressObject(const Project& project, uint16_t address, IGroupAddress** out) {
  return MakeObject<CGroupAddress>(out, project, address);
}

}  // namespace host
