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

HRESULT CSaxParser::GetTagType(std::string_view tag, std::string& name, TagType& type,
                               bool& empty) {
  name.clear();
  type = TAG_NONE;
  empty = false;
  HRESULT hr = Classify(tag, name, type, empty);
  return hr;
}

// The steps run in a fixed order; the first that recognises the tag decides.
HRESULT CSaxParser::Classify(std::string_view tag, std::string& name, TagType& type,
                             bool& empty) {
  HRESULT hr = S_OK;
  auto failed = [&](const char* step) {
    XW_TRACE_ERROR(m_trace) << "GetTagType: " << step << " failed with: " << hr;
    return hr;
  };

  const LtMarks marks = FindLtMarks(tag);
  // Version element: the value and the end tag follow.
  if (marks.version != npos) {
    std::string_view value;
    hr = GetNextValue(value);
    if (FAILED(hr)) {
      XW_TRACE_ERROR(m_trace) << "IsVersionTag: GetNextValue failed with: " << hr;
      return failed("IsVersion");
    }
    name.assign(value);
    std::string_view end;
    hr = GetNextTag(end);
    if (FAILED(hr)) {
      XW_TRACE_ERROR(m_trace) << "IsVersionTag: GetNextTag failed with: " << hr;
      return failed("IsVersion");
    }
    if (!Contains(end, "</schemaversion>")) {
      hr = XML_E_VERSIONEND;
      XW_TRACE_ERROR(m_trace) << "IsVersionTag:end element missing";
      ReportHandlerError(hr);
      return failed("IsVersion");
    }
    type = TAG_VERSION;
    return S_OK;
  }

  // Comment: the text between "<!-- " and the byte before "-->".
  if (size_t p = marks.comment; p != npos) {
    size_t q = tag.find("-->", p);
    if (q == npos) {
      hr = XML_E_SYNTAX;
      XW_TRACE_ERROR(m_trace) << "IsComment: syntax error : no end ";
      ReportHandlerError(hr);
      return failed("IsComment");
    }
    if (q >= p + 6) name.assign(tag.substr(p + 5, q - 1 - (p + 5)));
    type = TAG_COMMENT;
    return S_OK;
  }

  // End tag.
  if (size_t p = marks.end; p != npos) {
    size_t gt = tag.find('>', p);
    if (gt == npos) {
      hr = XML_E_SYNTAX;
      XW_TRACE_ERROR(m_trace) << "IsEndTag: syntax error : no end ";
      ReportHandlerError(hr);
      return failed("IsEndTag");
    }
    name.assign(tag.substr(p + 2, gt - p - 2));
    type = TAG_END;
    return S_OK;
  }

  const bool hasAttribute = tag.find('=') != npos;
  // Plain empty tag.
  if (!hasAttribute) {
    if (size_t q = tag.find("/>"); q != npos) {
      name.assign(tag.substr(1, q - 1));
      type = TAG_EMPTY;
      return S_OK;
    }
    // Plain begin tag; an empty tag string (end of input) ends here.
    size_t gt = tag.find('>');
    if (gt == npos) {
      hr = XML_E_SYNTAX;
      ReportHandlerError(hr);
      return failed("IsBeginTag");
    }
    name.assign(tag.substr(1, gt - 1));
    type = TAG_BEGIN;
    return S_OK;
  }

  // Typed tag: the name up to the first space, then the quoted type name.
  size_t lt = tag.empty() || tag[0] != '<' ? tag.find('<') : 0;
  size_t nameEnd = lt == npos ? npos : tag.find(' ', lt);
  if (lt != npos && nameEnd == npos) nameEnd = tag.find('>', lt);
  if (lt == npos || nameEnd == npos) {
    hr = XML_E_SYNTAX;
    XW_TRACE_ERROR(m_trace) << "GetTagName: syntax error";
    ReportHandlerError(hr);
    return failed("GetTagName");
  }
  name.assign(tag.substr(lt + 1, nameEnd - lt - 1));
  std::string_view rest = tag.substr(nameEnd + 1);
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
    return failed("GetTagAttribute");
  }
  empty = Contains(rest, "/>");
  return S_OK;
}

}  // namespace xmlweave
