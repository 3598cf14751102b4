// XmlWeaveETS.so's writer and TraceServer.so with their allocations failing
// one by one, through COM as a client reaches them and with tracing on. Every
// method returns (nothing is thrown through it) with success or
// E_OUTOFMEMORY; a call that failed changed nothing, or its document is
// refused when it is ended and the file it was to replace keeps what it
// held; a call that succeeded lost nothing; and the object goes on working.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "base/strings.h"
#include "com/cocreate.h"
#include "com/comptr.h"
#include "failing_allocation.h"
#include "module_loading.h"
#include "temp_home.h"
#include "win/file.h"
#include "win/registry.h"
#include "xmlweave.h"
#include "xmlweave/traceserver.h"
#include "xmlweave/xmlwriter.h"

namespace {

using testsupport::AllocationRun;

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (win::ReadWholeFile(path, bytes) != ERROR_SUCCESS) return "<no file>";
  return std::string(bytes.begin(), bytes.end());
}

// The verdict on one run: no exception, the result of a run that met no
// refusal is the baseline's and so is what it left; a run that met one
// either succeeded as the baseline did, or failed with E_OUTOFMEMORY and
// left what it would have left without the call (or what `alsoOnFailure`
// accepts).
template <class State>
void Judge(const AllocationRun<HRESULT>& run, HRESULT baseline, const State& state, const State& with,
           const State& without, const std::function<bool(const State&)>& alsoOnFailure = {}) {
  SCOPED_TRACE("allocation " + std::to_string(run.failingAllocation) + " refused");
  EXPECT_FALSE(run.threw) << "an exception left the method";
  if (run.threw) return;
  if (!run.refused || run.result == baseline) {
    EXPECT_EQ(run.result, baseline);
    EXPECT_EQ(state, with) << "the call succeeded but did not do all of its work";
    return;
  }
  EXPECT_EQ(run.result, E_OUTOFMEMORY);
  EXPECT_TRUE(state == without || (alsoOnFailure && alsoOnFailure(state))) << "the failed call left\n"
                                                                           << state << "\ninstead of\n"
                                                                           << without;
}

class AllocationFailures : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testsupport::LoadAndRegister(xml, "XmlWeaveETS.so"));
    ASSERT_TRUE(testsupport::LoadAndRegister(trace, "TraceServer.so"));
    // Warnings and errors are traced: their lines are built while memory
    // runs out as well.
    setenv("DX47X_TRACE", "3", 1);
    setenv("DX47X_TRACE_FILE", log.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("DX47X_TRACE");
    unsetenv("DX47X_TRACE_FILE");
  }

  testsupport::TempHome home;
  testsupport::TempDir docs;
  testsupport::TempDir logs;
  const std::string log = logs.File("trace.log");
  com::ServerModule xml, trace;
};

// --- the writer

// What a document script left: the end's result, the bytes counted, the
// target's content and anything else in its folder.
struct DocumentState {
  HRESULT end = S_OK;
  int32_t counted = 0;
  std::string content;
  std::vector<std::string> strays;
  bool operator==(const DocumentState&) const = default;
};

std::ostream& operator<<(std::ostream& os, const DocumentState& s) {
  os << "EndDocument " << base::Format("0x%08X", uint32_t(s.end)) << ", " << s.counted << " bytes counted";
  for (const std::string& f : s.strays) os << ", stray file " << f;
  return os << "\n" << s.content;
}

struct Step {
  const char* name;
  std::function<HRESULT(IXMLWriter*)> call;
  bool allocates;  // the method has allocations of the module's own to fail
};

