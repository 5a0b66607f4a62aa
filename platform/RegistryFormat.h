#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The in-memory form of one hive of the file store and its `.reg` text form (used where the
// registry is a file, not on Windows).
namespace platform::regfile
{
struct ValueRecord
{
    std::string name; // empty: the key's default value
    uint32_t type = 0;
    std::vector<unsigned char> data;
};

struct KeyRecord
{
    std::string path; // below the hive, as first spelt; empty for the hive's root
    std::vector<ValueRecord> values;
};

// Keys by their folded path; the root is always present under "".
using HiveRecord = std::map<std::string, KeyRecord>;

// Key and value names compare without regard to (ASCII) case, as on Windows, and sort the way
// Windows sorts them: by their upper-case form.
std::string FoldCase(const std::string& name);
std::string JoinParts(const std::vector<std::string>& parts);

HiveRecord EmptyHive();
// Adds the key and every missing key above it; gives the key's folded path.
std::string AddKey(HiveRecord& hive, const std::vector<std::string>& parts);
bool HasSubKeys(const HiveRecord& hive, const std::string& foldedPath);
std::vector<const KeyRecord*> SubKeys(const HiveRecord& hive, const std::string& foldedPath);
ValueRecord* FindValue(KeyRecord& key, const std::string& name);

// A line of the file by its number (1-based; a value continued over lines counts at its first).
struct NumberedLine
{
    size_t number = 0;
    std::string text;
};

// Lines that are not understood are skipped and, where unreadable is given, listed there; the
// values below a section header that cannot be read belong to no key. Sections of another hive
// are ignored without a word.
HiveRecord ParseHive(const std::string& text, const std::string& hiveName,
                     std::vector<NumberedLine>* unreadable = nullptr);
std::string FormatHive(const HiveRecord& hive, const std::string& hiveName);
} // namespace platform::regfile
