#pragma once

// The command line and text output of a console program. On Windows main
// receives its arguments in the ANSI code page, and a console shows the bytes
// written to it in its own code page; both go through UTF-16 there instead.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::console {

// The program's arguments after its name, as UTF-8: on Windows read from
// the UTF-16 command line, whatever the code pages; elsewhere argv as given.
std::vector<std::string> Arguments(int argc, char** argv);

// Writes UTF-8 text and a line end to stream. To a Windows console the text
// goes as UTF-16 (WriteConsoleW), which it shows whatever its code page;
// to a file or pipe, and on other systems, as the UTF-8 bytes. False when it
// could not be written whole.
bool WriteLine(std::FILE* stream, std::string_view utf8);

}  // namespace quillo::console
