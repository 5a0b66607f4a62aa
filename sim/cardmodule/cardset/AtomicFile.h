#pragma once

#include <string>

namespace QuendrySim
{
bool ReadWholeFile(const std::string& path, std::string& out);
// Writes a temporary file in the target's folder and renames it over the target, so a reader sees
// either the old or the new content, never a part.
bool WriteFileAtomically(const std::string& path, const std::string& content);
} // namespace QuendrySim
