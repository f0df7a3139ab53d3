#pragma once
// Windows gives the text of an error as a sentence for a message box: a full stop and a line
// break at the end, and "%1" where the caller could have put the name of the file. Our
// messages put the reason after the file and a colon, as the texts of other systems read.

#include <string>
#include <string_view>

namespace kitforge {

// `text` without the trailing full stop, line breaks and blanks, and with every insert ("%1",
// "%2", ...) read as "it": the message names the file before the reason.
std::string TidySystemMessage(std::string_view text);

}  // namespace kitforge
