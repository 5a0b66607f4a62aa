#include "token/acPKCS11.h"

#include <algorithm>
#include <cstring>

namespace Corvane
{
namespace
{
constexpr CK_ULONG kTransmitBuffer = 4096;
constexpr uint32_t kStepBuffer = 256;
constexpr CK_ULONG kAtrBuffer = 1024;
constexpr CK_ULONG kResetBuffer = 256;
constexpr size_t kCardIdentifierBytes = 8;
constexpr size_t kMinCardIdentifierAnswer = 10;

const ByteVector kSelectMf = {0x00, 0xA4, 0x00, 0x0C, 0x02, 0x3F, 0x00};
const ByteVector kSelectEfD001 = {0x00, 0xA4, 0x00, 0x0C, 0x02, 0xD0, 0x01};
const ByteVector kSelectDf71 = {0x00, 0xA4, 0x00, 0x0C, 0x02, 0xDF, 0x71};
const ByteVector kSelectEf2F02 = {0x00, 0xA4, 0x00, 0x0C, 0x02, 0x2F, 0x02};
const ByteVector kReadBinary = {0x00, 0xB0, 0x00, 0x00, 0x00};
const ByteVector kReadBinaryShortFile2 = {0x00, 0xB0, 0x82, 0x00, 0xFA};
const ByteVector kGetChipIdAcos = {0x80, 0xF6, 0x00, 0x00, 0x08};

constexpr int kChipTypeCardOS = 9;

// How a chip family's identifier is read: the commands, the shortest usable answer to the last
// one and where the identifier lies in it.
struct ChipIdRecipe
{
    std::vector<ByteVector> commands;
    size_t minAnswer;
    size_t offset;
    size_t length;
};

bool ChipIdRecipeOf(int chipType, ChipIdRecipe& recipe)
{
    switch (chipType)
    {
    case 1:
    case 5:
    case 6:
        recipe = {{kGetChipIdAcos}, 8, 0, 8};
        return true;
    case kChipTypeCardOS:
        recipe = {{kSelectMf, kSelectEf2F02, kReadBinary}, 12, 0, 12};
        return true;
    case 7:
    case 8:
        recipe = {{kSelectMf, kReadBinaryShortFile2}, 14, 4, 8};
        return true;
    default:
        return false;
    }
}

int RegisterResultOf(CK_RV rv)
{
    switch (rv)
    {
    case CKR_OK:
        return 0;
    case CKR_QUENDRY_REGISTER_STATE1:
        return REGISTER_RESULT_STATE1;
    case CKR_QUENDRY_REGISTER_STATE2:
        return REGISTER_RESULT_STATE2;
    default:
        return -1;
    }
}
} // namespace

bool acPKCS11::SendAPDU(const ByteVector& command, ByteVector& response)
{
    const auto transmit = Functions().C_CardTransmit;
    if (!transmit)
        return false;
    ByteVector commandBytes(command);
    ByteVector buffer(kTransmitBuffer);
    CK_ULONG length = kTransmitBuffer;
    const CK_RV rv = transmit(m_session, commandBytes.data(),
                              static_cast<CK_ULONG>(commandBytes.size()), buffer.data(), &length);
    if (rv != CKR_OK)
    {
        LogErrorCode("C_CardTransmit failed ", static_cast<uint32_t>(rv));
        return false;
    }
    response.insert(response.end(), buffer.begin(),
                    buffer.begin() + std::min(length, kTransmitBuffer));
    return true;
}

bool acPKCS11::SendAPDUHex(const std::string& command, std::string& response)
{
    ByteVector commandBytes;
    if (HexStr2BinData(command, commandBytes) <= 0)
        return false;
    ByteVector responseBytes;
    if (!SendAPDU(commandBytes, responseBytes))
        return false;
    return BinData2HexStr(responseBytes, response) > 0;
}

bool acPKCS11::Transmit(const unsigned char* command, uint32_t length, unsigned char* response,
                        uint32_t& capacity)
{
    ByteVector answer;
    if (!SendAPDU(ByteVector(command, command + length), answer))
        return false;
    const size_t copied = std::min<size_t>(answer.size(), capacity);
    std::memcpy(response, answer.data(), copied);
    capacity = static_cast<uint32_t>(copied);
    return true;
}

bool acPKCS11::TransmitSteps(const std::vector<ByteVector>& commands, ByteVector& lastResponse)
{
    for (const ByteVector& command : commands)
    {
        unsigned char buffer[kStepBuffer];
        uint32_t length = kStepBuffer;
        if (!Transmit(command.data(), static_cast<uint32_t>(command.size()), buffer, length))
            return false;
        lastResponse.assign(buffer, buffer + length);
    }
    return true;
}

std::string acPKCS11::ReadCardAttribute(const char* name, CK_ULONG bufferSize)
{
    m_atr.clear();
    ByteVector buffer(bufferSize);
    CK_ULONG length = bufferSize;
    const CK_RV rv = Functions().C_CardAttribute(m_session, name, buffer.data(), &length);
    if (rv != CKR_OK)
    {
        LogErrorCode("C_CardAttribute failed ", static_cast<uint32_t>(rv));
        return std::string();
    }
    SetATR(buffer.data(), static_cast<uint32_t>(std::min(length, bufferSize)));
    return m_atr;
}

std::string acPKCS11::GetATR(bool refresh)
{
    if (!Functions().C_CardAttribute)
        return std::string();
    if (!m_atr.empty() && !refresh)
        return m_atr;
    return ReadCardAttribute("ATR", kAtrBuffer);
}

std::string acPKCS11::Reset()
{
    if (!Functions().C_CardAttribute)
        return std::string();
    return ReadCardAttribute("Reset", kResetBuffer);
}

void acPKCS11::SetATR(const unsigned char* bytes, uint32_t length)
{
    m_atr.clear();
    if (length > 0)
        BinData2HexStr(ByteVector(bytes, bytes + length), m_atr);
}

CK_RV acPKCS11::CallRegister(uint32_t operation, const ByteVector* input, ByteVector& output)
{
    output.assign(REGISTER_OUTPUT_SIZE, 0);
    const auto registerOperation = Functions().C_Register;
    if (!HasSession() || !registerOperation)
        return CKR_FUNCTION_FAILED;
    // The module reads the input by the operation's layout, without a length: pad it so a
    // short input can never make it read past the buffer.
    ByteVector inputBytes;
    if (input)
    {
        inputBytes = *input;
        inputBytes.resize(std::max<size_t>(inputBytes.size(), REGISTER_OUTPUT_SIZE));
    }
    return registerOperation(m_session, operation, input ? inputBytes.data() : nullptr,
                             output.data(), REGISTER_OUTPUT_SIZE);
}

int acPKCS11::Register(uint32_t operation, const ByteVector* input, ByteVector& output)
{
    if (!HasSession() || !Functions().C_Register)
        return -1;
    const CK_RV rv = CallRegister(operation, input, output);
    if (rv != CKR_OK)
        LogErrorCode("C_Register failed ", static_cast<uint32_t>(rv));
    return RegisterResultOf(rv);
}

bool acPKCS11::GetCinCsn(std::string& cardIdentifier)
{
    GetATR(true);
    DetectChipType();
    const ByteVector& selectFolder = m_chipType == kChipTypeCardOS ? kSelectMf : kSelectDf71;
    ByteVector answer;
    if (!TransmitSteps({selectFolder, kSelectEfD001, kReadBinary}, answer) ||
        answer.size() < kMinCardIdentifierAnswer)
        return false;
    BinData2HexStr(ByteVector(answer.begin(), answer.begin() + kCardIdentifierBytes),
                   cardIdentifier);
    return true;
}

bool acPKCS11::GetChipId(ByteVector& chipId)
{
    chipId.clear();
    ChipIdRecipe recipe;
    if (!HasSession() || !ChipIdRecipeOf(m_chipType, recipe))
        return false;
    ByteVector answer;
    if (!TransmitSteps(recipe.commands, answer) || answer.size() < recipe.minAnswer)
        return false;
    chipId.assign(answer.begin() + recipe.offset, answer.begin() + recipe.offset + recipe.length);
    return true;
}

bool acPKCS11::GetChipIdHex(std::string& chipId)
{
    ByteVector bytes;
    if (!GetChipId(bytes))
        return false;
    BinData2HexStr(bytes, chipId);
    return true;
}
} // namespace Corvane
