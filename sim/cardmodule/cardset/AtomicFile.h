#pragma once

#include <cstdint>
#include <string>

namespace QuendrySim
{
// What tells one version of a file from another without reading it: every atomic write makes a
// new file, so its identity changes even when size and time stay.
struct FileIdentity
{
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = -1;
    int64_t modifiedNs = 0;

    bool operator==(const FileIdentity& other) const;
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

bool IdentityOf(const std::string& path, FileIdentity& out);
bool ReadWholeFile(const std::string& path, std::string& out);
// Renames source over target in one step.
bool ReplaceWith(const std::string& source, const std::string& target);
// Writes a temporary file in the target's folder and renames it over the target, so a reader sees
// either the old or the new content, never a part. written, when given, receives the identity of
// the new file.
bool WriteFileAtomically(const std::string& path, const std::string& content,
                         FileIdentity* written = nullptr);
} // namespace QuendrySim
