// The peers: expat, libxml2 and pugixml with handlers equivalent to ours
// (strtol, strtof, base64 decoding, comma lists), the memchr scan that
// bounds any reader, libxml2's xmlTextWriter and a plain buffered writer.
// Each parser is fed as it runs fastest: expat with the whole document or in
// 64 KiB buffers of its own, libxml2's push parser in 64 KiB chunks (one
// chunk of 20 MB slows it), pugixml parsing the whole document in place with
// no more options than the values need (entities decoded).
#include <expat.h>
#include <fcntl.h>
#include <libxml/parser.h>
#include <libxml/xmlwriter.h>
#include <unistd.h>

#include <pugixml.hpp>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "bench.h"
#include "genscript.h"
#include "xmlweave/codecs.h"

namespace bench {

std::string ReadFile(const std::string& path) {
  std::string data;
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) std::abort();
  char buf[65536];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0) data.append(buf, size_t(n));
  ::close(fd);
  return data;
}

namespace {

// What a SAX client of a general parser has to do for the dialect: remember
// the type attribute, collect the text, convert it at the end tag.
struct Collector {
  Sums sums;
  char type = 0;  // 'b', 'i', 'r', 's', '6', 'l' or 0 for plain elements
  std::string text;

  void Start(const char* t) {
    text.clear();
    type = 0;
    if (!t) return;
    if (!std::strcmp(t, "b"))
      type = 'b';
    else if (!std::strcmp(t, "i4"))
      type = 'i';
    else if (!std::strcmp(t, "r4"))
      type = 'r';
    else if (!std::strcmp(t, "s"))
      type = 's';
    else if (!std::strcmp(t, "64Bin"))
      type = '6';
    else if (!std::strcmp(t, "la"))
      type = 'l';
  }
  void Text(const char* s, int len) {
    if (type) text.append(s, size_t(len));
  }
  void End() {
    switch (type) {
      case 0: return;
      case 'b': sums.bools += text == "1"; break;
      case 'i': sums.longs += uint64_t(int64_t(int32_t(std::strtol(text.c_str(), nullptr, 10)))); break;
      case 'r': sums.floats += std::strtof(text.c_str(), nullptr); break;
      case 's': sums.chars += text.size(); break;
      case '6': {
        static int8_t table[256];
        static bool init = [] {
          const char* a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
          std::memset(table, -1, sizeof table);
          for (int i = 0; i < 64; ++i) table[uint8_t(a[i])] = int8_t(i);
          return true;
        }();
        (void)init;
        uint32_t acc = 0;
        int bits = 0;
        for (char c : text) {
          int v = table[uint8_t(c)];
          if (v < 0) break;
          acc = acc << 6 | uint32_t(v);
          bits += 6;
          if (bits >= 8) {
            bits -= 8;
            sums.bytes += (acc >> bits) & 0xFF;
          }
        }
        break;
      }
      case 'l': {
        const char* p = text.c_str();
        for (;;) {
          char* end = nullptr;
          sums.longs += uint64_t(int64_t(int32_t(std::strtol(p, &end, 10))));
          p = std::strchr(end, ',');
          if (!p) break;
          ++p;
        }
        break;
      }
    }
    ++sums.elements;
    type = 0;
  }
};

void XMLCALL ExpatStart(void* ud, const XML_Char*, const XML_Char** atts) {
  const char* t = nullptr;
  for (; atts && *atts; atts += 2)
    if (!std::strcmp(atts[0], "t")) t = atts[1];
  static_cast<Collector*>(ud)->Start(t);
}
void XMLCALL ExpatEnd(void* ud, const XML_Char*) { static_cast<Collector*>(ud)->End(); }
void XMLCALL ExpatText(void* ud, const XML_Char* s, int len) { static_cast<Collector*>(ud)->Text(s, len); }

XML_Parser NewExpat(Collector& c) {
  XML_Parser p = XML_ParserCreate(nullptr);
  XML_SetUserData(p, &c);
  XML_SetElementHandler(p, ExpatStart, ExpatEnd);
  XML_SetCharacterDataHandler(p, ExpatText);
  return p;
}

void Libxml2Start(void* ud, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**,
                  int nbAttributes, int, const xmlChar** attributes) {
  std::string t;
  bool have = false;
  for (int i = 0; i < nbAttributes; ++i) {
    const xmlChar** a = attributes + 5 * i;
    if (!std::strcmp(reinterpret_cast<const char*>(a[0]), "t")) {
      t.assign(reinterpret_cast<const char*>(a[3]), size_t(a[4] - a[3]));
      have = true;
    }
  }
  static_cast<Collector*>(ud)->Start(have ? t.c_str() : nullptr);
}
void Libxml2End(void* ud, const xmlChar*, const xmlChar*, const xmlChar*) {
  static_cast<Collector*>(ud)->End();
}
void Libxml2Text(void* ud, const xmlChar* s, int len) {
  static_cast<Collector*>(ud)->Text(reinterpret_cast<const char*>(s), len);
}

}  // namespace

