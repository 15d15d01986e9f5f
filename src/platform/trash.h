#pragma once

#include <string>

namespace km {

// Moves a file to the desktop trash by the freedesktop rules, through GLib's
// GIO: the home trash for a file on the home's file system, else the trash at
// the top of the file's own file system. The path is taken as bytes, so names
// that are no UTF-8 go too. False when the file could not go there; it then
// stays where it is.
bool MoveToDesktopTrash(const std::string& path);

} // namespace km
