#include "platform/RegistryFormat.h"

#include "platform/Registry.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace platform::regfile
{
namespace
{
constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16ByteOrderMark = "\xFF\xFE";
constexpr std::string_view kBlanks = " \t";

std::string_view TrimLeft(std::string_view text)
{
    const size_t first = text.find_first_not_of(kBlanks);
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string_view TrimRight(std::string_view text)
{
    const size_t last = text.find_last_not_of(kBlanks);
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

std::string_view Trim(std::string_view text)
{
    return TrimRight(TrimLeft(text));
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Long hexadecimal values are broken after a comma (or right after "hex:") with a trailing
// backslash and continue, indented, on the next line. Comments never continue.
bool ContinuesOnNextLine(std::string_view line)
{
    return !StartsWith(line, ";") && (EndsWith(line, ",\\") || EndsWith(line, ":\\"));
}

std::vector<NumberedLine> LogicalLines(std::string_view text)
{
    if (StartsWith(text, kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    std::vector<NumberedLine> lines;
    NumberedLine pending;
    for (size_t number = 1; !text.empty(); ++number)
    {
        const size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        line = Trim(line);
        if (pending.text.empty())
            pending.number = number;
        if (ContinuesOnNextLine(line))
        {
            pending.text.append(line.substr(0, line.size() - 1));
            continue;
        }
        pending.text.append(line);
        lines.push_back(std::move(pending));
        pending = NumberedLine();
    }
    if (!pending.text.empty())
        lines.push_back(std::move(pending));
    return lines;
}

std::vector<std::string> SplitKeyPath(std::string_view path)
{
    std::vector<std::string> parts;
    while (!path.empty())
    {
        const size_t end = std::min(path.find('\\'), path.size());
        if (end > 0)
            parts.emplace_back(path.substr(0, end));
        path.remove_prefix(std::min(end + 1, path.size()));
    }
    return parts;
}

// A quoted text with the escapes \\ and \"; consumes it from the front of text.
bool ParseQuoted(std::string_view& text, std::string& out)
{
    if (!StartsWith(text, "\""))
        return false;
    out.clear();
    for (size_t index = 1; index < text.size(); ++index)
    {
        const char character = text[index];
        if (character == '"')
        {
            text.remove_prefix(index + 1);
            return true;
        }
        if (character == '\\' && index + 1 < text.size() &&
            (text[index + 1] == '\\' || text[index + 1] == '"'))
            ++index;
        out.push_back(text[index]);
    }
    return false;
}

int HexDigitValue(char digit)
{
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    return -1;
}

bool ParseHexNumber(std::string_view digits, size_t maxDigits, uint32_t& number)
{
    if (digits.empty() || digits.size() > maxDigits)
        return false;
    number = 0;
    for (char digit : digits)
    {
        const int value = HexDigitValue(digit);
        if (value < 0)
            return false;
        number = number * 16 + static_cast<uint32_t>(value);
    }
    return true;
}

bool ParseHexList(std::string_view text, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    text = Trim(text);
    while (!text.empty())
    {
        const size_t end = std::min(text.find(','), text.size());
        uint32_t byte = 0;
        if (!ParseHexNumber(Trim(text.substr(0, end)), 2, byte))
            return false;
        bytes.push_back(static_cast<unsigned char>(byte));
        text.remove_prefix(std::min(end + 1, text.size()));
        text = TrimLeft(text);
    }
    return true;
}

bool ParseData(std::string_view text, ValueRecord& value)
{
    if (StartsWith(text, "\""))
    {
        std::string content;
        if (!ParseQuoted(text, content) || !Trim(text).empty())
            return false;
        value.type = kRegSz;
        value.data.assign(content.begin(), content.end());
        value.data.push_back(0);
        return true;
    }
    if (StartsWith(text, "dword:"))
    {
        uint32_t number = 0;
        if (!ParseHexNumber(Trim(text.substr(6)), 8, number))
            return false;
        value.type = kRegDword;
        value.data = {static_cast<unsigned char>(number), static_cast<unsigned char>(number >> 8),
                      static_cast<unsigned char>(number >> 16),
                      static_cast<unsigned char>(number >> 24)};
        return true;
    }
    if (StartsWith(text, "hex:"))
    {
        value.type = kRegBinary;
        return ParseHexList(text.substr(4), value.data);
    }
    if (StartsWith(text, "hex("))
    {
        const size_t close = text.find("):");
        return close != std::string_view::npos &&
               ParseHexNumber(text.substr(4, close - 4), 8, value.type) &&
               ParseHexList(text.substr(close + 2), value.data);
    }
    return false;
}

bool ParseValue(std::string_view line, ValueRecord& value)
{
    if (StartsWith(line, "@"))
    {
        value.name.clear();
        line.remove_prefix(1);
    }
    else if (!ParseQuoted(line, value.name))
    {
        return false;
    }
    line = TrimLeft(line);
    if (!StartsWith(line, "="))
        return false;
    return ParseData(TrimLeft(line.substr(1)), value);
}

// The key a section line names, or nullptr for a section of another hive.
KeyRecord* ParseSection(std::string_view line, const std::string& hiveName, HiveRecord& hive)
{
    const std::string_view inner = line.substr(1, line.size() - 2);
    const size_t separator = std::min(inner.find('\\'), inner.size());
    if (FoldCase(std::string(inner.substr(0, separator))) != FoldCase(hiveName))
        return nullptr;
    const std::string_view path = inner.substr(std::min(separator + 1, inner.size()));
    return &hive[AddKey(hive, SplitKeyPath(path))];
}

// Lines that carry nothing and need no word.
bool IsSilent(std::string_view line)
{
    return line.empty() || StartsWith(line, ";") || line == kHeader || line == kOldHeader;
}

void StoreValue(KeyRecord& key, ValueRecord value)
{
    if (ValueRecord* existing = FindValue(key, value.name))
        *existing = std::move(value);
    else
        key.values.push_back(std::move(value));
}

// Where the lines below a section header go.
struct Section
{
    KeyRecord* key = nullptr;
    // Below another hive's section or a broken header nothing is stored and nothing more is
    // said: the broken header's own warning covers its values.
    bool quiet = false;
};

// Reads one line into the hive; false for a line that cannot be read.
bool ReadLine(const std::string& line, const std::string& hiveName, HiveRecord& hive,
              Section& section)
{
    if (IsSilent(line))
        return true;
    if (StartsWith(line, "["))
    {
        const bool closed = EndsWith(line, "]");
        section.key = closed ? ParseSection(line, hiveName, hive) : nullptr;
        section.quiet = section.key == nullptr;
        return closed;
    }
    if (section.quiet)
        return true;
    ValueRecord value;
    if (section.key == nullptr || !ParseValue(line, value))
        return false;
    StoreValue(*section.key, std::move(value));
    return true;
}

std::string Quote(const std::string& text)
{
    std::string quoted = "\"";
    for (char character : text)
    {
        if (character == '\\' || character == '"')
            quoted.push_back('\\');
        quoted.push_back(character);
    }
    quoted.push_back('"');
    return quoted;
}

// UTF-8 texts with a single terminating zero and no line breaks keep their readable form;
// anything else is written as typed bytes so that the store gives back exactly what was set and
// the file stays text in its encoding.
bool IsPlainText(const ValueRecord& value)
{
    if (value.type != kRegSz || value.data.empty() || value.data.back() != 0)
        return false;
    const std::string text(value.data.begin(), value.data.end() - 1);
    std::wstring wide;
    return text.find_first_of(std::string("\0\r\n", 3)) == std::string::npos &&
           Utf8ToWide(text, wide);
}

std::string HexList(const std::vector<unsigned char>& bytes)
{
    std::string list;
    char digits[4];
    for (size_t index = 0; index < bytes.size(); ++index)
    {
        std::snprintf(digits, sizeof(digits), index == 0 ? "%02x" : ",%02x", bytes[index]);
        list.append(digits);
    }
    return list;
}

std::string FormatData(const ValueRecord& value)
{
    if (IsPlainText(value))
        return Quote(std::string(value.data.begin(), value.data.end() - 1));
    if (value.type == kRegDword && value.data.size() == 4)
    {
        const uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                (static_cast<uint32_t>(value.data[3]) << 24);
        char text[16];
        std::snprintf(text, sizeof(text), "dword:%08x", number);
        return text;
    }
    if (value.type == kRegBinary)
        return "hex:" + HexList(value.data);
    char prefix[24];
    std::snprintf(prefix, sizeof(prefix), "hex(%x):", value.type);
    return prefix + HexList(value.data);
}

void AppendUtf8(char32_t codePoint, std::string& text)
{
    if (codePoint < 0x80)
    {
        text.push_back(static_cast<char>(codePoint));
        return;
    }
    const int continuations = codePoint < 0x800 ? 1 : codePoint < 0x10000 ? 2 : 3;
    static const unsigned char kLeadMarks[] = {0, 0xC0, 0xE0, 0xF0};
    text.push_back(static_cast<char>(kLeadMarks[continuations] | codePoint >> 6 * continuations));
    for (int shift = 6 * (continuations - 1); shift >= 0; shift -= 6)
        text.push_back(static_cast<char>(0x80 | ((codePoint >> shift) & 0x3F)));
}

char32_t CodeUnitAt(const std::string& bytes, size_t at)
{
    return static_cast<unsigned char>(bytes[at]) |
           static_cast<char32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

bool IsHighSurrogate(char32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The UTF-16LE after the byte-order mark, as UTF-8.
bool DecodeUtf16(const std::string& bytes, std::string& text, std::string& reason)
{
    if (bytes.size() % 2 != 0)
    {
        reason = "UTF-16 text with an odd number of bytes";
        return false;
    }
    for (size_t at = kUtf16ByteOrderMark.size(); at < bytes.size(); at += 2)
    {
        char32_t codePoint = CodeUnitAt(bytes, at);
        if (IsHighSurrogate(codePoint) && at + 2 < bytes.size() &&
            IsLowSurrogate(CodeUnitAt(bytes, at + 2)))
        {
            at += 2;
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (CodeUnitAt(bytes, at) - 0xDC00);
        }
        else if (IsHighSurrogate(codePoint) || IsLowSurrogate(codePoint))
        {
            reason = "a broken UTF-16 surrogate pair at byte " + std::to_string(at);
            return false;
        }
        AppendUtf8(codePoint, text);
    }
    return true;
}

void AppendUtf16Unit(char32_t unit, std::string& bytes)
{
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
}

bool EncodeUtf16(const std::string& text, std::string& bytes)
{
    std::wstring wide;
    if (!Utf8ToWide(text, wide))
        return false;
    bytes.assign(kUtf16ByteOrderMark);
    // A wide character of 16 bits already is a UTF-16 unit; one of 32 bits may need a pair.
    for (const wchar_t character : wide)
    {
        const auto codePoint = static_cast<char32_t>(character);
        if (codePoint > 0xFFFF)
        {
            AppendUtf16Unit(0xD800 + ((codePoint - 0x10000) >> 10), bytes);
            AppendUtf16Unit(0xDC00 + (codePoint & 0x3FF), bytes);
        }
        else
            AppendUtf16Unit(codePoint, bytes);
    }
    return true;
}

void FormatKey(const KeyRecord& key, const std::string& hiveName, std::string& text)
{
    text.append("[").append(hiveName);
    if (!key.path.empty())
        text.append("\\").append(key.path);
    text.append("]\r\n");
    for (const ValueRecord& value : key.values)
    {
        text.append(value.name.empty() ? "@" : Quote(value.name));
        text.append("=").append(FormatData(value)).append("\r\n");
    }
    text.append("\r\n");
}
} // namespace

bool PathOrder::operator()(const std::string& left, const std::string& right) const
{
    // The separator comes before every character, so "A\B" lies between "A" and "A B".
    const auto rank = [](char character)
    { return character == '\\' ? 0u : static_cast<unsigned char>(character) + 1u; };
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                        [&](char first, char second)
                                        { return rank(first) < rank(second); });
}

std::string FoldCase(const std::string& name)
{
    std::string folded = name;
    for (char& character : folded)
        if (character >= 'a' && character <= 'z')
            character = static_cast<char>(character - 'a' + 'A');
    return folded;
}

std::string JoinParts(const std::vector<std::string>& parts)
{
    std::string path;
    for (const std::string& part : parts)
        path.append(path.empty() ? "" : "\\").append(part);
    return path;
}

HiveRecord EmptyHive()
{
    HiveRecord hive;
    hive[""] = KeyRecord();
    return hive;
}

std::string AddKey(HiveRecord& hive, const std::vector<std::string>& parts)
{
    std::string path;
    std::string folded;
    for (const std::string& part : parts)
    {
        folded.append(folded.empty() ? "" : "\\").append(FoldCase(part));
        KeyRecord& key = hive[folded];
        // An existing key keeps its spelling, and the keys below it follow it.
        if (key.path.empty())
            key.path = path.empty() ? part : path + "\\" + part;
        path = key.path;
    }
    return folded;
}

std::vector<const KeyRecord*> SubKeys(const HiveRecord& hive, const std::string& foldedPath)
{
    const std::string prefix = foldedPath.empty() ? std::string() : foldedPath + "\\";
    std::vector<const KeyRecord*> subKeys;
    for (auto entry = hive.lower_bound(prefix);
         entry != hive.end() && StartsWith(entry->first, prefix); ++entry)
    {
        const std::string_view rest = std::string_view(entry->first).substr(prefix.size());
        if (!rest.empty() && rest.find('\\') == std::string_view::npos)
            subKeys.push_back(&entry->second);
    }
    return subKeys;
}

bool HasSubKeys(const HiveRecord& hive, const std::string& foldedPath)
{
    return !SubKeys(hive, foldedPath).empty();
}

ValueRecord* FindValue(KeyRecord& key, const std::string& name)
{
    const std::string folded = FoldCase(name);
    for (ValueRecord& value : key.values)
        if (FoldCase(value.name) == folded)
            return &value;
    return nullptr;
}

HiveRecord ParseHive(const std::string& text, const std::string& hiveName,
                     std::vector<NumberedLine>* unreadable)
{
    HiveRecord hive = EmptyHive();
    Section section;
    for (NumberedLine& line : LogicalLines(text))
        if (!ReadLine(line.text, hiveName, hive, section) && unreadable != nullptr)
            unreadable->push_back(std::move(line));
    return hive;
}

std::string FormatHive(const HiveRecord& hive, const std::string& hiveName)
{
    std::string text(kHeader);
    text.append("\r\n\r\n");
    for (const auto& [folded, key] : hive)
        if (!folded.empty() || !key.values.empty())
            FormatKey(key, hiveName, text);
    return text;
}
bool DecodeFile(const std::string& bytes, FileEncoding& encoding, std::string& text,
                std::string& reason)
{
    encoding = StartsWith(bytes, kUtf16ByteOrderMark) ? FileEncoding::Utf16Le : FileEncoding::Utf8;
    if (encoding == FileEncoding::Utf16Le)
        return DecodeUtf16(bytes, text, reason);
    text = bytes;
    return true;
}

bool EncodeFile(const std::string& text, FileEncoding encoding, std::string& bytes)
{
    if (encoding == FileEncoding::Utf16Le)
        return EncodeUtf16(text, bytes);
    bytes = text;
    return true;
}
} // namespace platform::regfile