TEST_F(AllocationFailures, EveryWriterMethodSurvivesEachFailedAllocation) {
  const std::string target = docs.File("doc.xml");
  const std::u16string wideTarget = base::Utf8ToUtf16(target);
  const std::string kOld = "<old>the document the new one replaces</old>\n";
  std::vector<uint8_t> bytes(300);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
  std::vector<int32_t> longs(100);
  for (size_t i = 0; i < longs.size(); ++i) longs[i] = int32_t(i * 1001) - 50000;

  // One document with every method; each step in turn is the one whose
  // allocations fail.
  const std::vector<Step> script = {
      {"WriteFileW", [&](IXMLWriter* w) { return w->WriteFileW(wideTarget.c_str()); }, true},
      {"put_ByteCount", [](IXMLWriter* w) { return w->put_ByteCount(0); }, false},
      {"StartDocumentA", [](IXMLWriter* w) { return w->StartDocumentA("Project", "3.0 <beta> & more"); },
       true},
      {"CommentA",
       [](IXMLWriter* w) { return w->CommentA("written while memory runs out: <every> allocation & more"); },
       true},
      {"StartElementA", [](IXMLWriter* w) { return w->StartElementA("Device"); }, false},
      {"StartElementStringA",
       [](IXMLWriter* w) {
         return w->StartElementStringA(
             "Name",
             "Hall & Stairs <ground floor>, a value that needs more room to encode than "
             "the comment before it, so that the writer's scratch text has to grow for it");
       },
       true},
      {"StartElementStringA (null value)",
       [](IXMLWriter* w) { return w->StartElementStringA("None", nullptr); }, false},
      {"StartElementLongA", [](IXMLWriter* w) { return w->StartElementLongA("Address", -4354); }, false},
      {"StartElementBoolA", [](IXMLWriter* w) { return w->StartElementBoolA("On", 1); }, false},
      {"StartElementFloatA", [](IXMLWriter* w) { return w->StartElementFloatA("Gain", 2.5f); }, false},
      {"StartElementByteArrayA",
       [&](IXMLWriter* w) { return w->StartElementByteArrayA("Data", uint32_t(bytes.size()), bytes.data()); },
       true},
      {"StartElementLongArrayA",
       [&](IXMLWriter* w) { return w->StartElementLongArrayA("List", uint32_t(longs.size()), longs.data()); },
       true},
      {"EndElementA", [](IXMLWriter* w) { return w->EndElementA("Device"); }, false},
      {"get_ByteCount",
       [](IXMLWriter* w) {
         int32_t n = -1;
         HRESULT hr = w->get_ByteCount(&n);
         return SUCCEEDED(hr) && n <= 0 ? E_UNEXPECTED : hr;
       },
       false},
      {"EndDocument", [](IXMLWriter* w) { return w->EndDocument(); }, false},
  };

  com::ComPtr<IXMLWriter> writer;
  IXMLWriter* w = nullptr;

  // Before every run: a new writer (whose buffers have yet to grow) or the
  // one of the run before, no document open, the old file in place, line
  // ends unset (so that the writer stores their default and warns about
  // it), tabs on, and the steps before the one under test made.
  auto prepare = [&](size_t under, bool newWriter) {
    if (w) w->EndDocument();
    if (newWriter) {
      writer = nullptr;
      ASSERT_EQ(com::CreateInstance(CLSID_XMLWriter, writer.ReleaseAndGetAddressOf()), S_OK);
      w = writer.Get();
    }
    ASSERT_EQ(win::WriteFileAtomic(target, kOld), ERROR_SUCCESS);
    win::RegKey k;
    ASSERT_EQ(k.Create(HKEY_LOCAL_MACHINE, xmlweave::kSettingsKey), ERROR_SUCCESS);
    k.DeleteValue(xmlweave::kEnableCrValue);
    ASSERT_EQ(k.SetDword(xmlweave::kEnableTabValue, 1), ERROR_SUCCESS);
    for (size_t j = 0; j < under; ++j) script[j].call(w);
  };
  // After it: the steps after it, the end, and what that left.
  auto finish = [&](size_t under) {
    for (size_t j = under + 1; j < script.size(); ++j) script[j].call(w);
    DocumentState s;
    s.end = w->EndDocument();
    w->get_ByteCount(&s.counted);
    s.content = ReadText(target);
    for (const auto& e : std::filesystem::directory_iterator(docs.Path()))
      if (e.path().filename() != "doc.xml") s.strays.push_back(e.path().filename().string());
    return s;
  };

  uint64_t points = 0;
  for (size_t i = 0; i < script.size(); ++i) {
    SCOPED_TRACE(script[i].name);
    prepare(i, true);
    const HRESULT baseline = script[i].call(w);
    const DocumentState with = finish(i);
    ASSERT_EQ(baseline, S_OK);
    ASSERT_EQ(with.end, S_OK);
    ASSERT_NE(with.content, kOld);
    prepare(i, true);
    const DocumentState without = finish(i);
    // A refused document: the end reports the failure, the old file stays.
    auto refused = [&](const DocumentState& s) {
      return FAILED(s.end) && s.content == kOld && s.strays.empty();
    };

    const auto sweep = testsupport::ForEachAllocation(
        [&] { prepare(i, true); }, [&] { return script[i].call(w); },
        [&](const AllocationRun<HRESULT>& run) {
          Judge<DocumentState>(run, baseline, finish(i), with, without, refused);
          // The same writer then writes the whole document again.
          prepare(i, false);
          EXPECT_EQ(script[i].call(w), baseline);
          EXPECT_EQ(finish(i), with) << "the writer no longer works";
        });
    EXPECT_TRUE(sweep.complete);
    if (script[i].allocates) {
      EXPECT_GT(sweep.allocations, 0u) << "no allocation of the module was failed";
    }
    points += sweep.allocations;
  }
  std::cout << "IXMLWriter: " << script.size() << " calls, " << points << " allocations failed in turn\n";
}

