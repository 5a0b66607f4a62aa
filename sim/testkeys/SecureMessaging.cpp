#include "sim/testkeys/SecureMessaging.h"

#include "sim/testkeys/TestKeys.h"

#include <algorithm>

namespace SimKeys
{
namespace
{
constexpr unsigned char kDataTag = 0x81;
constexpr unsigned char kMacTag = 0x8E;
const ByteVector kStatusObject = {0x99, 0x02, 0x90, 0x00};

void Append(ByteVector& to, const ByteVector& bytes)
{
    // Reserving first also keeps GCC 12's -O3 bounds warning off the small header vectors.
    to.reserve(to.size() + bytes.size());
    to.insert(to.end(), bytes.begin(), bytes.end());
}

ByteVector DataObject(const ByteVector& data)
{
    if (data.empty())
        return {};
    ByteVector object{kDataTag};
    if (data.size() > 0xFF)
        object.insert(object.end(), {0x82, static_cast<unsigned char>(data.size() >> 8)});
    else if (data.size() >= 0x80)
        object.push_back(0x81);
    object.push_back(static_cast<unsigned char>(data.size() & 0xFF));
    Append(object, data);
    return object;
}

// Reads "81 L data" (L in one byte, or 81 L, or 82 L L) at offset when it is there; false for a cut
// object.
bool ReadDataObject(const ByteVector& bytes, size_t& offset, ByteVector& data)
{
    data.clear();
    if (offset >= bytes.size() || bytes[offset] != kDataTag)
        return true;
    size_t at = offset + 1;
    if (at >= bytes.size())
        return false;
    size_t length = bytes[at++];
    if (length == 0x81 || length == 0x82)
    {
        const size_t lengthBytes = length - 0x80;
        if (lengthBytes > bytes.size() - at)
            return false;
        length = 0;
        for (size_t i = 0; i < lengthBytes; ++i)
            length = length << 8 | bytes[at++];
    }
    if (length > bytes.size() - at)
        return false;
    data.assign(bytes.begin() + at, bytes.begin() + at + length);
    offset = at + length;
    return true;
}

ByteVector Header(const PlainCommand& command)
{
    return {command.cla, command.ins, command.p1, command.p2};
}

ByteVector MacObject(const ByteVector& mac)
{
    ByteVector object{kMacTag, static_cast<unsigned char>(mac.size())};
    Append(object, mac);
    return object;
}

bool MacObjectMatches(const ByteVector& bytes, size_t offset, const ByteVector& mac)
{
    return bytes.size() - offset == 2 + kMacLength && bytes[offset] == kMacTag &&
           bytes[offset + 1] == kMacLength &&
           ByteVector(bytes.begin() + offset + 2, bytes.end()) == mac;
}
} // namespace

ByteVector ProtectCommand(SmChannel& channel, const PlainCommand& command)
{
    const ByteVector dataObject = DataObject(command.data);
    ByteVector macInput = Header(command);
    Append(macInput, dataObject);
    const ByteVector mac = Mac8(channel.macKey, ++channel.counter, macInput);
    ByteVector body = dataObject;
    Append(body, MacObject(mac));
    ByteVector apdu = Header(command);
    apdu.push_back(static_cast<unsigned char>(body.size()));
    Append(apdu, body);
    apdu.push_back(0x00);
    return apdu;
}

ByteVector ExpectedAnswerMac(SmChannel& channel, const ByteVector& answerData)
{
    ByteVector macInput = DataObject(answerData);
    Append(macInput, kStatusObject);
    return Mac8(channel.macKey, ++channel.counter, macInput);
}

bool OpenAnswer(SmChannel& channel, const ByteVector& answer, ByteVector& data)
{
    size_t offset = 0;
    if (!ReadDataObject(answer, offset, data) || answer.size() - offset < kStatusObject.size() ||
        !std::equal(kStatusObject.begin(), kStatusObject.end(), answer.begin() + offset))
        return false;
    return MacObjectMatches(answer, offset + kStatusObject.size(),
                            ExpectedAnswerMac(channel, data));
}

bool OpenCommand(SmChannel& channel, const ByteVector& apdu, PlainCommand& command)
{
    if (apdu.size() < 5 || (apdu[0] & ~kChainingBit) != kSmClass || apdu[4] > apdu.size() - 5 ||
        channel.macKey.empty())
        return false;
    command = {apdu[0], apdu[1], apdu[2], apdu[3], {}};
    const ByteVector body(apdu.begin() + 5, apdu.begin() + 5 + apdu[4]);
    size_t offset = 0;
    if (!ReadDataObject(body, offset, command.data))
        return false;
    ByteVector macInput = Header(command);
    Append(macInput, ByteVector(body.begin(), body.begin() + offset));
    return MacObjectMatches(body, offset, Mac8(channel.macKey, ++channel.counter, macInput));
}

ByteVector ProtectAnswer(SmChannel& channel, const ByteVector& data)
{
    ByteVector answer = DataObject(data);
    Append(answer, kStatusObject);
    Append(answer, MacObject(ExpectedAnswerMac(channel, data)));
    answer.insert(answer.end(), {0x90, 0x00});
    return answer;
}
} // namespace SimKeys
