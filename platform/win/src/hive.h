#pragma once
// In-memory form of one registry hive and its text file format (described in
// win/registry.h). Internal to the runtime library.
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"

namespace win::reg {

// Key and value names compare by their ASCII upper-case form, which also
// orders subkeys as Windows lists them.
std::string Fold(std::string_view name);

struct Value {
  std::string name;
  DWORD type = 0;
  std::vector<uint8_t> data;  // REG_SZ without its terminating zero
};

struct Node {
  std::string name;
  std::map<std::string, std::unique_ptr<Node>> children;  // by folded name
  std::vector<Value> values;                              // in creation order

  Node* Child(std::string_view childName) const;
  // The existing child of that name, or a new one; `created` tells which.
  Node& AddChild(std::string_view childName, bool* created = nullptr);
  bool RemoveChild(std::string_view childName);

  Value* FindValue(std::string_view valueName);
  const Value* FindValue(std::string_view valueName) const;
  bool RemoveValue(std::string_view valueName);
};

// The node at `path` below `root`, or null.
const Node* Find(const Node& root, const std::vector<std::string>& path);
Node* Find(Node& root, const std::vector<std::string>& path);

// Reads a hive file's text into `root` (which must be empty). On failure
// `error` says which line holds what is wrong, and `root` is left partial.
bool ParseHive(std::string_view text, std::string_view rootName, Node& root, std::string& error);
std::string SerializeHive(const Node& root, std::string_view rootName);

}  // namespace win::reg
