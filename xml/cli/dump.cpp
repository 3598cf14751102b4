// xmlweave dump FILE
#include <cstdio>

#include "base/strings.h"
#include "callrecorder.h"
#include "cli.h"
#include "xmlweave/xmlreader.h"

namespace cli {

int Dump(const Args& args) {
  if (args.size() != 1) return Fail("dump: expected one FILE");
  com::ComPtr<IXMLReader> reader;
  HRESULT hr = com::CreateInstance<xmlweave::CXMLReader>(nullptr, nullptr, IXMLReader::iid,
                                                        reader.PpvSlot());
  if (FAILED(hr)) return Fail("cannot create the reader");
  auto recorder = xmlweave::CallRecorder::Make();
  recorder->sink = [](const std::string& line) { std::printf("%s\n", line.c_str()); };
  reader->AddDocumentHandler(recorder.Get());
  hr = reader->ParseW(base::Utf8ToUtf16(args[0]).c_str());
  std::fflush(stdout);
  if (FAILED(hr)) {
    std::fprintf(stderr, "xmlweave: %s: parse failed with 0x%08X %s\n", args[0].c_str(),
                 uint32_t(hr), base::MessageText(hr).c_str());
    return 1;
  }
  return 0;
}

}  // namespace cli
