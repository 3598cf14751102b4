#include "host/group_address_csv.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <optional>

namespace host {
namespace {

struct Record {
  int line = 0;
  std::vector<std::string> fields;
  bool blank = true;  // one empty, unquoted field
};

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return std::string(s.substr(b, e - b));
}

// Without a byte order mark and with LF line ends only.
std::string Normalise(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] != '\r' || i + 1 >= text.size() || text[i + 1] != '\n') out.push_back(text[i]);
  return out;
}

// Splits CSV text into records; a quoted field may span lines.
class Reader {
 public:
  Reader(std::string_view text, char sep, const std::string& file) : text_(text), sep_(sep), file_(file) {}

  bool Next(Record* rec) {
    if (pos_ >= text_.size()) return false;
    *rec = Record{line_, {}, true};
    std::string field;
    bool quoted = false;  // inside quotes
    bool closed = false;  // after the closing quote of this field
    while (pos_ < text_.size()) {
      char c = text_[pos_++];
      if (quoted) {
        if (c == '"' && pos_ < text_.size() && text_[pos_] == '"') {
          field.push_back('"');
          ++pos_;
        } else if (c == '"') {
          quoted = false;
          closed = true;
        } else {
          if (c == '\n') ++line_;
          field.push_back(c);
        }
      } else if (c == sep_ || c == '\n') {
        rec->fields.push_back(closed ? field : Trim(field));
        field.clear();
        closed = false;
        if (c == '\n') {
          ++line_;
          return Finish(rec);
        }
      } else if (c == '"' && !closed && Trim(field).empty()) {
        field.clear();
        quoted = true;
        rec->blank = false;
      } else if (closed && c != ' ' && c != '\t') {
        throw GroupAddressCsvError(file_, line_, "text after the closing quote of a field");
      } else if (!closed) {
        field.push_back(c);
      }
    }
    if (quoted) throw GroupAddressCsvError(file_, rec->line, "a quoted field is not closed");
    rec->fields.push_back(closed ? field : Trim(field));
    return Finish(rec);
  }

 private:
  static bool Finish(Record* rec) {
    rec->blank = rec->blank && rec->fields.size() == 1 && rec->fields[0].empty();
    return true;
  }

  std::string_view text_;
  char sep_;
  const std::string& file_;
  size_t pos_ = 0;
  int line_ = 1;
};

// The separator that occurs most often outside quotes in the first
// non-blank line (',' first on a tie); 0 when none does.
char DetectSeparator(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && (text[start] == '\n' || text[start] == ' ')) ++start;
  std::array<std::pair<char, int>, 3> counts{{{',', 0}, {';', 0}, {'\t', 0}}};
  bool quoted = false;
  for (size_t i = start; i < text.size() && (quoted || text[i] != '\n'); ++i) {
    if (text[i] == '"') quoted = !quoted;
    for (auto& [sep, n] : counts)
      if (!quoted && text[i] == sep) ++n;
  }
  auto best = std::max_element(counts.begin(), counts.end(),
                               [](const auto& a, const auto& b) { return a.second < b.second; });
  return best->second > 0 ? best->first : 0;
}

// A header text without case, spaces, '_' and '-'.
std::string HeaderKey(const std::string& text) {
  std::string key;
  for (char c : text)
    if (c != ' ' && c != '_' && c != '-' && c != '\t')
      key.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  return key;
}

enum class Column { Other, Address, Name };

Column ColumnOf(const std::string& header) {
  std::string key = HeaderKey(header);
  if (key == "address" || key == "groupaddress" || key == "ga") return Column::Address;
  if (key == "name" || key == "groupname" || key == "groupaddressname") return Column::Name;
  return Column::Other;
}

struct Layout {
  size_t address = 0;
  size_t name = 0;
};

Layout HeaderLayout(const Record& header, const std::string& file) {
  std::optional<size_t> address, name;
  for (size_t i = 0; i < header.fields.size(); ++i) {
    Column c = ColumnOf(header.fields[i]);
    std::optional<size_t>& slot = c == Column::Address ? address : name;
    if (c == Column::Other) continue;
    if (slot)
      throw GroupAddressCsvError(file, header.line,
                                 "the header row names the column '" + header.fields[i] + "' twice");
    slot = i;
  }
  if (!address || !name)
    throw GroupAddressCsvError(
        file, header.line,
        std::string("the header row names no ") +
            (!address ? "address column (Address or Group address)" : "name column (Name or Group name)"));
  return {*address, *name};
}

GroupAddressEntry DataRow(const Record& rec, const Layout& layout, const std::string& file) {
  size_t needed = std::max(layout.address, layout.name) + 1;
  if (rec.fields.size() < needed)
    throw GroupAddressCsvError(file, rec.line,
                               "the row has " + std::to_string(rec.fields.size()) +
                                   " field(s); the address and name columns need " + std::to_string(needed));
  GroupAddressEntry e;
  e.line = rec.line;
  std::string text = Trim(rec.fields[layout.address]);
  if (!ParseGroupAddress(text, &e.address))
    throw GroupAddressCsvError(file, rec.line,
                               "'" + text +
                                   "' is not a three-level group address (MAIN/MIDDLE/SUB: main "
                                   "0..31, middle 0..7, sub 0..255)");
  e.name = rec.fields[layout.name];
  if (e.name.empty()) throw GroupAddressCsvError(file, rec.line, "group address " + text + " has no name");
  return e;
}

}  // namespace

std::vector<GroupAddressEntry> ParseGroupAddressCsv(std::string_view input, const std::string& fileName) {
  std::string text = Normalise(input);
  char sep = DetectSeparator(text);
  Reader reader(text, sep ? sep : ',', fileName);
  Record rec;
  while (reader.Next(&rec) && rec.blank) {
  }
  if (rec.blank) throw GroupAddressCsvError(fileName, rec.line ? rec.line : 1, "the file has no header row");
  if (!sep)
    throw GroupAddressCsvError(fileName, rec.line,
                               "the header row must name an address and a name column, "
                               "separated by ',', ';' or a tab");
  Layout layout = HeaderLayout(rec, fileName);
  std::vector<GroupAddressEntry> out;
  std::map<uint16_t, int> firstLine;
  while (reader.Next(&rec)) {
    if (rec.blank) continue;
    GroupAddressEntry e = DataRow(rec, layout, fileName);
    auto [it, fresh] = firstLine.emplace(e.address, e.line);
    if (!fresh)
      throw GroupAddressCsvError(fileName, e.line,
                                 "group address " + GroupAddressText(e.address) +
                                     " is given twice (first in line " + std::to_string(it->second) + ")");
    out.push_back(std::move(e));
  }
  return out;
}

}  // namespace host
