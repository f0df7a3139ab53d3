#pragma once
// The source text of a Put command: one name typed by hand, or the list that the dialog's
// browse button makes from a multiple selection, each name in double quotes and one blank
// between them. These rules turn that text into the names of the rows it stands for.

#include <string>
#include <string_view>
#include <vector>

namespace kitforge {

// The names of a source text, in order:
// - a text without double quotes is one name, taken whole; an empty text is none;
// - otherwise the text is read from the left: a double quote opens a name that runs to the
//   next double quote, or to the end of the text when no other follows (a quote typed by
//   hand and never closed); text between quoted names, with the blanks around it removed,
//   is a name of its own when anything is left; names that come out empty are dropped.
// Every step moves forward through the text, so the splitting always ends.
std::vector<std::string> SplitPutSources(std::string_view text);

// The one name that a selected row takes from a source text: the first name of the split
// above, or an empty text when there is none. For every text that the browse button makes,
// and for any name typed without quotes, this is the text after the first character up to
// the next double quote, or the whole text.
std::string FirstPutSource(std::string_view text);

// The text that the browse button makes from the chosen files: each path in double quotes,
// one blank between them.
std::string QuotedFileList(const std::vector<std::string>& paths);

}  // namespace kitforge
