#pragma once
// The benchmark document of the dialect as a sequence of writer calls:
// areas holding devices holding channels, the typed leaves of all six types
// spread over devices and channels, a comment per device. The content is
// pseudo-random but the same for the same number of leaves. A Sink offers
// Begin, End, Comment, Long, Bool, Float, String, Bytes and Longs.
#include <charconv>
#include <cstdint>
#include <cstring>

namespace xmlweave {

class GenRandom {
 public:
  uint32_t Next() { return m_state = m_state * 1664525u + 1013904223u; }
  uint32_t Below(uint32_t n) { return (Next() >> 8) % n; }

 private:
  uint32_t m_state = 0x2545F491u;
};

template <class Sink>
void GenerateLeaf(Sink& sink, GenRandom& r, uint64_t index) {
  switch (index % 6) {
    case 0: {
      // "Sensor N & <M>", built without printf so that the writers' own
      // costs dominate the measurement.
      char text[40] = "Sensor ";
      char* p = std::to_chars(text + 7, text + 20, r.Below(100000)).ptr;
      std::memcpy(p, " & <", 4);
      p = std::to_chars(p + 4, p + 16, r.Below(100)).ptr;
      *p++ = '>';
      *p = '\0';
      sink.String("Name", text);
      break;
    }
    case 1: sink.Long("Address", int32_t(r.Next()) / 1000); break;
    case 2: sink.Bool("Enabled", int32_t(r.Below(2))); break;
    case 3: sink.Float("Gain", float(r.Below(10000000)) / 1000.0f); break;
    case 4: {
      uint8_t bytes[16];
      for (uint8_t& b : bytes) b = uint8_t(r.Next() >> 24);
      sink.Bytes("Data", uint32_t(sizeof bytes), bytes);
      break;
    }
    default: {
      int32_t values[5];
      for (int32_t& v : values) v = int32_t(r.Below(20000)) - 10000;
      sink.Longs("Points", 5u, values);
      break;
    }
  }
}

// Everything below the root element.
template <class Sink>
void GenerateDocument(Sink& sink, uint64_t leaves) {
  GenRandom r;
  uint64_t written = 0;
  while (written < leaves) {
    sink.Begin("Area");
    for (uint32_t device = 0; device < 50 && written < leaves; ++device) {
      sink.Begin("Device");
      for (int i = 0; i < 6 && written < leaves; ++i) GenerateLeaf(sink, r, written++);
      sink.Comment("channels");
      for (uint32_t channel = 0; channel < 4 && written < leaves; ++channel) {
        sink.Begin("Channel");
        for (int i = 0; i < 6 && written < leaves; ++i) GenerateLeaf(sink, r, written++);
        sink.End("Channel");
      }
      sink.End("Device");
    }
    sink.End("Area");
  }
}

}  // namespace xmlweave
