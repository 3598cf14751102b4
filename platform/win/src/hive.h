#pragma once
// In-memory form of one registry hive and its text file format (described in
// win/registry.h). Internal to the runtime library.
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"

namespace win::reg {

// What one hive may hold. The reader refuses a file beyond these bounds as
// corrupt, and the writer refuses to write a hive beyond them, so that every
// file written can be read again.
constexpr size_t kMaxKeyDepth = 512;                // key names below the hive's root
constexpr size_t kMaxHiveKeys = 1'000'000;          // keys below the hive's root
constexpr size_t kMaxHiveBytes = size_t{16} << 20;  // size of the file

// Key and value names compare by their ASCII upper-case form, which also
// orders subkeys as Windows lists them.
std::string Fold(std::string_view name);

struct Value {
  std::string name;
  DWORD type = 0;
  std::vector<uint8_t> data;  // REG_SZ without its terminating zero

  bool operator==(const Value&) const = default;
};

struct Node {
  std::string name;
  std::map<std::string, std::unique_ptr<Node>> children;  // by folded name
  std::vector<Value> values;                              // in creation order

  Node() = default;
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  // Frees the subtree level by level, so that no depth of keys can exhaust
  // the stack.
  ~Node();

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

// Whether two trees hold the same keys (names spelled alike, in the same
// places) and the same values in the same order.
bool SameTree(const Node& a, const Node& b);

// Reads a hive file's text into `root` (which must be empty). On failure
// `error` says which line holds what is wrong, and `root` is left partial.
bool ParseHive(std::string_view text, std::string_view rootName, Node& root, std::string& error);
// The file text of a hive. A hive beyond the bounds above is not written:
// false, with `error` saying which bound it exceeds.
bool SerializeHive(const Node& root, std::string_view rootName, std::string& out, std::string& error);

}  // namespace win::reg
