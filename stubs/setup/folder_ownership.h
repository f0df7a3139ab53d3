#pragma once
// Whether root may install into a folder: a folder on the way to it that another user owns,
// or that others may write without the sticky bit, lets that user swap a folder for a link
// while root writes, and so choose where root's files land.

#include <string>

namespace kitforge::setup {

// The first existing folder of `target` (absolute), from "/" down to the target itself, that a
// user other than root could change, with the reason: "/srv/app is owned by user 1000, not
// by root" or "/srv is writable by others and has no sticky bit". The folders of the path as
// written are checked, links included (a link is judged by its owner), and then those of the
// path the links lead to. Empty when every existing folder is root's alone.
std::string FolderOthersCanChange(const std::string& target);

}  // namespace kitforge::setup
