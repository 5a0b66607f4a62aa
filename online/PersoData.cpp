#include "online/PersoData.h"

#include "core/codec/Base64.h"
#include "core/codec/ByteCodec.h"

#include <new>

namespace
{
constexpr size_t kFirstEntry = 4;
constexpr size_t kMacLength = 8;

std::string Hex(const ByteVector& bytes)
{
    return BytesToHex(bytes, HEX_UPPER | HEX_NO_BLANKS);
}

void AppendItem(std::string& list, const std::string& item)
{
    if (!list.empty())
        list += "|";
    list += item;
}

// length bytes from offset, or false when the script ends before them.
bool Take(const ByteVector& bytes, size_t& offset, size_t length, ByteVector& out)
{
    if (offset > bytes.size() || length > bytes.size() - offset)
        return false;
    out.assign(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
               bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
    offset += length;
    return true;
}
} // namespace

bool PersoData::Decode(const std::string& script)
{
    entries.clear();
    if (script.empty())
        return true;
    try
    {
        ByteVector bytes;
        if (Base64Decode(script, bytes) == 0 || bytes.empty())
            return false;
        return ParseEntries(bytes);
    }
    catch (const std::bad_alloc&)
    {
        entries.clear();
        return false;
    }
}

bool PersoData::ParseEntries(const ByteVector& bytes)
{
    entries.clear();
    if (bytes.empty())
        return true;
    if (bytes.size() < kFirstEntry)
        return false;
    const size_t count = bytes[1];
    size_t offset = kFirstEntry;
    for (size_t i = 0; i < count; ++i)
    {
        PersoDataEntry entry;
        ByteVector length;
        if (!Take(bytes, offset, 2, entry.fileId) || !Take(bytes, offset, 1, length) ||
            !Take(bytes, offset, length[0], entry.command) ||
            !Take(bytes, offset, kMacLength, entry.mac))
        {
            entries.clear();
            return false;
        }
        if (entry.fileId[0] == 0 && entry.fileId[1] == 0)
            entry.fileId.clear();
        entries.push_back(std::move(entry));
    }
    return true;
}

void PersoData::ToApduLists(std::string& commands, std::string& answers) const
{
    commands.clear();
    answers.clear();
    for (const PersoDataEntry& entry : entries)
    {
        if (!entry.fileId.empty())
        {
            // The write that follows must not go to whatever file was selected before.
            AppendItem(commands, "00A4000C02" + Hex(entry.fileId) + ";9000");
            AppendItem(answers, "x");
        }
        if (!entry.command.empty())
        {
            AppendItem(commands, Hex(entry.command));
            AppendItem(answers, Hex(entry.mac));
        }
    }
}
