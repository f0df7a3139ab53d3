#pragma once
// The folder field of a window: choosing a folder in a dialog, and reading what was typed.

#include <optional>
#include <string>

namespace kitforge::window {

// `folder` as a full path: a relative one is taken in the current folder. Empty stays empty.
std::string AbsoluteFolder(const std::string& folder);

// The folder itself when it exists, else its nearest parent that does (the current folder
// when none does): where a chooser for it opens.
std::string NearestExistingFolder(const std::string& folder);

// Shows a folder chooser titled `title` that starts at `folder` (or its nearest existing
// parent). Gives the chosen folder as a full path without a trailing '/', or nothing when the
// person cancelled.
std::optional<std::string> ChooseFolder(const std::string& title, const std::string& folder);

}  // namespace kitforge::window
