// Fuzz target of the translation file (.rlg): its content as the loader
// takes it (carriage returns dropped, the size limit), and the lookup of
// keys in it: keys given by the input and every line of the file itself.
// A translation is always a part of the file, never longer than it.
//
// Input: the length of the file's content (2 bytes, little-endian, cut to
// what is there), the content, then keys, each a length byte and its bytes.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "isolated_home.h"
#include "pluginwinappbase/pluginwinappbase.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "translation: %s\n%s\n", what, detail.c_str());
  std::abort();
}

// One instance for the whole run, as the plug-in has.
CPluginWinAppBase& App() {
  static CPluginWinAppBase* app = new CPluginWinAppBase;
  return *app;
}

void Check(std::string_view content, const std::string& key) {
  const std::string text = App().Translate(key);
  // A key found has its translation in the file; one not found comes back.
  if (text != key && text.size() > content.size()) Fail("a translation longer than the file", key);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IsolateFromThisMachine();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::string_view content = input.substr(0, data[0] | data[1] << 8);
  App().SetTranslationContent(content);

  for (std::string_view keys = input.substr(content.size()); !keys.empty();) {
    const size_t n = std::min<size_t>(static_cast<unsigned char>(keys[0]), keys.size() - 1);
    Check(content, std::string(keys.substr(1, n)));
    keys.remove_prefix(1 + n);
  }
  // Every line as a key, its escapes undone as a dialog's text has them.
  size_t lines = 0;
  for (size_t start = 0; start < content.size() && lines < 64; ++lines) {
    size_t end = content.find('\n', start);
    if (end == std::string_view::npos) end = content.size();
    std::string key;
    for (size_t i = start; i < end; ++i) {
      if (content[i] == '\r') continue;
      if (content[i] == '\\' && i + 1 < end && (content[i + 1] == 'n' || content[i + 1] == 't')) {
        key += content[++i] == 'n' ? '\n' : '\t';
        continue;
      }
      key += content[i];
    }
    Check(content, key);
    start = end + 1;
  }
  return 0;
}
