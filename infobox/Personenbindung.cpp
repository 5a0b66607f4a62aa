#include "infobox/Personenbindung.h"

#include "core/logging/Logger.h"

#include <initializer_list>
#include <utility>

namespace
{

constexpr unsigned char TagInteger = 0x02;
constexpr unsigned char TagBitString = 0x03;
constexpr unsigned char TagUtf8String = 0x0C;
constexpr unsigned char TagSequence = 0x30;
constexpr unsigned char TagContext0 = 0xA0;
constexpr unsigned char TagContext1 = 0xA1;
constexpr unsigned char TagContext2 = 0xA2;

void LogError(const std::string& text)
{
    // Registry index 0 is a logger the program never opens: these texts are dropped on purpose.
    if (LibLogging::Logger* logger = LibLogging::Logger::GetInstance(0))
        logger->Error(text);
}

bool IsOctet(const ByteVector& bytes, size_t position, unsigned char octet)
{
    return position < bytes.size() && bytes[position] == octet;
}

// False, with the position unchanged, when the length octets run past the end.
bool ReadLength(const ByteVector& bytes, size_t& position, size_t& length)
{
    if (position >= bytes.size())
        return false;
    const unsigned char first = bytes[position];
    const size_t extraOctets = first == 0x82 ? 2 : first == 0x81 ? 1 : 0;
    if (bytes.size() - position - 1 < extraOctets)
        return false;
    length = extraOctets == 0 ? first : 0;
    for (size_t i = 1; i <= extraOctets; ++i)
        length = (length << 8) | bytes[position + i];
    position += 1 + extraOctets;
    return true;
}

// Length and content from the position on; an element running past the end takes nothing and
// leaves the position at the end.
bool ReadContent(const ByteVector& bytes, size_t& position, ByteVector& content)
{
    size_t start = position;
    size_t length = 0;
    if (!ReadLength(bytes, start, length) || length > bytes.size() - start)
    {
        position = bytes.size();
        return false;
    }
    content.assign(bytes.begin() + start, bytes.begin() + start + length);
    position = start + length;
    return true;
}

void ReadTextIfPresent(const ByteVector& bytes, size_t& position, std::string& text)
{
    if (!IsOctet(bytes, position, TagUtf8String))
        return;
    ++position;
    text = DerReadUtf8String(bytes, position);
}

void ReadContentIfPresent(const ByteVector& bytes, size_t& position, unsigned char tag,
                          ByteVector& content)
{
    if (!IsOctet(bytes, position, tag))
        return;
    ++position;
    ReadContent(bytes, position, content);
}

void ReadBitStringIfPresent(const ByteVector& bytes, size_t& position, ByteVector& bits)
{
    if (!IsOctet(bytes, position, TagBitString))
        return;
    ++position;
    DerReadBitString(bytes, position, bits);
}

// Version: one or two content octets, big-endian.
void ReadVersion(const ByteVector& bytes, size_t& position, int32_t& version)
{
    if (!IsOctet(bytes, position, TagInteger))
        return;
    const size_t contentOctets = IsOctet(bytes, position + 1, 2) ? 2 : 1;
    if (bytes.size() - position < 2 + contentOctets)
    {
        position = bytes.size();
        return;
    }
    const unsigned char* content = &bytes[position + 2];
    version = contentOctets == 2 ? (content[0] << 8) | content[1] : content[0];
    position += 2 + contentOctets;
}

// A context tag wrapping a BIT STRING; tried only while the position is below the record length.
void ReadTaggedBits(const ByteVector& bytes, size_t& position, size_t recordLength,
                    unsigned char tag, ByteVector& bits)
{
    if (position >= recordLength || !IsOctet(bytes, position, tag))
        return;
    ++position;
    DerReadLength(bytes, position);
    ReadBitStringIfPresent(bytes, position, bits);
}

} // namespace

uint16_t DerReadLength(const ByteVector& bytes, size_t& position)
{
    size_t length = 0;
    if (!ReadLength(bytes, position, length))
    {
        position = bytes.size();
        return 0;
    }
    return static_cast<uint16_t>(length);
}

std::string DerReadUtf8String(const ByteVector& bytes, size_t& position)
{
    ByteVector content;
    ReadContent(bytes, position, content);
    return std::string(content.begin(), content.end());
}

bool DerReadBitString(const ByteVector& bytes, size_t& position, ByteVector& bits)
{
    ByteVector content;
    if (!ReadContent(bytes, position, content) || content.empty() || content[0] != 0)
        return false;
    bits.assign(content.begin() + 1, content.end());
    return true;
}

void Personenbindung::clear()
{
    *this = Personenbindung();
}

bool Personenbindung::parse(ByteVector bytes)
{
    clear();
    if (!IsOctet(bytes, 0, TagSequence))
    {
        LogError("Keine Personenbindungsdaten");
        return false;
    }
    size_t position = 1;
    size_t recordLength = 0;
    if (!ReadLength(bytes, position, recordLength) || recordLength > bytes.size())
    {
        LogError("Fehler beim Lesen der Personenbindung Lnge passt nicht");
        return false;
    }
    ReadVersion(bytes, position, version);
    for (std::string* text : {&issuerTemplate, &secondHeaderText, &issueInstant})
        ReadTextIfPresent(bytes, position, *text);
    ReadContentIfPresent(bytes, position, TagContext0, personData);
    ReadContentIfPresent(bytes, position, TagSequence, sequenceData);
    ReadBitStringIfPresent(bytes, position, bitString);
    const std::pair<unsigned char, ByteVector*> taggedBits[] = {
        {TagContext0, &taggedBits0}, {TagContext1, &taggedBits1}, {TagContext2, &taggedBits2}};
    for (const auto& [tag, bits] : taggedBits)
        ReadTaggedBits(bytes, position, recordLength, tag, *bits);
    _doPersonData();
    return true;
}

bool Personenbindung::_doPersonData()
{
    if (!IsOctet(personData, 0, TagSequence))
    {
        LogError("Personenbindung::_doPersonData keine Sequence");
        return false;
    }
    size_t position = 1;
    DerReadLength(personData, position);
    for (std::string* text : {&firstPersonText, &givenName, &familyName, &dateOfBirth})
        ReadTextIfPresent(personData, position, *text);
    return true;
}
