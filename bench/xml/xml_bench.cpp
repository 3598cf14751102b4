// xml_bench DIR [LEAVES] [RUNS]: generates the benchmark document of the
// dialect in DIR and measures, in one run, our reader and writer against
// expat, libxml2, pugixml and the plain limits; prints MB/s and the ratios. Times are
// the best of RUNS turns, in processor time of the measuring thread.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

#include "bench.h"
#include "win/registry.h"
#include "xmlweave/xmlwriter.h"

namespace {

// The processor time of the calling thread (user and system): on a shared
// machine it depends far less on the other processes than the wall clock.
double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Best times of several contenders, run in turns so that a change in the
// machine's load hits them alike.
std::vector<double> BestSeconds(const std::vector<std::function<void()>>& runs, int rounds) {
  std::vector<double> best(runs.size(), 1e30);
  for (int r = 0; r < rounds; ++r) {
    for (size_t i = 0; i < runs.size(); ++i) {
      double t0 = ThreadSeconds();
      runs[i]();
      best[i] = std::min(best[i], ThreadSeconds() - t0);
    }
  }
  return best;
}

double FileMB(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return double(st.st_size) / 1e6;
}

void Line(const char* what, double mb, double s) {
  std::printf("  %-34s %8.1f MB/s  (%.3f s)\n", what, mb / s, s);
}

void Ratio(const char* what, double ratio, double target, bool atLeast) {
  bool ok = atLeast ? ratio >= target : ratio <= target;
  std::printf("  %-44s %6.2f  (target %s %.1f: %s)\n", what, ratio, atLeast ? ">=" : "<=", target,
              ok ? "met" : "MISSED");
}

bool SameSums(const bench::Sums& a, const bench::Sums& b) {
  return a.longs == b.longs && a.bools == b.bools && a.bytes == b.bytes && a.chars == b.chars &&
         a.elements == b.elements;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: xml_bench DIR [LEAVES] [RUNS]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const uint64_t leaves = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 400000;
  const int runs = argc > 3 ? std::atoi(argv[3]) : 5;

  // Our writer takes TABs and CR LF from the registry of its own home.
  setenv("DX47X_HOME", (dir + "/home").c_str(), 1);
  {
    win::RegKey k;
    k.Create(HKEY_LOCAL_MACHINE, xmlweave::kSettingsKey);
    k.SetDword(xmlweave::kEnableCrValue, 1);
    k.SetDword(xmlweave::kEnableTabValue, 1);
  }

  const std::string doc = dir + "/doc.xml", plain = dir + "/plain.xml", tw = dir + "/tw.xml";
  std::printf("Writer, %llu typed leaves:\n", static_cast<unsigned long long>(leaves));
  // A document is written in a few hundredths of a second, a good part of
  // it in the kernel, whose share varies from turn to turn: three times the
  // turns keep the best time steady.
  auto w = BestSeconds({[&] { bench::OursWrite(doc, leaves); }, [&] { bench::PlainWrite(plain, leaves); },
                        [&] { bench::TextWriterWrite(tw, leaves); }},
                       3 * runs);
  const double tOurs = w[0], tPlain = w[1], tTw = w[2];
  const double mb = FileMB(doc);
  Line("XMLWriter (COM)", mb, tOurs);
  Line("64 KiB buffer + write(2)", FileMB(plain), tPlain);
  Line("libxml2 xmlTextWriter", FileMB(tw), tTw);
  bool same = bench::ReadFile(doc) == bench::ReadFile(plain);
  std::printf("  document %.1f MB; plain writer produced %s bytes\n", mb, same ? "the same" : "DIFFERENT");

  std::printf("Reader, %.1f MB:\n", mb);
  bench::Sums sOurs, sExpat, sBlocks, sXml2, sPugi;
  uint64_t tags = 0;
  auto r = BestSeconds({[&] { sOurs = bench::OursRead(doc); }, [&] { sExpat = bench::ExpatWhole(doc); },
                        [&] { sBlocks = bench::ExpatBlocks(doc); }, [&] { sXml2 = bench::Libxml2Sax(doc); },
                        [&] { sPugi = bench::Pugixml(doc); }, [&] { tags = bench::MemchrScan(doc); }},
                       runs);
  const double rOurs = r[0], rExpat = std::min(r[1], r[2]), rXml2 = r[3], rPugi = r[4], rScan = r[5];
  Line("XMLReader (COM, typed handler)", mb, rOurs);
  Line("expat, one XML_Parse call", mb, r[1]);
  Line("expat, 64 KiB buffers", mb, r[2]);
  Line("libxml2 SAX2 push, 64 KiB chunks", mb, rXml2);
  Line("pugixml, whole document in place", mb, rPugi);
  Line("64 KiB reads + memchr('<')", mb, rScan);
  bool agree =
      SameSums(sOurs, sExpat) && SameSums(sOurs, sBlocks) && SameSums(sOurs, sXml2) && SameSums(sOurs, sPugi);
  std::printf("  %llu typed values, %llu tags; all readers %s\n",
              static_cast<unsigned long long>(sOurs.elements), static_cast<unsigned long long>(tags),
              agree ? "agree" : "DISAGREE");

  // Linear time in the size of a single token.
  const size_t big = 16u << 20;
  const std::string small = dir + "/small.xml", str = dir + "/string.xml", com = dir + "/comment.xml";
  bench::OursWrite(small, 335000);
  {
    FILE* f = std::fopen(str.c_str(), "wb");
    std::fputs("<?xml version=\"1.0\"?><R><s t=\"s\">", f);
    std::string chunk(1 << 20, 'x');
    for (size_t i = 0; i < big / chunk.size(); ++i) std::fwrite(chunk.data(), 1, chunk.size(), f);
    std::fputs("</s></R>", f);
    std::fclose(f);
    f = std::fopen(com.c_str(), "wb");
    std::fputs("<?xml version=\"1.0\"?><R><!-- ", f);
    for (size_t i = 0; i < big / chunk.size(); ++i) std::fwrite(chunk.data(), 1, chunk.size(), f);
    std::fputs(" --></R>", f);
    std::fclose(f);
  }
  const std::string quarter = dir + "/quarter.xml";
  bench::OursWrite(quarter, leaves / 4);
  auto l = BestSeconds({[&] { bench::OursRead(small); }, [&] { bench::OursRead(str); },
                        [&] { bench::OursRead(com); }, [&] { bench::OursRead(quarter); }},
                       runs);
  const double lSmall = l[0] / FileMB(small), lString = l[1] / FileMB(str), lComment = l[2] / FileMB(com),
               lQuarter = l[3] / FileMB(quarter);
  std::printf("Linear time (s per MB):\n");
  std::printf(
      "  16 MiB of small elements %.4f, one 16 MiB string value %.4f, one 16 MiB comment "
      "%.4f\n  a quarter of the document %.4f, the whole document %.4f\n",
      lSmall, lString, lComment, lQuarter, rOurs / mb);

  std::printf("Ratios:\n");
  // Speed ratios: the peer's time over ours.
  Ratio("reader / expat (the faster way)", rExpat / rOurs, 2.5, true);
  Ratio("reader / pugixml", rPugi / rOurs, 1.5, true);
  Ratio("reader / libxml2 SAX2 (64 KiB chunks)", rXml2 / rOurs, 1.2, true);
  std::printf("  %-44s %6.2f  (the limit of any reader)\n", "reader / memchr scan", rScan / rOurs);
  Ratio("writer / xmlTextWriter", tTw / tOurs, 4.0, true);
  Ratio("writer / plain buffered writer (its limit)", tPlain / tOurs, 0.8, true);
  Ratio("16 MiB string value / small elements", lString / lSmall, 2.0, false);
  Ratio("16 MiB comment / small elements", lComment / lSmall, 2.0, false);
  Ratio("whole document / a quarter of it (per MB)", (rOurs / mb) / lQuarter, 1.5, false);
  for (const std::string& f : {doc, plain, tw, small, str, com, quarter}) std::remove(f.c_str());
  return same && agree ? 0 : 1;
}
