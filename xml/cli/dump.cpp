// xmlweave dump FILE
#include <cstdio>

#include "base/strings.h"
#include "callrecorder.h"
#include "cli.h"
#include "xmlweave/xmlreader.h"

namespace cli {

// Every call goes to standard output; every error the reader reports also
// goes to standard error with its meaning and line, and makes the exit code
// 1 even where the parse went on to its end.
int Dump(const Args& args) {
  if (args.size() != 1) return Fail("dump: expected one FILE");
  const std::string& file = args[0];
  com::ComPtr<IXMLReader> reader;
  HRESULT hr = com::CreateInstance<xmlweave::CXMLReader>(nullptr, nullptr, IXMLReader::iid, reader.PpvSlot());
  if (FAILED(hr)) return Fail("cannot create the reader");
  auto recorder = xmlweave::CallRecorder::Make();
  if (!recorder) return Fail("out of memory");
  unsigned errors = 0;
  recorder->sink = [](const std::string& line) { std::printf("%s\n", line.c_str()); };
  recorder->error = [&](HRESULT code, uint32_t line) {
    std::fflush(stdout);
    PrintReaderError(file, code, line);
    ++errors;
  };
  reader->AddDocumentHandler(recorder.Get());
  hr = reader->ParseW(base::Utf8ToUtf16(file).c_str());
  std::fflush(stdout);
  if (FAILED(hr) && errors == 0) {
    // Nothing was reported: the file could not be opened or read.
    std::fprintf(stderr, "xmlweave: %s: %s\n", file.c_str(), ResultText(hr).c_str());
    return 1;
  }
  return FAILED(hr) || errors ? 1 : 0;
}

}  // namespace cli
