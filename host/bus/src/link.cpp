#include "bus/link.h"

#include <map>

namespace bus {
namespace {

struct Scheme {
  std::string usage;
  LinkOpener open;
};

std::map<std::string, Scheme>& Schemes() {
  static std::map<std::string, Scheme> schemes;
  return schemes;
}

}  // namespace

bool RegisterLink(const std::string& scheme, const std::string& usage, LinkOpener open) {
  Schemes()[scheme] = Scheme{usage, std::move(open)};
  return true;
}

std::string LinkUsage() {
  std::string s;
  for (const auto& [name, scheme] : Schemes()) s += (s.empty() ? "" : "|") + scheme.usage;
  return s;
}

std::unique_ptr<Link> OpenLink(const std::string& text, std::string& error) {
  const size_t colon = text.find(':');
  const auto found = colon == std::string::npos ? Schemes().end() : Schemes().find(text.substr(0, colon));
  if (found == Schemes().end()) {
    error = "unknown bus \"" + text + "\" (give " + LinkUsage() + ")";
    return nullptr;
  }
  std::unique_ptr<Link> link = found->second.open(text.substr(colon + 1), error);
  if (!link && error.empty()) error = "cannot open the bus " + text;
  return link;
}

}  // namespace bus
