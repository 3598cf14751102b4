#pragma once
// Group addresses with their names from a CSV text.
//
// The first non-blank row is the header. Its separator (',', ';' or a tab,
// whichever occurs most often outside quotes) is the file's. It must name an
// address column ("Address", "Group address", "GroupAddress", "GA") and a
// name column ("Name", "Group name", "Group address name"); case, spaces,
// '_' and '-' do not matter, other columns are ignored. Fields may be
// double-quoted ("" stands for one quote; a quoted field may hold
// separators and line breaks); surrounding spaces are dropped. Every data
// row needs a three-level address MAIN/MIDDLE/SUB (main 0..31, middle 0..7,
// sub 0..255), a non-empty name and an address not given before; blank rows
// are skipped. A UTF-8 byte order mark and CR LF line ends are accepted.
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/project.h"

namespace host {

// A file that cannot be imported: "FILE:LINE: what is wrong".
class GroupAddressCsvError : public std::runtime_error {
 public:
  GroupAddressCsvError(const std::string& file, int line, const std::string& message)
      : std::runtime_error(file + ":" + std::to_string(line) + ": " + message), line_(line) {}
  int Line() const { return line_; }

 private:
  int line_;
};

// The rows of `text` in file order, each with the line it starts on; throws
// GroupAddressCsvError naming `fileName` and the line of the first fault.
std::vector<GroupAddressEntry> ParseGroupAddressCsv(std::string_view text, const std::string& fileName);

}  // namespace host
