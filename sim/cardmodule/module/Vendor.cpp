// The card maker's vendor channel: raw commands, named card attributes and numbered operations.

#include "sim/cardmodule/module/AcosChip.h"
#include "sim/cardmodule/module/Iso7816.h"
#include "sim/cardmodule/module/Module.h"

#include <algorithm>
#include <cstring>

namespace QuendrySim
{
namespace
{
constexpr CK_ULONG kLargestBlock = 4096;

struct InputLayout
{
    int lengthPrefixedBlocks;
    size_t fixedBytes;
};

// No input length is passed: each operation's layout tells how much to read. Operation 2 ends
// with macCp where the "CP" setting says so.
bool LayoutOf(CK_ULONG operation, InputLayout& layout)
{
    static const InputLayout kLayouts[] = {{0, 0}, {0, 16}, {2, 4}, {2, 0},
                                           {0, 0}, {0, 48}, {3, 0}};
    if (operation >= sizeof kLayouts / sizeof kLayouts[0])
        return false;
    layout = kLayouts[operation];
    if (operation == 2 && AcosUsesCpData())
        layout.fixedBytes += 4;
    return true;
}

bool ReadInput(const CK_BYTE* input, const InputLayout& layout, ByteVector& out)
{
    size_t offset = 0;
    for (int block = 0; block < layout.lengthPrefixedBlocks; ++block)
    {
        const CK_BYTE* p = input + offset;
        const CK_ULONG length = CK_ULONG(p[0]) << 24 | CK_ULONG(p[1]) << 16 | p[2] << 8 | p[3];
        if (length > kLargestBlock)
            return false;
        offset += 4 + length;
    }
    offset += layout.fixedBytes;
    out.assign(input, input + offset);
    return true;
}

CK_RV CopyOut(const ByteVector& bytes, CK_BYTE* buffer, CK_ULONG* length)
{
    if (!length)
        return CKR_ARGUMENTS_BAD;
    const CK_ULONG room = *length;
    *length = static_cast<CK_ULONG>(bytes.size());
    if (!buffer)
        return CKR_OK;
    if (room < bytes.size())
        return CKR_BUFFER_TOO_SMALL;
    if (!bytes.empty())
        std::memcpy(buffer, bytes.data(), bytes.size());
    return CKR_OK;
}

bool IsRegisterOutcome(CK_RV rv)
{
    return rv == CKR_OK || rv == CKR_QUENDRY_REGISTER_STATE1 || rv == CKR_QUENDRY_REGISTER_STATE2;
}
} // namespace

CK_RV Module::CardTransmit(CK_SESSION_HANDLE handle, const CK_BYTE* command, CK_ULONG length,
                           CK_BYTE* response, CK_ULONG* responseLength, CallLogLine& line)
{
    auto [rv, session, card] = SessionOf(handle);
    if (rv != CKR_OK)
        return rv;
    if (!command || length == 0 || !responseLength)
        return CKR_ARGUMENTS_BAD;
    line.AddHex("apdu", command, length);
    bool changed = false;
    ByteVector answer = ProcessApdu(*card, m_runtime[session->slot],
                                    ByteVector(command, command + length), changed);
    line.AddHex("response", answer.data(), answer.size());
    if (changed && !Save())
        return CKR_DEVICE_ERROR;
    return CopyOut(answer, response, responseLength);
}

CK_RV Module::CardAttribute(CK_SESSION_HANDLE handle, const char* name, CK_BYTE* buffer,
                            CK_ULONG* length)
{
    auto [rv, session, card] = SessionOf(handle);
    if (rv != CKR_OK)
        return rv;
    if (!name)
        return CKR_ARGUMENTS_BAD;
    if (std::strcmp(name, "Reset") == 0)
        ResetCardState(session->slot);
    else if (std::strcmp(name, "ATR") != 0)
        return CKR_ATTRIBUTE_TYPE_INVALID;
    return CopyOut(card->atr, buffer, length);
}

CK_RV Module::Register(CK_SESSION_HANDLE handle, CK_ULONG operation, const CK_BYTE* input,
                       CK_BYTE* output, CK_ULONG outputSize, CallLogLine& line)
{
    auto [rv, session, card] = SessionOf(handle);
    if (rv != CKR_OK)
        return rv;
    line.AddNumber("operation", operation);
    InputLayout layout{};
    if (!LayoutOf(operation, layout))
        return CKR_ARGUMENTS_BAD;
    const bool needsInput = layout.lengthPrefixedBlocks > 0 || layout.fixedBytes > 0;
    ByteVector bytes;
    if (needsInput && (!input || !ReadInput(input, layout, bytes)))
        return CKR_ARGUMENTS_BAD;
    line.AddHex("input", bytes.data(), bytes.size());
    ByteVector answer;
    CK_RV outcome = CKR_FUNCTION_FAILED;
    bool changed = false;
    const auto canned =
        std::find_if(card->registers.begin(), card->registers.end(),
                     [&](const RegisterAnswer& entry) { return entry.operation == operation; });
    if (canned != card->registers.end())
    {
        outcome = canned->rv;
        answer = canned->output;
    }
    else if (IsAcosChip(*card))
        outcome = AcosOperation(*card, m_runtime[session->slot], operation, bytes, answer, changed);
    if (changed && !Save())
        return CKR_DEVICE_ERROR;
    if (!IsRegisterOutcome(outcome))
        return outcome;
    if (!output || answer.size() > outputSize)
        return CKR_BUFFER_TOO_SMALL;
    std::memset(output, 0, outputSize);
    if (!answer.empty())
        std::memcpy(output, answer.data(), answer.size());
    return outcome;
}
} // namespace QuendrySim
