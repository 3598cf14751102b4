#pragma once
// The xmlweave command line tool: dump, copy and gen.
#include <string>
#include <vector>

namespace cli {

using Args = std::vector<std::string>;

int Dump(const Args& args);
int Copy(const Args& args);
int Gen(const Args& args);

// Prints "xmlweave: <message>" to standard error and returns 2.
int Fail(const std::string& message);

}  // namespace cli
