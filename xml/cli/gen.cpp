// xmlweave gen --leaves N OUT: a benchmark document of the dialect, with TABs
// and CR LF: areas holding devices holding channels, the typed leaves of all
// six types spread over the devices and channels. The content is
// pseudo-random but the same for the same N.
#include <cstdlib>

#include "cli.h"
#include "xmlweave/writer.h"

namespace cli {
namespace {

class Random {
 public:
  uint32_t Next() { return m_state = m_state * 1664525u + 1013904223u; }
  uint32_t Below(uint32_t n) { return (Next() >> 8) % n; }

 private:
  uint32_t m_state = 0x2545F491u;
};

void WriteLeaf(xmlweave::CWriter& w, Random& r, uint64_t index) {
  char text[64];
  switch (index % 6) {
    case 0: {
      std::snprintf(text, sizeof text, "Sensor %u & <%u>", r.Below(100000), r.Below(100));
      w.WriteElement(xmlweave::TAG_STRING, "Name", text);
      break;
    }
    case 1:
      std::snprintf(text, sizeof text, "%d", int32_t(r.Next()) / 1000);
      w.WriteElement(xmlweave::TAG_LONG, "Address", text);
      break;
    case 2:
      w.WriteElement(xmlweave::TAG_BOOL, "Enabled", r.Below(2) ? "1" : "0");
      break;
    case 3:
      std::snprintf(text, sizeof text, "%.7g", double(r.Below(10000000)) / 1000.0);
      w.WriteElement(xmlweave::TAG_FLOAT, "Gain", text);
      break;
    case 4: {
      uint8_t bytes[16];
      for (uint8_t& b : bytes) b = uint8_t(r.Next() >> 24);
      w.WriteByteArrayElement("Data", sizeof bytes, bytes);
      break;
    }
    default: {
      int32_t values[5];
      for (int32_t& v : values) v = int32_t(r.Below(20000)) - 10000;
      w.WriteLongArrayElement("Points", 5, values);
      break;
    }
  }
}

}  // namespace

int Gen(const Args& args) {
  if (args.size() != 3 || args[0] != "--leaves") return Fail("gen: expected --leaves N OUT");
  char* end = nullptr;
  unsigned long long leaves = std::strtoull(args[1].c_str(), &end, 10);
  if (!end || *end || args[1].empty()) return Fail("gen: N must be a number");

  xmlweave::CWriter w{xmlweave::TraceChannel("CWriter", nullptr)};
  HRESULT hr = w.CreateFile(args[2], true, true);
  if (FAILED(hr)) return Fail(args[2] + ": cannot create the file");
  w.StartDocument("Project", "1.0");
  Random r;
  uint64_t written = 0;
  for (uint32_t area = 0; written < leaves; ++area) {
    w.WriteBeginElement("Area");
    for (uint32_t device = 0; device < 50 && written < leaves; ++device) {
      w.WriteBeginElement("Device");
      for (int i = 0; i < 6 && written < leaves; ++i) WriteLeaf(w, r, written++);
      w.WriteCommentElement("channels");
      for (uint32_t channel = 0; channel < 4 && written < leaves; ++channel) {
        w.WriteBeginElement("Channel");
        for (int i = 0; i < 6 && written < leaves; ++i) WriteLeaf(w, r, written++);
        w.WriteEndElement("Channel");
      }
      w.WriteEndElement("Device");
    }
    w.WriteEndElement("Area");
  }
  hr = w.Close();
  if (FAILED(hr)) return Fail(args[2] + ": write failed");
  return 0;
}

}  // namespace cli
