#pragma once
// Text for a terminal: what every printer of the command line writes names,
// values and messages through.

#include <string>
#include <string_view>

namespace restorix {

// Whether a text for the terminal keeps its line feeds: a message of several
// lines does; a name or a value on one line does not.
enum class LineFeeds { Escaped, Kept };

// Each control character (C0, DEL, and C1 as UTF-8 spells it) shown as \xNN,
// byte by byte, so that a name read from a datafile cannot move the cursor,
// clear the screen, retitle the window or rewrite what is shown. Everything
// else, backslashes and malformed UTF-8 too, is left as it is.
std::string terminalText(std::string_view text, LineFeeds lineFeeds = LineFeeds::Escaped);

}  // namespace restorix
