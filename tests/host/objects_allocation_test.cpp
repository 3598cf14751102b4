// The host's COM objects with their allocations failing one by one: the
// device and its extension data, what is reached from it (line, area,
// program, project, parameters, communication objects, associations, group
// addresses), the host services, and the download data and status sink that
// a download step gets. Every method returns (nothing is thrown through it)
// with its usual answer or E_OUTOFMEMORY; a call that failed answered
// nothing and changed nothing, a call that succeeded did all of its work,
// and the object goes on working.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/strings.h"
#include "com/cocreate.h"
#include "com/errorinfo.h"
#include "com/memory.h"
#include "com/object.h"
#include "failing_allocation.h"
#include "host/download_executor.h"
#include "host/project_blob.h"
#include "host/project_store.h"
#include "host/services.h"
#include "hostapi/download.h"
#include "hostapi/plugin.h"
#include "hostapi/services.h"
#include "project_fixture.h"
#include "win/file.h"

namespace {

using projecttest::ByteArray;
using testsupport::AllocationRun;

// One entry point: the call whose allocations fail, what it answered or
// changed (read with allocations allowed), the scene it starts from, and
// what else a failed call may leave than what it found.
struct Entry {
  std::string name;
  std::function<HRESULT()> call;
  std::function<std::string()> observe;
  std::function<void()> reset = [] {};
  std::function<bool(const std::string&)> alsoOnFailure = [](const std::string&) { return false; };
};

// Runs every entry once for each allocation it makes and returns how many
// allocations were failed in turn.
uint64_t ExpectEveryEntrySurvives(const std::vector<Entry>& entries) {
  uint64_t points = 0;
  for (const Entry& e : entries) {
    SCOPED_TRACE(e.name);
    e.reset();
    const HRESULT baseline = e.call();
    const std::string with = e.observe();
    EXPECT_TRUE(SUCCEEDED(baseline)) << base::Format("0x%08X", uint32_t(baseline));
    e.reset();
    const std::string without = e.observe();
    const auto sweep =
        testsupport::ForEachAllocation(e.reset, e.call, [&](const AllocationRun<HRESULT>& run) {
          SCOPED_TRACE("allocation " + std::to_string(run.failingAllocation) + " refused");
          EXPECT_FALSE(run.threw) << "an exception left the method";
          const std::string state = e.observe();
          if (!run.threw && (!run.refused || run.result == baseline)) {
            EXPECT_EQ(run.result, baseline);
            EXPECT_EQ(state, with) << "the call succeeded but did not do all of its work";
          } else if (!run.threw) {
            EXPECT_EQ(run.result, E_OUTOFMEMORY);
            EXPECT_TRUE(state == without || e.alsoOnFailure(state)) << "the failed call left\n"
                                                                    << state << "\ninstead of\n"
                                                                    << without;
          }
          e.reset();
          EXPECT_EQ(e.call(), baseline);
          EXPECT_EQ(e.observe(), with) << "the object no longer works";
        });
    EXPECT_TRUE(sweep.complete);
    points += sweep.allocations;
  }
  return points;
}

// An answer of type T, kept between the call and its observation; reset to
// `initial` before every call.
template <class T>
Entry Answering(
    std::string name, std::function<HRESULT(T&)> call, std::function<std::string(const T&)> describe,
    std::function<void(T&)> initial = [](T& slot) { slot = T{}; }) {
  auto slot = std::make_shared<T>();
  return {std::move(name), [=] { return call(*slot); }, [=] { return describe(*slot); },
          [=] { initial(*slot); }};
}

std::string Describe(const com::Bstr& b) { return b.Get() ? "'" + b.ToUtf8() + "'" : "null"; }

std::string Describe(const VARIANT& v) {
  if (v.vt == VT_I4) return "i4 " + std::to_string(v.lVal);
  if (v.vt == (VT_ARRAY | VT_UI1)) {
    uint64_t sum = 0;
    const std::vector<uint8_t> bytes = projecttest::BytesOf(v);
    for (size_t i = 0; i < bytes.size(); ++i) sum += bytes[i] * (i + 1);
    return "bytes " + std::to_string(bytes.size()) + " checksum " + std::to_string(sum);
  }
  return "vt " + std::to_string(v.vt);
}

std::string Describe(const std::optional<host::StoredValue>& v) {
  if (!v) return "none";
  uint64_t sum = 0;
  for (size_t i = 0; i < v->data.size(); ++i) sum += v->data[i] * (i + 1);
  return "vt " + std::to_string(v->vt) + ", " + std::to_string(v->data.size()) + " bytes, checksum " +
         std::to_string(sum);
}

std::string Number(LONG n) { return std::to_string(n); }

void Sentinel(LONG& n) { n = -7777; }

template <class I>
using Object = com::ComPtr<I>;

// An object answer, described by one of its properties (or "null").
template <class I>
Entry AnsweringObject(std::string name, std::function<HRESULT(I**)> get,
                      std::function<std::string(I*)> describe) {
  return Answering<Object<I>>(
      std::move(name), [get](Object<I>& slot) { return get(&slot); },
      [describe](const Object<I>& slot) { return slot ? describe(slot.Get()) : std::string("null"); });
}

template <class I>
std::string AddressOf(I* object) {
  com::Variant v;
  return SUCCEEDED(object->get_Address(&v)) ? Describe(v) : "failed";
}

template <class I>
std::string CountOf(I* collection) {
  LONG n = 0;
  return SUCCEEDED(collection->get_Count(&n)) ? Number(n) : "failed";
}

std::string DisplayOrderOf(IParameter* p) {
  LONG n = 0;
  return SUCCEEDED(p->get_DisplayOrder(&n)) ? Number(n) : "failed";
}

std::string NameOf(IDevice* d) {
  com::Bstr b;
  return SUCCEEDED(d->get_Name(&b)) ? Describe(b) : "failed";
}

// The lines of a trace file from byte `from` on, without their time stamps.
std::string TraceLinesAfter(const std::string& path, size_t from) {
  std::vector<uint8_t> bytes;
  win::ReadWholeFile(path, bytes);
  const std::string text(bytes.begin(), bytes.end());
  std::string lines;
  for (size_t at = from; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    lines += text.substr(at, end - at).substr(std::min<size_t>(9, end - at)) + "\n";
    at = end + 1;
  }
  return lines;
}

size_t FileSize(const std::string& path) {
  std::vector<uint8_t> bytes;
  win::ReadWholeFile(path, bytes);
  return bytes.size();
}

class HostObjectsAllocation : public projecttest::ProjectTest {
 protected:
  void SetUp() override {
    setenv("DX47X_TRACE", "2", 1);
    setenv("DX47X_TRACE_FILE", log.c_str(), 1);
    id = Add("1.1.5");
    project.AddGroupAddress(0x0901, "Hall light, every lamp of the ground floor");
    project.Link(id, 1, 0x0901);
  }
  void TearDown() override {
    unsetenv("DX47X_TRACE");
    unsetenv("DX47X_TRACE_FILE");
  }

