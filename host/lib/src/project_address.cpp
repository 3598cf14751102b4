#include "host/project_address.h"

#include <charconv>
#include <vector>

#include "base/strings.h"

namespace host {
namespace {

// Splits on `sep` into decimal numbers; false on anything but digits (no
// signs, blanks or other forms a number parser would take).
bool ParseNumbers(std::string_view text, char sep, size_t parts, std::vector<int>* out) {
  out->clear();
  size_t start = 0;
  for (size_t i = 0; i < parts; ++i) {
    size_t end = i + 1 == parts ? text.size() : text.find(sep, start);
    if (end == std::string_view::npos || end == start || end - start > 5) return false;
    for (size_t k = start; k < end; ++k)
      if (text[k] < '0' || text[k] > '9') return false;
    int value = 0;
    const char* first = text.data() + start;
    const char* last = text.data() + end;
    auto [p, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || p != last) return false;
    out->push_back(value);
    start = end + 1;
  }
  return true;
}

}  // namespace

std::string PhysicalAddress::ToString() const {
  return std::to_string(area) + "." + std::to_string(line) + "." + std::to_string(device);
}

bool ParsePhysicalAddress(std::string_view text, PhysicalAddress* out) {
  std::vector<int> n;
  if (!ParseNumbers(text, '.', 3, &n)) return false;
  if (n[0] < 0 || n[0] > 15 || n[1] < 0 || n[1] > 15 || n[2] < 0 || n[2] > 255) return false;
  *out = {n[0], n[1], n[2]};
  return true;
}

bool ParseGroupAddress(std::string_view text, uint16_t* out) {
  std::vector<int> n;
  if (!ParseNumbers(text, '/', 3, &n)) return false;
  if (n[0] < 0 || n[0] > 31 || n[1] < 0 || n[1] > 7 || n[2] < 0 || n[2] > 255) return false;
  *out = static_cast<uint16_t>((n[0] << 11) | (n[1] << 8) | n[2]);
  return true;
}

std::string GroupAddressText(uint16_t address) {
  return std::to_string(address >> 11) + "/" + std::to_string((address >> 8) & 7) + "/" +
         std::to_string(address & 0xFF);
}

HRESULT FormatGroupAddress(uint16_t address, const std::string& name, std::u16string_view format,
                           std::u16string* out) {
  out->clear();
  if (format.empty()) {
    *out = base::Utf8ToUtf16(GroupAddressText(address));
    return S_OK;
  }
  size_t i = 0;
  while (i < format.size()) {
    if (format[i] != u'$' || i + 1 >= format.size() || format[i + 1] != u'(') {
      out->push_back(format[i++]);
      continue;
    }
    size_t close = format.find(u')', i + 2);
    if (close == std::u16string_view::npos) return E_INVALIDARG;
    std::u16string_view token = format.substr(i + 2, close - i - 2);
    std::u16string_view field = token.substr(0, token.find(u','));
    if (field == u"GroupAddress")
      *out += base::Utf8ToUtf16(GroupAddressText(address));
    else if (field == u"Name")
      *out += base::Utf8ToUtf16(name);
    else if (field == u"Number")
      *out += base::Utf8ToUtf16(std::to_string(address));
    else
      return E_INVALIDARG;
    i = close + 1;
  }
  return S_OK;
}

}  // namespace host
