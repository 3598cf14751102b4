#pragma once
// Texts from the project, the registry or files as the command line shows
// them: a device named with terminal control codes must not be able to
// recolour, move or clear the user's terminal, nor fake lines of output.
#include <string>
#include <string_view>

namespace cli {

// `text` with every byte that a terminal could take as a command written as
// \xNN (two upper-case hexadecimal digits): the C0 control codes (tab and
// line feed included), DEL, the C1 control codes U+0080..U+009F (each byte
// of their UTF-8 form) and every byte that is not part of well-formed UTF-8
// (stray continuation bytes, truncated or overlong sequences, surrogates,
// code points above U+10FFFF). Everything else, backslashes included, is
// copied unchanged.
std::string Printable(std::string_view text);

}  // namespace cli
