#include "sim/cardmodule/module/Iso7816.h"

#include "sim/cardmodule/module/CardOsChip.h"

#include "sim/cardmodule/cardset/Hex.h"

#include <openssl/rand.h>

#include <algorithm>

namespace QuendrySim
{
namespace
{
constexpr uint16_t kEndOfFile = 0x6282;
constexpr uint16_t kRecordNotFound = 0x6A83;
constexpr uint16_t kWrongParameters = 0x6A86;
constexpr uint16_t kWrongOffset = 0x6B00;
constexpr uint16_t kClaNotSupported = 0x6E00;

ByteVector Answer(ByteVector data, uint16_t status)
{
    return StatusAnswer(std::move(data), status);
}

ByteVector Status(uint16_t status)
{
    return Answer({}, status);
}

bool IsFolder(const Card& card, const std::string& path)
{
    return path == "3F00" ||
           std::any_of(card.files.begin(), card.files.end(),
                       [&](const auto& f)
                       { return f.path.compare(0, path.size() + 1, path + "/") == 0; });
}

// A file id names the MF, a child of the current folder or a sibling of it.
ByteVector Select(Card& card, CardRuntime& runtime, const ByteVector& command)
{
    if (command.size() != 7 || command[4] != 2)
        return Status(kWrongLength);
    if (command[2] != 0x00)
        return Status(kWrongParameters);
    const std::string fid = ToHex(&command[5], 2);
    if (fid == "3F00")
    {
        runtime.currentFolder = "3F00";
        runtime.currentFile.clear();
        return Status(kOk);
    }
    for (const std::string& base : {runtime.currentFolder, ParentOf(runtime.currentFolder)})
    {
        const std::string path = base + "/" + fid;
        if (IsFolder(card, path))
        {
            runtime.currentFolder = path;
            runtime.currentFile.clear();
            return Status(kOk);
        }
        if (FileAt(card, path))
        {
            runtime.currentFile = path;
            return Status(kOk);
        }
    }
    return Status(kFileNotFound);
}

CardFile* FileByShortId(Card& card, const std::string& folder, int sfi)
{
    for (auto& file : card.files)
        if (file.sfi == sfi && ParentOf(file.path) == folder)
            return &file;
    return nullptr;
}

// The file a READ addresses: by short file id (which becomes current) or the current one.
CardFile* AddressedFile(Card& card, CardRuntime& runtime, int sfi)
{
    if (sfi == 0)
        return runtime.currentFile.empty() ? nullptr : FileAt(card, runtime.currentFile);
    CardFile* file = FileByShortId(card, runtime.currentFolder, sfi);
    if (file)
        runtime.currentFile = file->path;
    return file;
}

// Le of a short APDU without data: absent or 0 means "up to 256".
size_t ExpectedLength(const ByteVector& command)
{
    return command.size() < 5 || command[4] == 0 ? 256 : command[4];
}

ByteVector ReadBinary(Card& card, CardRuntime& runtime, const ByteVector& command)
{
    if (command.size() > 5)
        return Status(kWrongLength);
    const bool shortId = command[2] & 0x80;
    CardFile* file = AddressedFile(card, runtime, shortId ? command[2] & 0x1F : 0);
    if (!file)
        return Status(shortId ? kFileNotFound : kNoCurrentFile);
    if (file->isRecordFile)
        return Status(kIncompatibleFile);
    const size_t offset = shortId ? command[3] : (command[2] << 8 | command[3]);
    if (offset > file->data.size())
        return Status(kWrongOffset);
    const size_t wanted = ExpectedLength(command);
    const size_t count = std::min(wanted, file->data.size() - offset);
    ByteVector data(file->data.begin() + offset, file->data.begin() + offset + count);
    const bool shortRead = count < wanted && command.size() == 5 && command[4] != 0;
    return Answer(data, shortRead ? kEndOfFile : kOk);
}

ByteVector ReadRecord(Card& card, CardRuntime& runtime, const ByteVector& command)
{
    if (command.size() > 5)
        return Status(kWrongLength);
    if ((command[3] & 0x07) != 0x04 || command[2] == 0)
        return Status(kWrongParameters);
    CardFile* file = AddressedFile(card, runtime, command[3] >> 3);
    if (!file)
        return Status(command[3] >> 3 ? kFileNotFound : kNoCurrentFile);
    if (!file->isRecordFile)
        return Status(kIncompatibleFile);
    if (command[2] > file->records.size())
        return Status(kRecordNotFound);
    return Answer(file->records[command[2] - 1], kOk);
}

ByteVector GetChallenge(CardRuntime& runtime, const ByteVector& command)
{
    if (command.size() != 5 || command[4] == 0)
        return Status(kWrongLength);
    ByteVector challenge(command[4]);
    RAND_bytes(challenge.data(), static_cast<int>(challenge.size()));
    runtime.challenge = challenge;
    return Answer(challenge, kOk);
}

ByteVector GetChipId(const Card& card, const ByteVector& command)
{
    if (card.chipId.empty())
        return Status(kInsNotSupported);
    if (command.size() != 5)
        return Status(kWrongLength);
    return Answer(card.chipId, kOk);
}
} // namespace

ByteVector StatusAnswer(ByteVector data, uint16_t status)
{
    data.push_back(static_cast<unsigned char>(status >> 8));
    data.push_back(static_cast<unsigned char>(status & 0xFF));
    return data;
}

std::string ParentOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(0, slash);
}

CardFile* FileAt(Card& card, const std::string& path)
{
    for (auto& file : card.files)
        if (file.path == path)
            return &file;
    return nullptr;
}

ByteVector ProcessApdu(Card& card, CardRuntime& runtime, const ByteVector& command, bool& changed)
{
    changed = false;
    for (const auto& fixed : card.apdus)
        if (fixed.command == command)
            return fixed.response;
    if (IsCardOsChip(card))
    {
        if (std::optional<ByteVector> answer = CardOsCommand(card, runtime, command, changed))
            return *answer;
    }
    if (command.size() < 4)
        return Status(kWrongLength);
    const unsigned char cla = command[0];
    const unsigned char ins = command[1];
    if (cla == 0x80 && ins == 0xF6)
        return GetChipId(card, command);
    if (cla != 0x00)
        return Status(kClaNotSupported);
    switch (ins)
    {
    case 0xA4:
        return Select(card, runtime, command);
    case 0xB0:
        return ReadBinary(card, runtime, command);
    case 0xB2:
        return ReadRecord(card, runtime, command);
    case 0x84:
        return GetChallenge(runtime, command);
    }
    return Status(kInsNotSupported);
}
} // namespace QuendrySim
