#pragma once
// The xmlweave command line tool: dump, copy and gen.
#include <string>
#include <vector>

#include "base/hresult.h"

namespace cli {

using Args = std::vector<std::string>;

int Dump(const Args& args);
int Copy(const Args& args);
int Gen(const Args& args);

// Prints "xmlweave: <message>" to standard error and returns 2.
int Fail(const std::string& message);

// What a result of the reader or the writer means, with its code:
// "mismatched end tag, syntax error or premature end (0xC0050001)".
std::string ResultText(HRESULT hr);
// Prints "xmlweave: FILE:LINE: <ResultText>" for an error the reader reported.
void PrintReaderError(const std::string& file, HRESULT hr, uint32_t line);

}  // namespace cli
