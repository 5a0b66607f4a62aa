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

// Folded paths in the order an export lists its keys: each key followed by the keys below it.
struct PathOrder
{
    bool operator()(const std::string& left, const std::string& right) const;
};

// Keys by their folded path; the root is always present under "".
using HiveRecord = std::map<std::string, KeyRecord, PathOrder>;

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

// A file is written back in the encoding it was read in.
enum class FileEncoding
{
    Utf8, // also REGEDIT4's single bytes, taken as they are
    Utf16Le
};

// The file's text as UTF-8 and the encoding it was in: UTF-16LE where the file starts with its
// byte-order mark. False, with the reason, for UTF-16 that cannot be decoded.
bool DecodeFile(const std::string& bytes, FileEncoding& encoding, std::string& text,
                std::string& reason);
// UTF-16LE is written with its byte-order mark; false where the text is not UTF-8.
bool EncodeFile(const std::string& text, FileEncoding encoding, std::string& bytes);
} // namespace platform::regfile
