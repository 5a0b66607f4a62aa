#pragma once

#include <string>

namespace GuiTest
{
// Where below the temporary folder the program keeps the files it hands to the desktop: a folder
// of the user's own on Linux, the user's temporary folder itself on Windows.
std::string DesktopFilesFolderIn(const std::string& temp);
// Whether the path is a folder itself, not a link to one, that this user owns; on Linux also
// closed to everyone else (on Windows the user's profile, which holds TEMP, closes it).
bool FolderOfThisUserOnly(const std::string& path);
} // namespace GuiTest