Sums ExpatWhole(const std::string& path) {
  std::string data = ReadFile(path);
  Collector c;
  XML_Parser p = NewExpat(c);
  if (XML_Parse(p, data.data(), int(data.size()), 1) != XML_STATUS_OK) std::abort();
  XML_ParserFree(p);
  return c.sums;
}

constexpr size_t kChunk = 64 * 1024;

Sums ExpatBlocks(const std::string& path) {
  Collector c;
  XML_Parser p = NewExpat(c);
  int fd = ::open(path.c_str(), O_RDONLY);
  for (;;) {
    void* buf = XML_GetBuffer(p, int(kChunk));
    ssize_t n = ::read(fd, buf, kChunk);
    if (n < 0) std::abort();
    if (XML_ParseBuffer(p, int(n), n == 0) != XML_STATUS_OK) std::abort();
    if (n == 0) break;
  }
  ::close(fd);
  XML_ParserFree(p);
  return c.sums;
}

Sums Libxml2Sax(const std::string& path) {
  xmlSAXHandler sax;
  std::memset(&sax, 0, sizeof sax);
  sax.initialized = XML_SAX2_MAGIC;
  sax.startElementNs = Libxml2Start;
  sax.endElementNs = Libxml2End;
  sax.characters = Libxml2Text;
  Collector c;
  xmlParserCtxtPtr ctxt = xmlCreatePushParserCtxt(&sax, &c, nullptr, 0, path.c_str());
  xmlCtxtUseOptions(ctxt, XML_PARSE_HUGE);
  int fd = ::open(path.c_str(), O_RDONLY);
  auto buf = std::make_unique<char[]>(kChunk);
  for (;;) {
    ssize_t n = ::read(fd, buf.get(), kChunk);
    if (n < 0) std::abort();
    if (xmlParseChunk(ctxt, buf.get(), int(n), n == 0) != 0) std::abort();
    if (n == 0) break;
  }
  ::close(fd);
  xmlFreeDoc(ctxt->myDoc);
  xmlFreeParserCtxt(ctxt);
  return c.sums;
}

Sums Pugixml(const std::string& path) {
  pugi::xml_document doc;
  if (!doc.load_file(path.c_str(), pugi::parse_minimal | pugi::parse_escapes)) std::abort();
  Collector c;
  // Every element in document order, without recursion.
  pugi::xml_node n = doc.first_child();
  while (n) {
    if (n.type() == pugi::node_element) {
      if (pugi::xml_attribute t = n.attribute("t")) {
        c.Start(t.value());
        const char* text = n.child_value();
        c.Text(text, int(std::strlen(text)));
        c.End();
      }
    }
    if (pugi::xml_node child = n.first_child()) {
      n = child;
      continue;
    }
    while (n && !n.next_sibling()) n = n.parent();
    if (n) n = n.next_sibling();
  }
  return c.sums;
}

// Reads as our reader reads files (CXMLReader::kFileBlockSize).
uint64_t MemchrScan(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  static char buf[kChunk];
  uint64_t count = 0;
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0) {
    const char* p = buf;
    const char* end = buf + n;
    while ((p = static_cast<const char*>(std::memchr(p, '<', size_t(end - p))))) {
      ++count;
      ++p;
    }
  }
  ::close(fd);
  return count;
}

namespace {

// The same bytes as our writer, formatted into a 64 KiB buffer and written
// with write(2): the cost of the output itself.
struct PlainSink {
  int fd;
  char buf[65536 + 4096];
  size_t len = 0;
  int depth = 1;
  std::string scratch;

