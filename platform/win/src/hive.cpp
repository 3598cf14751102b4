#include "hive.h"

#include <cstring>
#include <unordered_map>

#include "base/strings.h"
#include "win/registry.h"

namespace win::reg {
namespace {

constexpr std::string_view kHeader = "DX47X-HIVE 1";
constexpr std::string_view kEnd = "END";
constexpr char kHex[] = "0123456789abcdef";

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendHexByte(std::string& out, unsigned char c) {
  out += kHex[c >> 4];
  out += kHex[c & 15];
}

// Key names: '%', '\\' (the path separator) and control bytes (NUL and
// line ends among them) → %HH, so that a name of any bytes stays one name
// on one line.
std::string EscapeKeyName(std::string_view name) {
  std::string out;
  for (unsigned char c : name) {
    if (c == '%' || c == '\\' || IsControl(c)) {
      out += '%';
      AppendHexByte(out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool UnescapeKeyName(std::string_view in, std::string& out, std::string& error) {
  out.clear();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '%') {
      out += in[i];
      continue;
    }
    int hi = i + 2 < in.size() ? HexDigit(in[i + 1]) : -1;
    int lo = hi >= 0 ? HexDigit(in[i + 2]) : -1;
    if (lo < 0) {
      error = "bad %-escape in key name";
      return false;
    }
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  if (out.empty()) {
    error = "empty key name";
    return false;
  }
  return true;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (IsControl(c)) {
          out += "\\x";
          AppendHexByte(out, c);
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

// Reads a quoted text starting at line[pos] == '"'; pos ends behind the
// closing quote.
bool Unquote(std::string_view line, size_t& pos, std::string& out, std::string& error) {
  out.clear();
  for (++pos; pos < line.size(); ++pos) {
    char c = line[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++pos >= line.size()) break;
    switch (line[pos]) {
      case '\\': out += '\\'; break;
      case '"': out += '"'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x': {
        int hi = pos + 2 < line.size() ? HexDigit(line[pos + 1]) : -1;
        int lo = hi >= 0 ? HexDigit(line[pos + 2]) : -1;
        if (lo < 0) {
          error = "bad \\x escape";
          return false;
        }
        out += static_cast<char>(hi * 16 + lo);
        pos += 2;
        break;
      }
      default: error = std::string("unknown escape \\") + line[pos]; return false;
    }
  }
  error = "unterminated quoted text";
  return false;
}

bool ParseHexNumber(std::string_view s, size_t maxDigits, uint32_t& value) {
  if (s.empty() || s.size() > maxDigits) return false;
  value = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0) return false;
    value = value * 16 + static_cast<uint32_t>(d);
  }
  return true;
}

bool ParseData(std::string_view s, Value& v, std::string& error) {
  if (!s.empty() && s[0] == '"') {
    size_t pos = 0;
    std::string text;
    if (!Unquote(s, pos, text, error)) return false;
    if (pos != s.size()) {
      error = "text after the closing quote";
      return false;
    }
    v.type = REG_SZ;  // every byte, zero bytes too, as the writer wrote them
    v.data.assign(text.begin(), text.end());
    return true;
  }
  if (s.starts_with("dword:")) {
    uint32_t value;
    if (!ParseHexNumber(s.substr(6), 8, value)) {
      error = "bad dword";
      return false;
    }
    v.type = REG_DWORD;
    v.data.resize(4);
    std::memcpy(v.data.data(), &value, 4);
    return true;
  }
  std::string_view bytes;
  if (s.starts_with("hex:")) {
    v.type = REG_BINARY;
    bytes = s.substr(4);
  } else if (s.starts_with("hex(")) {
    size_t close = s.find("):");
    if (close == std::string_view::npos || !ParseHexNumber(s.substr(4, close - 4), 8, v.type)) {
      error = "bad hex(type)";
      return false;
    }
    bytes = s.substr(close + 2);
  } else {
    error = "unknown value data";
    return false;
  }
  v.data.clear();
  while (!bytes.empty()) {
    uint32_t b;
    size_t comma = bytes.find(',');
    if (!ParseHexNumber(bytes.substr(0, comma), 2, b)) {
      error = "bad hex byte";
      return false;
    }
    v.data.push_back(static_cast<uint8_t>(b));
    if (comma == std::string_view::npos) break;
    bytes.remove_prefix(comma + 1);
    if (bytes.empty()) {
      error = "trailing comma";
      return false;
    }
  }
  return true;
}

// The reader's state over the lines of one file.
class HiveParser {
 public:
  HiveParser(std::string_view rootName, Node& root) : m_rootName(rootName), m_root(root) {}

  bool KeyLine(std::string_view line, std::string& error);
  bool ValueLine(std::string_view line, std::string& error);

 private:
  // A value of one key, by its folded name.
  struct ValueKey {
    const Node* node;
    std::string folded;
    bool operator==(const ValueKey&) const = default;
  };
  struct ValueKeyHash {
    size_t operator()(const ValueKey& k) const {
      return std::hash<std::string>()(k.folded) ^ (std::hash<const Node*>()(k.node) * 31);
    }
  };

  std::string_view m_rootName;
  Node& m_root;
  Node* m_current = nullptr;
  size_t m_keys = 0;
  // Where each value stands in its key's list: a repeated name replaces the
  // earlier value, and a key with very many values is still read in linear
  // time.
  std::unordered_map<ValueKey, size_t, ValueKeyHash> m_valueIndex;
};

bool HiveParser::KeyLine(std::string_view line, std::string& error) {
  std::string_view inner = line.substr(1, line.size() - 2);
  std::vector<std::string> names;  // the root's name, then up to kMaxKeyDepth names
  for (;;) {
    if (names.size() > kMaxKeyDepth) {
      error = "key nested deeper than " + std::to_string(kMaxKeyDepth) + " levels";
      return false;
    }
    size_t slash = inner.find('\\');
    std::string name;
    if (!UnescapeKeyName(inner.substr(0, slash), name, error)) return false;
    names.push_back(std::move(name));
    if (slash == std::string_view::npos) break;
    inner.remove_prefix(slash + 1);
  }
  if (Fold(names[0]) != Fold(m_rootName)) {
    error = "key outside " + std::string(m_rootName);
    return false;
  }
  Node* node = &m_root;
  for (size_t i = 1; i < names.size(); ++i) {
    bool created = false;
    node = &node->AddChild(names[i], &created);
    if (created && ++m_keys > kMaxHiveKeys) {
      error = "more than " + std::to_string(kMaxHiveKeys) + " keys";
      return false;
    }
  }
  m_current = node;
  return true;
}

bool HiveParser::ValueLine(std::string_view line, std::string& error) {
  if (!m_current) {
    error = "value before the first key";
    return false;
  }
  Value v;
  size_t pos = 0;
  if (line[0] == '@') {
    pos = 1;
  } else if (!Unquote(line, pos, v.name, error)) {
    return false;
  } else if (v.name.empty() || v.name.find('\0') != std::string::npos) {
    error = "bad value name";
    return false;
  }
  if (pos >= line.size() || line[pos] != '=') {
    error = "'=' expected";
    return false;
  }
  if (!ParseData(line.substr(pos + 1), v, error)) return false;
  auto [it, added] = m_valueIndex.try_emplace(ValueKey{m_current, Fold(v.name)}, m_current->values.size());
  if (added) {
    m_current->values.push_back(std::move(v));
  } else {
    m_current->values[it->second] = std::move(v);
  }
  return true;
}

// Writes keys depth first; refuses a hive that the reader would refuse.
class HiveWriter {
 public:
  explicit HiveWriter(std::string& out) : m_out(out) {}

  bool Key(const Node& node, const std::string& path, size_t depth, std::string& error) {
    // A key with subkeys and no values is implied by its subkeys' lines.
    if (!node.values.empty() || node.children.empty()) m_out += "\n[" + path + "]\n";
    for (const Value& v : node.values) WriteValue(v);
    if (m_out.size() > kMaxHiveBytes) return TooLarge(error);
    if (!node.children.empty() && depth >= kMaxKeyDepth) {
      error = "a key would be nested deeper than " + std::to_string(kMaxKeyDepth) + " levels";
      return false;
    }
    for (const auto& [folded, child] : node.children) {
      if (++m_keys > kMaxHiveKeys) {
        error = "the hive would hold more than " + std::to_string(kMaxHiveKeys) + " keys";
        return false;
      }
      if (!Key(*child, path + "\\" + EscapeKeyName(child->name), depth + 1, error)) return false;
    }
    return true;
  }

  static bool TooLarge(std::string& error) {
    error = "the hive file would be larger than " + std::to_string(kMaxHiveBytes) + " bytes";
    return false;
  }

 private:
  void WriteValue(const Value& v) {
    m_out += v.name.empty() ? std::string("@") : Quote(v.name);
    m_out += '=';
    if (v.type == REG_SZ) {
      m_out += Quote(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size()));
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
      uint32_t value;
      std::memcpy(&value, v.data.data(), 4);
      m_out += base::Format("dword:%08x", value);
    } else {
      m_out += base::Format("hex(%x):", v.type);
      for (size_t i = 0; i < v.data.size(); ++i) {
        if (i) m_out += ',';
        AppendHexByte(m_out, v.data[i]);
      }
    }
    m_out += '\n';
  }

  std::string& m_out;
  size_t m_keys = 0;
};

}  // namespace

std::string Fold(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

Node::~Node() {
  std::vector<std::unique_ptr<Node>> pending;
  auto detachChildren = [&pending](Node& node) {
    for (auto& [folded, child] : node.children) pending.push_back(std::move(child));
    node.children.clear();
  };
  detachChildren(*this);
  while (!pending.empty()) {
    std::unique_ptr<Node> node = std::move(pending.back());
    pending.pop_back();
    detachChildren(*node);
  }  // each node dies here without children of its own
}

Node* Node::Child(std::string_view childName) const {
  auto it = children.find(Fold(childName));
  return it == children.end() ? nullptr : it->second.get();
}

Node& Node::AddChild(std::string_view childName, bool* created) {
  auto [it, inserted] = children.try_emplace(Fold(childName));
  if (inserted) {
    it->second = std::make_unique<Node>();
    it->second->name = std::string(childName);
  }
  if (created) *created = inserted;
  return *it->second;
}

bool Node::RemoveChild(std::string_view childName) { return children.erase(Fold(childName)) > 0; }

Value* Node::FindValue(std::string_view valueName) {
  std::string folded = Fold(valueName);
  for (Value& v : values)
    if (Fold(v.name) == folded) return &v;
  return nullptr;
}

const Value* Node::FindValue(std::string_view valueName) const {
  return const_cast<Node*>(this)->FindValue(valueName);
}

bool Node::RemoveValue(std::string_view valueName) {
  Value* v = FindValue(valueName);
  if (!v) return false;
  values.erase(values.begin() + (v - values.data()));
  return true;
}

const Node* Find(const Node& root, const std::vector<std::string>& path) {
  const Node* node = &root;
  for (const std::string& name : path) {
    node = node->Child(name);
    if (!node) return nullptr;
  }
  return node;
}

Node* Find(Node& root, const std::vector<std::string>& path) {
  return const_cast<Node*>(Find(static_cast<const Node&>(root), path));
}

bool SameTree(const Node& a, const Node& b) {
  std::vector<std::pair<const Node*, const Node*>> pending{{&a, &b}};
  while (!pending.empty()) {
    auto [x, y] = pending.back();
    pending.pop_back();
    if (x->name != y->name || x->values != y->values || x->children.size() != y->children.size())
      return false;
    for (auto i = x->children.begin(), j = y->children.begin(); i != x->children.end(); ++i, ++j) {
      if (i->first != j->first) return false;
      pending.emplace_back(i->second.get(), j->second.get());
    }
  }
  return true;
}

bool ParseHive(std::string_view text, std::string_view rootName, Node& root, std::string& error) {
  if (text.size() > kMaxHiveBytes) {
    error = "larger than " + std::to_string(kMaxHiveBytes) + " bytes";
    return false;
  }
  HiveParser parser(rootName, root);
  bool ended = false;
  size_t lineNo = 0;
  while (!text.empty()) {
    size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    ++lineNo;
    if (line.ends_with('\r')) line.remove_suffix(1);
    auto fail = [&](const std::string& what) {
      error = "line " + std::to_string(lineNo) + ": " + what;
      return false;
    };
    if (lineNo == 1) {
      if (line != kHeader) return fail("not a hive file (header \"" + std::string(kHeader) + "\" missing)");
      continue;
    }
    if (line.empty() || line[0] == ';') continue;
    if (ended) return fail("text after END");
    std::string what;
    if (line == kEnd) {
      ended = true;
    } else if (line[0] == '[' && line.size() >= 2 && line.back() == ']') {
      if (!parser.KeyLine(line, what)) return fail(what);
    } else if (line[0] == '"' || line[0] == '@') {
      if (!parser.ValueLine(line, what)) return fail(what);
    } else {
      return fail("unrecognised line");
    }
  }
  if (lineNo == 0) {
    error = "empty file";
    return false;
  }
  if (!ended) {
    error = "truncated (no END line after line " + std::to_string(lineNo) + ")";
    return false;
  }
  return true;
}

bool SerializeHive(const Node& root, std::string_view rootName, std::string& out, std::string& error) {
  out.assign(kHeader);
  out += '\n';
  HiveWriter writer(out);
  if (!writer.Key(root, std::string(rootName), 0, error)) return false;
  out += "\nEND\n";
  if (out.size() > kMaxHiveBytes) return HiveWriter::TooLarge(error);
  return true;
}

}  // namespace win::reg
