#pragma once

#include <string>
#include <string_view>

namespace trelvo {

// The tool prints texts of dictionaries, servers and files that anyone may
// have written. A control character in them would split a line or a column
// of the output, or act on the terminal (an escape sequence sets its title,
// moves the cursor or worse), so none is printed as it is: in UTF-8 text, TAB,
// LF and CR become \t, \n and \r, a backslash becomes \\, and every other
// byte of a control character (below 0x20, 0x7F, and both bytes of U+0080 to
// U+009F) becomes \xNN in upper-case hexadecimal. Text without them is
// printed unchanged.
std::string printable(std::string_view utf8);

// The text that printable() gave line, so that a dump read back as input
// gives the same texts: \t, \n, \r, \\ and \xNN become their bytes; any other
// backslash is taken as it stands.
std::string fromPrintable(std::string_view line);

}  // namespace trelvo