  [[gnu::noinline]] void Out(const char* s, size_t n) {
    if (::write(fd, s, n) != ssize_t(n)) std::abort();
  }
  void Put(const char* s, size_t n) {
    if (len + n > 65536) {
      Out(buf, len);
      len = 0;
      if (n > 65536) return Out(s, n);
    }
    std::memcpy(buf + len, s, n);
    len += n;
  }
  void Put(std::string_view s) { Put(s.data(), s.size()); }
  void Tabs(int n) { Put("\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t", size_t(n)); }
  void Leaf(const char* n, const char* quotedType, std::string_view value) {
    Tabs(depth);
    Put("<");
    Put(n);
    Put(" t=");
    Put(quotedType);
    Put(">");
    Put(value);
    Put("</");
    Put(n);
    Put(">\r\n");
  }
  void Begin(const char* n) {
    Tabs(depth++);
    Put("<");
    Put(n);
    Put(">\r\n");
  }
  void End(const char* n) {
    Tabs(--depth);
    Put("</");
    Put(n);
    Put(">\r\n");
  }
  void Comment(const char* c) {
    Tabs(depth);
    Put("<!-- ");
    scratch.clear();
    xmlweave::AppendXmlText(scratch, c);
    Put(scratch);
    Put(" -->\r\n");
  }
  void Long(const char* n, int32_t v) {
    char t[16];
    Leaf(n, "\"i4\"", std::string_view(t, size_t(std::to_chars(t, t + 16, v).ptr - t)));
  }
  void Bool(const char* n, int32_t v) { Leaf(n, "\"b\"", v ? "1" : "0"); }
  void Float(const char* n, float v) {
    char t[32];
    auto r = std::to_chars(t, t + 32, double(v), std::chars_format::general, 7);
    Leaf(n, "\"r4\"", std::string_view(t, size_t(r.ptr - t)));
  }
  void String(const char* n, const char* v) {
    scratch.clear();
    xmlweave::AppendXmlText(scratch, v);
    Leaf(n, "\"s\"", scratch);
  }
  void Bytes(const char* n, uint32_t c, const uint8_t* v) {
    xmlweave::PrepareByteForString(c, v, scratch);
    Leaf(n, "\"64Bin\"", scratch);
  }
  void Longs(const char* n, uint32_t c, const int32_t* v) {
    xmlweave::PrepareLongAForString(c, v, scratch);
    Leaf(n, "\"la\"", scratch);
  }
};

struct TextWriterSink {
  xmlTextWriterPtr w;
  static const xmlChar* X(const char* s) { return reinterpret_cast<const xmlChar*>(s); }
  void Leaf(const char* n, const char* type, const char* value) {
    xmlTextWriterStartElement(w, X(n));
    xmlTextWriterWriteAttribute(w, X("t"), X(type));
    xmlTextWriterWriteString(w, X(value));
    xmlTextWriterEndElement(w);
  }
  void Begin(const char* n) { xmlTextWriterStartElement(w, X(n)); }
  void End(const char*) { xmlTextWriterEndElement(w); }
  void Comment(const char* c) { xmlTextWriterWriteComment(w, X(c)); }
  void Long(const char* n, int32_t v) {
    char t[16];
    std::snprintf(t, sizeof t, "%d", v);
    Leaf(n, "i4", t);
  }
  void Bool(const char* n, int32_t v) { Leaf(n, "b", v ? "1" : "0"); }
  void Float(const char* n, float v) {
    char t[32];
    std::snprintf(t, sizeof t, "%.7g", double(v));
    Leaf(n, "r4", t);
  }
  void String(const char* n, const char* v) { Leaf(n, "s", v); }
  void Bytes(const char* n, uint32_t c, const uint8_t* v) {
    xmlTextWriterStartElement(w, X(n));
    xmlTextWriterWriteAttribute(w, X("t"), X("64Bin"));
    xmlTextWriterWriteBase64(w, reinterpret_cast<const char*>(v), 0, int(c));
    xmlTextWriterEndElement(w);
  }
  void Longs(const char* n, uint32_t c, const int32_t* v) {
    std::string t;
    for (uint32_t i = 0; i < c; ++i) {
      if (i) t += ',';
      t += std::to_string(v[i]);
    }
    Leaf(n, "la", t.c_str());
  }
};

}  // namespace

void PlainWrite(const std::string& path, uint64_t leaves) {
  auto s = std::make_unique<PlainSink>();
  s->fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  s->Put("<?xml version=\"1.0\"?>\r\n<Project>\r\n\t<schemaversion>1.0</schemaversion>\r\n");
  xmlweave::GenerateDocument(*s, leaves);
  s->Put("</Project>\r\n");
  if (::write(s->fd, s->buf, s->len) != ssize_t(s->len)) std::abort();
  ::close(s->fd);
}

void TextWriterWrite(const std::string& path, uint64_t leaves) {
  TextWriterSink s{xmlNewTextWriterFilename(path.c_str(), 0)};
  xmlTextWriterSetIndent(s.w, 1);
  xmlTextWriterSetIndentString(s.w, TextWriterSink::X("\t"));
  xmlTextWriterStartDocument(s.w, nullptr, nullptr, nullptr);
  xmlTextWriterStartElement(s.w, TextWriterSink::X("Project"));
  xmlTextWriterWriteElement(s.w, TextWriterSink::X("schemaversion"), TextWriterSink::X("1.0"));
  xmlweave::GenerateDocument(s, leaves);
  xmlTextWriterEndDocument(s.w);
  xmlFreeTextWriter(s.w);
}

}  // namespace bench