// --- the trace component

TEST_F(AllocationFailures, EveryTraceServerMethodSurvivesEachFailedAllocation) {
  com::ComPtr<xmlweave::ITraceServer> server;
  xmlweave::ITraceServer* s = nullptr;
  const char* kOldChannel = "the channel before the call";
  struct Entry {
    const char* name;
    std::function<HRESULT()> call;
    bool allocates;
  };
  int32_t flag = 0;
  const std::vector<Entry> entries = {
      {"SetChannelName",
       [&] {
         return s->SetChannelName(0, "CXMLWriter, the channel named by the call, longer than the one before");
       },
       true},
      {"Reserved4", [&] { return s->Reserved4(); }, false},
      {"WriteWarning", [&] { return s->WriteWarning("a warning of the XML server, traced whole\r\n"); },
       true},
      {"WriteError", [&] { return s->WriteError("an error of the XML server, traced whole\r\n"); }, true},
      {"Reserved7", [&] { return s->Reserved7(); }, false},
      {"Reserved8", [&] { return s->Reserved8(); }, false},
      {"IsErrorWanted", [&] { return s->IsErrorWanted(&flag); }, false},
      {"IsWarningSuppressed", [&] { return s->IsWarningSuppressed(&flag); }, false},
      {"IsWarningWanted", [&] { return s->IsWarningWanted(&flag); }, false},
  };

  // Each run starts on the old channel of a new component, or of the one of
  // the run before; what it leaves is the lines traced since, after a probe
  // line that shows the channel and that tracing still works (without the
  // time stamps).
  size_t logged = 0;
  auto prepare = [&](bool newServer) {
    if (newServer) {
      server = nullptr;
      ASSERT_EQ(CoCreateInstance(xmlweave::CLSID_TraceServer, nullptr, CLSCTX_ALL,
                                 xmlweave::ITraceServer::iid, server.PpvSlot()),
                S_OK);
      s = server.Get();
    }
    ASSERT_EQ(s->SetChannelName(0, kOldChannel), S_OK);
    logged = ReadText(log).size();
  };
  auto lines = [&] {
    EXPECT_EQ(s->WriteError("probe\r\n"), S_OK);
    const std::string text = ReadText(log);
    std::string result;
    for (size_t at = logged; at < text.size();) {
      size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      result += text.substr(at, end - at).substr(std::min<size_t>(9, end - at)) + "\n";
      at = end + 1;
    }
    return result;
  };
  prepare(true);
  ASSERT_EQ(s->WriteError("the log's first line\r\n"), S_OK);

  uint64_t points = 0;
  for (const Entry& e : entries) {
    SCOPED_TRACE(e.name);
    prepare(true);
    const HRESULT baseline = e.call();
    const std::string with = lines();
    prepare(true);
    const std::string without = lines();
    ASSERT_FALSE(without.empty());
    const auto sweep =
        testsupport::ForEachAllocation([&] { prepare(true); }, e.call,
                                       [&](const AllocationRun<HRESULT>& run) {
                                         Judge<std::string>(run, baseline, lines(), with, without);
                                         prepare(false);
                                         EXPECT_EQ(e.call(), baseline);
                                         EXPECT_EQ(lines(), with) << "the trace component no longer works";
                                       });
    EXPECT_TRUE(sweep.complete);
    if (e.allocates) {
      EXPECT_GT(sweep.allocations, 0u) << "no allocation of the module was failed";
    }
    points += sweep.allocations;
  }
  std::cout << "ITraceServer: " << entries.size() << " methods, " << points
            << " allocations failed in turn\n";
}

}  // namespace
