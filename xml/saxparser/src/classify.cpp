// Classification of a tag into its TagType and element name.
#include <climits>
#include <cstring>

#include "xmlweave/saxparser.h"

namespace xmlweave {
namespace {

constexpr size_t npos = std::string_view::npos;
bool Contains(std::string_view s, std::string_view what) { return s.find(what) != npos; }

// Where the markup that starts with '<' first stands in a tag, found in one
// pass over its '<' bytes (tags usually hold a single one).
struct LtMarks {
  size_t version = npos, comment = npos, end = npos;
};

bool HasAt(const char* p, const char* last, std::string_view what) {
  return size_t(last - p) >= what.size() && std::memcmp(p, what.data(), what.size()) == 0;
}

LtMarks FindLtMarks(std::string_view tag) {
  LtMarks m;
  const char* base = tag.data();
  const char* p = base;
  const char* last = base + tag.size();
  while (p < last) {
    p = static_cast<const char*>(std::memchr(p, '<', size_t(last - p)));
    if (!p) break;
    const size_t at = size_t(p - base);
    const char next = p + 1 < last ? p[1] : '\0';
    if (next == 's' && m.version == npos && HasAt(p, last, "<schemaversion>")) m.version = at;
    if (next == '!' && m.comment == npos && HasAt(p, last, "<!--")) m.comment = at;
    if (next == '/' && m.end == npos) m.end = at;
    ++p;
  }
  return m;
}

// The first of the quoted type names, in their fixed order ("b", "i4",
// "r4", "s", "64Bin", "la"), that occurs anywhere in `attr`; TAG_NONE when
// none does.
TagType FindQuotedType(std::string_view attr) {
  static constexpr TagType kOrder[] = {TAG_BOOL,   TAG_LONG,      TAG_FLOAT,
                                       TAG_STRING, TAG_BYTEARRAY, TAG_LONGARRAY};
  unsigned found = 0;
  const char* p = attr.data();
  const char* last = p + attr.size();
  while (p < last) {
    p = static_cast<const char*>(std::memchr(p, '"', size_t(last - p)));
    if (!p) break;
    const char* q = p + 1;
    switch (q < last ? *q : '\0') {
      case 'b': found |= HasAt(q + 1, last, "\"") ? 1u : 0u; break;
      case 'i': found |= HasAt(q + 1, last, "4\"") ? 2u : 0u; break;
      case 'r': found |= HasAt(q + 1, last, "4\"") ? 4u : 0u; break;
      case 's': found |= HasAt(q + 1, last, "\"") ? 8u : 0u; break;
      case '6': found |= HasAt(q + 1, last, "4Bin\"") ? 16u : 0u; break;
      case 'l': found |= HasAt(q + 1, last, "a\"") ? 32u : 0u; break;
      default: break;
    }
    ++p;
  }
  for (unsigned i = 0; i < 6; ++i)
    if (found & (1u << i)) return kOrder[i];
  return TAG_NONE;
}

}  // namespace

HRESULT CSaxParser::GetTagType(std::string_view tag, std::string& name, TagType& type, bool& empty) {
  name.clear();
  type = TAG_NONE;
  empty = false;
  HRESULT hr = Classify(tag, name, type, empty);
  return hr;
}

// The steps run in a fixed order; the first that recognises the tag decides.
HRESULT CSaxParser::Classify(std::string_view tag, std::string& name, TagType& type, bool& empty) {
  const LtMarks marks = FindLtMarks(tag);
  const char* step = nullptr;
  HRESULT hr = S_OK;
  if (marks.version != npos) {
    step = "IsVersion";
    hr = ClassifyVersion(name, type);
  } else if (marks.comment != npos) {
    step = "IsComment";
    hr = ClassifyComment(tag, marks.comment, name, type);
  } else if (marks.end != npos) {
    step = "IsEndTag";
    hr = ClassifyEndTag(tag, marks.end, name, type);
  } else if (tag.find('=') == npos) {
    step = "IsBeginTag";
    hr = ClassifyPlainTag(tag, name, type);
  } else {
    hr = ClassifyTypedTag(tag, name, type, empty, step);
  }
  if (FAILED(hr)) XW_TRACE_ERROR(m_trace) << "GetTagType: " << step << " failed with: " << hr;
  return hr;
}

// Version element: the value and the end tag follow.
HRESULT CSaxParser::ClassifyVersion(std::string& name, TagType& type) {
  std::string_view value;
  HRESULT hr = GetNextValue(value);
  if (FAILED(hr)) {
    XW_TRACE_ERROR(m_trace) << "IsVersionTag: GetNextValue failed with: " << hr;
    return hr;
  }
  name.assign(value);
  std::string_view end;
  hr = GetNextTag(end);
  if (FAILED(hr)) {
    XW_TRACE_ERROR(m_trace) << "IsVersionTag: GetNextTag failed with: " << hr;
    return hr;
  }
  if (!Contains(end, "</schemaversion>")) {
    XW_TRACE_ERROR(m_trace) << "IsVersionTag:end element missing";
    ReportHandlerError(XML_E_VERSIONEND);
    return XML_E_VERSIONEND;
  }
  type = TAG_VERSION;
  return S_OK;
}

// Comment: the text between "<!-- " and the byte before "-->".
HRESULT CSaxParser::ClassifyComment(std::string_view tag, size_t at, std::string& name, TagType& type) {
  size_t q = tag.find("-->", at);
  if (q == npos) {
    XW_TRACE_ERROR(m_trace) << "IsComment: syntax error : no end ";
    ReportHandlerError(XML_E_SYNTAX);
    return XML_E_SYNTAX;
  }
  if (q >= at + 6) name.assign(tag.substr(at + 5, q - 1 - (at + 5)));
  type = TAG_COMMENT;
  return S_OK;
}

HRESULT CSaxParser::ClassifyEndTag(std::string_view tag, size_t at, std::string& name, TagType& type) {
  size_t gt = tag.find('>', at);
  if (gt == npos) {
    XW_TRACE_ERROR(m_trace) << "IsEndTag: syntax error : no end ";
    ReportHandlerError(XML_E_SYNTAX);
    return XML_E_SYNTAX;
  }
  name.assign(tag.substr(at + 2, gt - at - 2));
  type = TAG_END;
  return S_OK;
}

// A tag without attribute: empty (<name/>) or a begin tag; an empty tag
// string (end of input) ends here.
HRESULT CSaxParser::ClassifyPlainTag(std::string_view tag, std::string& name, TagType& type) {
  if (size_t q = tag.find("/>"); q != npos) {
    name.assign(tag.substr(1, q - 1));
    type = TAG_EMPTY;
    return S_OK;
  }
  size_t gt = tag.find('>');
  if (gt == npos) {
    ReportHandlerError(XML_E_SYNTAX);
    return XML_E_SYNTAX;
  }
  name.assign(tag.substr(1, gt - 1));
  type = TAG_BEGIN;
  return S_OK;
}

// Typed tag: the name up to the first space, then the quoted type name.
HRESULT CSaxParser::ClassifyTypedTag(std::string_view tag, std::string& name, TagType& type, bool& empty,
                                     const char*& step) {
  step = "GetTagName";
  size_t lt = tag.empty() || tag[0] != '<' ? tag.find('<') : 0;
  size_t nameEnd = lt == npos ? npos : tag.find(' ', lt);
  if (lt != npos && nameEnd == npos) nameEnd = tag.find('>', lt);
  if (lt == npos || nameEnd == npos) {
    XW_TRACE_ERROR(m_trace) << "GetTagName: syntax error";
    ReportHandlerError(XML_E_SYNTAX);
    return XML_E_SYNTAX;
  }
  name.assign(tag.substr(lt + 1, nameEnd - lt - 1));
  step = "GetTagAttribute";
  std::string_view rest = tag.substr(nameEnd + 1);
  HRESULT hr = S_OK;
  size_t eq = rest.find('=');
  if (eq == npos) {
    hr = XML_E_SYNTAX;
    XW_TRACE_ERROR(m_trace) << "GetTagAttribute: syntax error : no attribute";
  } else {
    type = FindQuotedType(rest.substr(eq));
    if (type == TAG_NONE) {
      hr = XML_E_UNKNOWNTYPE;
      XW_TRACE_ERROR(m_trace) << "GetTagAttribute: syntax error : undefine attribute type";
    }
  }
  if (FAILED(hr)) {
    ReportHandlerError(hr);
    if (m_depth < INT32_MAX) ++m_depth;
    return hr;
  }
  empty = Contains(rest, "/>");
  return S_OK;
}

}  // namespace xmlweave