  testsupport::TempHome home;
  testsupport::TempDir logs;
  const std::string log = logs.File("trace.log");
  int64_t id = 0;
};

TEST_F(HostObjectsAllocation, TheDeviceAndEverythingReachedFromItSurviveEachFailedAllocation) {
  const com::ComPtr<IDevice> d = Device(id);
  const com::ComPtr<IDeviceExtData> ext = ExtData(id);
  com::ComPtr<ILine> line;
  ASSERT_EQ(d->get_Line(&line), S_OK);
  com::ComPtr<IArea> area;
  ASSERT_EQ(line->get_Parent(&area), S_OK);
  com::ComPtr<IApplicationProgram> program;
  ASSERT_EQ(d->get_ApplicationProgram(&program), S_OK);
  com::ComPtr<IProject> projectObject;
  ASSERT_EQ(d->get_Project(&projectObject), S_OK);
  com::ComPtr<IDeviceParameters> parameters;
  ASSERT_EQ(d->get_DeviceParameters(&parameters), S_OK);
  com::ComPtr<IDeviceParameter> parameter;
  ASSERT_EQ(parameters->get_Item(com::Variant(int32_t(17)), &parameter), S_OK);
  com::ComPtr<IParameter> definition;
  ASSERT_EQ(parameter->get_Parameter(&definition), S_OK);
  const int64_t parameterId = *project.ParameterAt(id, 17);
  com::ComPtr<IDeviceCommunicationObjects> objects;
  ASSERT_EQ(d->get_VisibleDeviceCommunicationObjects(&objects), S_OK);
  com::ComPtr<IDeviceCommunicationObject> object;
  ASSERT_EQ(objects->get_Item(com::Variant(int32_t(2)), &object), S_OK);  // number 1
  com::ComPtr<IAssociations> associations;
  ASSERT_EQ(object->get_Associations(&associations), S_OK);
  com::ComPtr<IAssociation> association;
  ASSERT_EQ(associations->get_Item(com::Variant(int32_t(1)), &association), S_OK);
  com::ComPtr<IGroupAddress> groupAddress;
  ASSERT_EQ(association->get_GroupAddress(&groupAddress), S_OK);

  const com::Bstr readKey(u"stored note, under a key longer than a short string");
  ASSERT_EQ(projecttest::WriteExt(ext.Get(), readKey.Get(), ByteArray(3000, 5)), S_OK);
  const com::Bstr writeKey(u"written note, under a key longer than a short string");
  const com::Variant before = ByteArray(1000, 1), after = ByteArray(2000, 2);
  // The plug-in writes inside the host's own transaction when a device is added.
  std::optional<host::Transaction> hostTransaction;
  const com::Bstr format(u"$(GroupAddress) - $(Name)");

  using Text = com::Bstr;
  auto text = [](const Text& b) { return Describe(b); };
  using Value = com::Variant;
  auto value = [](const Value& v) { return Describe(v); };
  auto number = [](const LONG& n) { return Number(n); };
  const std::vector<Entry> entries = {
      // IDevice
      Answering<Text>(
          "IDevice::get_Name", [&](Text& b) { return d->get_Name(&b); }, text),
      Answering<Value>(
          "IDevice::get_Address", [&](Value& v) { return d->get_Address(&v); }, value),
      AnsweringObject<ILine>(
          "IDevice::get_Line", [&](ILine** p) { return d->get_Line(p); }, AddressOf<ILine>),
      AnsweringObject<IApplicationProgram>(
          "IDevice::get_ApplicationProgram",
          [&](IApplicationProgram** p) { return d->get_ApplicationProgram(p); },
          [](IApplicationProgram* p) {
            SHORT v = 0;
            return SUCCEEDED(p->get_Version(&v)) ? std::to_string(v) : "failed";
          }),
      AnsweringObject<IDeviceParameters>(
          "IDevice::get_DeviceParameters", [&](IDeviceParameters** p) { return d->get_DeviceParameters(p); },
          CountOf<IDeviceParameters>),
      {"IDevice::put_ParametersLoaded", [&] { return d->put_ParametersLoaded(1); },
       [&] { return std::to_string(project.ParametersLoaded(id)); },
       [&] { project.SetParametersLoaded(id, false); }},
      Answering<LONG>(
          "IDevice::get_ParametersLoaded", [&](LONG& n) { return d->get_ParametersLoaded(&n); }, number,
          Sentinel),
      AnsweringObject<IDeviceCommunicationObjects>(
          "IDevice::get_VisibleDeviceCommunicationObjects",
          [&](IDeviceCommunicationObjects** p) { return d->get_VisibleDeviceCommunicationObjects(p); },
          CountOf<IDeviceCommunicationObjects>),
      AnsweringObject<IProject>(
          "IDevice::get_Project", [&](IProject** p) { return d->get_Project(p); },
          [](IProject* p) {
            com::Bstr b;
            return SUCCEEDED(p->get_Name(&b)) ? Describe(b) : "failed";
          }),
      Answering<Text>(
          "IDevice::get_ProductName", [&](Text& b) { return d->get_ProductName(&b); }, text),
      Answering<Text>(
          "IDevice::get_ManufacturerName", [&](Text& b) { return d->get_ManufacturerName(&b); }, text),
      Answering<Text>(
          "IDevice::get_OrderNumber", [&](Text& b) { return d->get_OrderNumber(&b); }, text),
      Answering<Text>(
          "IDevice::get_DeviceDescription", [&](Text& b) { return d->get_DeviceDescription(&b); }, text),
      Answering<Text>(
          "IDevice::get_ProgramName", [&](Text& b) { return d->get_ProgramName(&b); }, text),
      // IDeviceExtData
      Answering<Value>(
          "IDeviceExtData::ReadExtData", [&](Value& v) { return ext->ReadExtData(readKey.Get(), &v); },
          value),
      {"IDeviceExtData::WriteExtData", [&] { return ext->WriteExtData(writeKey.Get(), after); },
       [&] { return Describe(project.ReadExtData(id, writeKey.ToUtf8())); },
       [&] { ASSERT_EQ(ext->WriteExtData(writeKey.Get(), before), S_OK); }},
      {"IDeviceExtData::WriteExtData (in the host's transaction)",
       [&] { return ext->WriteExtData(writeKey.Get(), after); },
       [&] {
         hostTransaction->Commit();
         hostTransaction.reset();
         return Describe(project.ReadExtData(id, writeKey.ToUtf8()));
       },
       [&] {
         hostTransaction.reset();
         ASSERT_EQ(ext->WriteExtData(writeKey.Get(), before), S_OK);
         hostTransaction.emplace(project.Store());
       }},
      // ILine, IArea, IApplicationProgram, IProject
      Answering<Value>(
          "ILine::get_Address", [&](Value& v) { return line->get_Address(&v); }, value),
      AnsweringObject<IArea>(
          "ILine::get_Parent", [&](IArea** p) { return line->get_Parent(p); }, AddressOf<IArea>),
      Answering<Value>(
          "IArea::get_Address", [&](Value& v) { return area->get_Address(&v); }, value),
      Answering<LONG>(
          "IApplicationProgram::get_Version",
          [&](LONG& n) {
            SHORT v = 0;
            HRESULT hr = program->get_Version(&v);
            if (SUCCEEDED(hr)) n = v;
            return hr;
          },
          number, Sentinel),
      Answering<LONG>(
          "IApplicationProgram::get_DeviceType", [&](LONG& n) { return program->get_DeviceType(&n); }, number,
          Sentinel),
      Answering<Text>(
          "IProject::get_Name", [&](Text& b) { return projectObject->get_Name(&b); }, text),
      // IDeviceParameters, IDeviceParameter, IParameter
      Answering<LONG>(
          "IDeviceParameters::get_Count", [&](LONG& n) { return parameters->get_Count(&n); }, number,
          Sentinel),
      AnsweringObject<IDeviceParameter>(
          "IDeviceParameters::get_Item",
          [&](IDeviceParameter** p) { return parameters->get_Item(com::Variant(int32_t(17)), p); },
          [](IDeviceParameter* p) {
            com::ComPtr<IParameter> def;
            return SUCCEEDED(p->get_Parameter(&def)) ? DisplayOrderOf(def.Get()) : "failed";
          }),
      AnsweringObject<IParameter>(
          "IDeviceParameter::get_Parameter", [&](IParameter** p) { return parameter->get_Parameter(p); },
          DisplayOrderOf),
      Answering<Value>(
          "IDeviceParameter::get_Value", [&](Value& v) { return parameter->get_Value(&v); }, value),
      {"IDeviceParameter::put_Value", [&] { return parameter->put_Value(com::Variant(int32_t(12))); },
       [&] { return Describe(std::optional(project.ParameterValue(parameterId))); },
       [&] { ASSERT_EQ(parameter->put_Value(com::Variant(int32_t(3))), S_OK); }},
      Answering<LONG>(
          "IParameter::get_DisplayOrder", [&](LONG& n) { return definition->get_DisplayOrder(&n); }, number,
          Sentinel),
      // Communication objects, associations, group addresses
      Answering<LONG>(
          "IDeviceCommunicationObjects::get_Count", [&](LONG& n) { return objects->get_Count(&n); }, number,
          Sentinel),
      AnsweringObject<IDeviceCommunicationObject>(
          "IDeviceCommunicationObjects::get_Item",
          [&](IDeviceCommunicationObject** p) { return objects->get_Item(com::Variant(int32_t(2)), p); },
          [](IDeviceCommunicationObject* p) {
            LONG n = 0;
            return SUCCEEDED(p->get_CommunicationObjectNumber(&n)) ? Number(n) : "failed";
          }),
      Answering<LONG>(
          "IDeviceCommunicationObject::get_CommunicationObjectNumber",
          [&](LONG& n) { return object->get_CommunicationObjectNumber(&n); }, number, Sentinel),
      Answering<Text>(
          "IDeviceCommunicationObject::get_Name", [&](Text& b) { return object->get_Name(&b); }, text),
      Answering<Text>(
          "IDeviceCommunicationObject::get_CommunicationObjectFunction",
          [&](Text& b) { return object->get_CommunicationObjectFunction(&b); }, text),
      AnsweringObject<IAssociations>(
          "IDeviceCommunicationObject::get_Associations",
          [&](IAssociations** p) { return object->get_Associations(p); }, CountOf<IAssociations>),
      Answering<LONG>(
          "IAssociations::get_Count", [&](LONG& n) { return associations->get_Count(&n); }, number, Sentinel),
      AnsweringObject<IAssociation>(
          "IAssociations::get_Item",
          [&](IAssociation** p) { return associations->get_Item(com::Variant(int32_t(1)), p); },
          [](IAssociation* p) {
            com::ComPtr<IGroupAddress> g;
            LONG n = 0;
            return SUCCEEDED(p->get_GroupAddress(&g)) && SUCCEEDED(g->get_GroupAddress(&n)) ? Number(n)
                                                                                            : "failed";
          }),
      AnsweringObject<IGroupAddress>(
          "IAssociation::get_GroupAddress",
          [&](IGroupAddress** p) { return association->get_GroupAddress(p); },
          [](IGroupAddress* g) {
            LONG n = 0;
            return SUCCEEDED(g->get_GroupAddress(&n)) ? Number(n) : "failed";
          }),
      Answering<LONG>(
          "IGroupAddress::get_GroupAddress", [&](LONG& n) { return groupAddress->get_GroupAddress(&n); },
          number, Sentinel),
      Answering<Text>(
          "IGroupAddress::Format", [&](Text& b) { return groupAddress->Format(format.Get(), &b); }, text),
  };
  const uint64_t points = ExpectEveryEntrySurvives(entries);
  std::cout << "device objects: " << entries.size() << " entry points, " << points
            << " allocations failed in turn\n";
}

TEST_F(HostObjectsAllocation, TheHostServicesSurviveEachFailedAllocation) {
  host::HostServices services;
  const std::string script = logs.File("a script of the editor, under a long name.ui");
  host::EditorScript editorScript(script);
  com::ComPtr<ILocalise> localise;
  ASSERT_EQ(com::CreateInstance(CLSID_Localise, &localise), S_OK);
  com::ComPtr<ITraceService> trace;
  ASSERT_EQ(com::CreateInstance(CLSID_TraceService, &trace), S_OK);
  com::ComPtr<ITraceChannel> channel;
  ASSERT_EQ(trace.As(&channel), S_OK);
  com::ComPtr<IEditorScript> editor;
  ASSERT_EQ(com::CreateInstance(CLSID_EditorScript, &editor), S_OK);

  // A trace run starts on the old channel; what it leaves is the lines
  // traced since, then a probe line that shows the channel.
  size_t logged = 0;
  auto onOldChannel = [&] {
    ASSERT_EQ(channel->SetChannelName(u"the channel before"), S_OK);
    logged = FileSize(log);
  };
  auto linesAndProbe = [&] {
    EXPECT_EQ(trace->Trace(2, u"probe"), S_OK);
    return TraceLinesAfter(log, logged);
  };
  const std::vector<Entry> entries = {
      Answering<LONG>(
          "ILocalise::GetDefaultLCID",
          [&](LONG& n) {
            LCID lcid = 0;
            HRESULT hr = localise->GetDefaultLCID(&lcid);
            if (SUCCEEDED(hr)) n = LONG(lcid);
            return hr;
          },
          Number, Sentinel),
      Answering<LONG>(
          "ITraceService::IsLevelEnabled",
          [&](LONG& n) {
            BOOL enabled = FALSE;
            HRESULT hr = trace->IsLevelEnabled(2, &enabled);
            if (SUCCEEDED(hr)) n = enabled;
            return hr;
          },
          Number, Sentinel),
      {"ITraceService::Trace",
       [&] { return trace->Trace(2, u"a line of the plug-in, longer than a short string, traced whole"); },
       linesAndProbe, onOldChannel},
      {"ITraceChannel::SetChannelName",
       [&] { return channel->SetChannelName(u"the channel named by the call, longer than the one before"); },
       linesAndProbe, onOldChannel},
      Answering<com::Bstr>(
          "IEditorScript::GetScriptPath", [&](com::Bstr& b) { return editor->GetScriptPath(&b); },
          [](const com::Bstr& b) { return Describe(b); }),
  };
  const uint64_t points = ExpectEveryEntrySurvives(entries);
  std::cout << "host services: " << entries.size() << " entry points, " << points
            << " allocations failed in turn\n";
}

// --- the objects a download step gets

// Stands in for the plug-in's download step: hands the host's download data
// and status sink to the test, then ends the download.
std::function<void(IUnknown*, IStatusSink*)> g_step;

class StepStandIn : public IDeviceDownload, public com::ObjectRoot {
 public:
  using PrimaryInterface = IDeviceDownload;
  HRESULT InternalQueryInterface(REFIID iid, void** ppv) {
    return com::QueryInterfaceOf<IDeviceDownload>(this, iid, ppv);
  }
  HRESULT Download(IUnknown* data, LONG, LONG, IStatusSink* sink, BYTE, ImageSegmentList*,
                   ImageSegmentList* out, IStream** procedures, SHORT* progress) override {
    g_step(data, sink);
    *out = ImageSegmentList{0, nullptr};
    *procedures = nullptr;
    *progress = 100;
    return DOWNLOAD_S_LAST_STEP;
  }
};

struct Shown : host::DownloadObserver {
  void Status(int32_t kind, const std::string& text) override {
    seen += std::to_string(kind) + " " + text + "\n";
  }
  void Progress(int percent) override { seen += "progress " + std::to_string(percent) + "\n"; }
  std::string seen;
};

// The host's own download's answer: its segments and procedure list.
struct HostAnswer {
  ImageSegmentList segments{0, nullptr};
  com::ComPtr<IStream> procedures;
  HostAnswer() = default;
  HostAnswer(const HostAnswer&) = delete;
  HostAnswer& operator=(const HostAnswer&) = delete;
  ~HostAnswer() { Clear(); }
  void Clear() {
    for (uint32_t i = 0; i < segments.count; ++i) CoTaskMemFree(segments.segments[i].data);
    CoTaskMemFree(segments.segments);
    segments = {0, nullptr};
    procedures = nullptr;
  }
  std::string Describe() const {
    std::string s = std::to_string(segments.count) + " segments";
    for (uint32_t i = 0; i < segments.count; ++i) {
      const ImageSegment& g = segments.segments[i];
      s += base::Format(", at 0x%04X:", g.start);
      for (uint32_t b = 0; b < g.length; ++b) s += " " + std::to_string(g.data[b]);
    }
    STATSTG st{};
    if (procedures && SUCCEEDED(procedures->Stat(&st, STATFLAG_NONAME)))
      s += ", procedures of " + std::to_string(st.cbSize.QuadPart) + " bytes";
    return s;
  }
};

TEST_F(HostObjectsAllocation, TheDownloadDataAndStatusSinkSurviveEachFailedAllocation) {
  // A configuration the download accepts.
  host::StoredValue blob;
  blob.vt = VT_ARRAY | VT_UI1;
  blob.bounds = {0, 0, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) blob.bounds[4 + i] = uint8_t(host::kBlobSize >> (8 * i));
  blob.data.assign(host::kBlobSize, 0);
  for (int i = 0; i < 4; ++i) blob.data[i] = uint8_t(host::kBlobVersion >> (8 * i));
  project.WriteExtData(id, host::kBlobKey, blob);
  for (int32_t position = 1; position <= 33; ++position)
    project.SetParameterValue(*project.ParameterAt(id, position), {VT_I4, {}, {uint8_t(position), 0, 0, 0}});

  host::HostServices services;  // the host's own download
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_DX470Hawk, com::ClassFactoryFor<StepStandIn>::Make().Get(),
                                  CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie),
            S_OK);
  Shown shown;
  const std::u16string reported = u"the device did not answer, reported through the sink";
  size_t entryCount = 0;
  uint64_t points = 0;
  bool stepRan = false;
  g_step = [&](IUnknown* dataUnknown, IStatusSink* sink) {
    stepRan = true;
    com::ComPtr<IDownloadData> data;
    ASSERT_EQ(dataUnknown->QueryInterface(IDownloadData::iid, data.PpvSlot()), S_OK);
    com::ComPtr<IHostDownload> hostDownload;
    ASSERT_EQ(com::CreateInstance(CLSID_HostDownload, &hostDownload), S_OK);
    com::ComPtr<IErrorInfo> error;
    ASSERT_EQ(com::MakeErrorInfo(reported, &error), S_OK);
    auto seen = [&] { return shown.seen; };
    auto forget = [&] { shown.seen.clear(); };
    auto answer = std::make_shared<HostAnswer>();
    const std::vector<Entry> entries = {
        AnsweringObject<IUnknown>(
            "IDownloadData::get_DeviceRef", [&](IUnknown** p) { return data->get_DeviceRef(p); },
            [](IUnknown* u) {
              com::ComPtr<IDevice> d;
              return SUCCEEDED(u->QueryInterface(IDevice::iid, d.PpvSlot())) ? NameOf(d.Get())
                                                                             : "not a device";
            }),
        {"IStatusSink::ShowStatus",
         [&] {
           return sink->ShowStatus(0, 100, kStatusKindWorking, u"Writing the configuration of the display");
         },
         seen, forget},
        {"IStatusSink::ShowStatus (the decision)",
         [&] { return sink->ShowStatus(0, 100, kStatusKindDecision, u"the whole image, the device is new"); },
         seen, forget},
        {"IStatusSink::SetProgress", [&] { return sink->SetProgress(50); }, seen, forget},
        {"IStatusSink::ReportError", [&] { return sink->ReportError(LONG(0x80000008), error.Get(), 0); },
         [] { return std::string(); }},
        {"IHostDownload::Download",
         [&] {
           return hostDownload->Download(dataUnknown, 0, 0, sink, 0xFF, &answer->segments,
                                         &answer->procedures);
         },
         [answer] { return answer->Describe(); }, [answer] { answer->Clear(); },
         // The caller owns the list whatever the result (and frees it): a
         // failed call may leave its segment there, never a procedure list.
         [](const std::string& state) { return state.find("procedures") == std::string::npos; }},
    };
    entryCount = entries.size();
    points = ExpectEveryEntrySurvives(entries);
  };
  const host::DownloadResult result = host::RunDownload(project, id, 1, &shown);
  g_step = nullptr;
  CoRevokeClassObject(cookie);
  ASSERT_TRUE(stepRan) << result.error;
  // The error reported last is what the download ends with.
  EXPECT_FALSE(result.succeeded);
  EXPECT_EQ(result.error, base::Utf16ToUtf8(reported));
  std::cout << "download objects: " << entryCount << " entry points, " << points
            << " allocations failed in turn\n";
}

}  // namespace
