#include "sim/cardmodule/module/CardOsChip.h"

#include "sim/cardmodule/cardset/OpenSsl.h"
#include "sim/cardmodule/module/Iso7816.h"
#include "sim/cardmodule/module/KeyCrypto.h"
#include "sim/cardmodule/module/Module.h"
#include "sim/testkeys/TestKeys.h"

#include <openssl/x509.h>

#include <algorithm>

namespace QuendrySim
{
namespace
{
constexpr uint16_t kAuthenticationFailed = 0x6300;
constexpr uint16_t kSecurityNotSatisfied = 0x6982;
constexpr uint16_t kConditionsNotSatisfied = 0x6985;
constexpr uint16_t kSmObjectsWrong = 0x6988;
constexpr uint16_t kWrongData = 0x6A80;
constexpr uint16_t kNotEnoughRoom = 0x6A84;
constexpr uint16_t kWrongParameters = 0x6A86;

constexpr size_t kLargestFile = 4096;
constexpr const char* kChipIdFile = "3F00/2F02";
constexpr size_t kChipIdLength = 12;

// The key pair of each application and the file holding its certificate.
struct Application
{
    const char* folder;
    const char* keySuffix;
    const char* certificateFile;
};
const Application kApplications[] = {
    {"3F00/DF01", "SIG", "3F00/DF01/C000"},
    {"3F00/DF02", "EKEY", "3F00/DF02/2F01"},
};

const Application* ApplicationOfFolder(const std::string& folder)
{
    for (const Application& application : kApplications)
        if (folder == application.folder)
            return &application;
    return nullptr;
}

ByteVector Status(uint16_t status)
{
    return StatusAnswer({}, status);
}

std::string LastSegment(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

ByteVector ChipId(Card& card)
{
    const CardFile* file = FileAt(card, kChipIdFile);
    if (!file || file->data.size() < kChipIdLength)
        return {};
    return ByteVector(file->data.begin(), file->data.begin() + kChipIdLength);
}

// 00 B2 00 00: the first record of the current file.
ByteVector ReadFirstRecord(Card& card, const CardRuntime& runtime)
{
    CardFile* file = runtime.currentFile.empty() ? nullptr : FileAt(card, runtime.currentFile);
    if (!file)
        return Status(kNoCurrentFile);
    if (!file->isRecordFile || file->records.empty())
        return Status(kIncompatibleFile);
    return StatusAnswer(file->records.front(), kOk);
}

// The parameters and the length fields the card takes: Lc from byte 4, then Le when it has one.
uint16_t CheckHeader(const ByteVector& command, unsigned char p1, unsigned char p2, bool withLe)
{
    if (command[2] != p1 || command[3] != p2)
        return kWrongParameters;
    if (command.size() < 5 || command.size() != 5u + command[4] + (withLe ? 1 : 0) ||
        (withLe && command.back() != 0x00))
        return kWrongLength;
    return kOk;
}

// 00 82 00 81: the terminal's random and its proof over the card's last challenge, keyed by the
// current DF; the card answers its own proof and opens secure messaging.
ByteVector MutualAuthenticate(Card& card, CardRuntime& runtime, const ByteVector& command)
{
    runtime.cardOs = CardOsSession{};
    const ByteVector rndIcc = runtime.challenge;
    runtime.challenge.clear();
    if (const uint16_t status = CheckHeader(command, 0x00, 0x81, true); status != kOk)
        return Status(status);
    const ByteVector data(command.begin() + 5, command.end() - 1);
    if (rndIcc.size() != SimKeys::kChallengeLength)
        return Status(kConditionsNotSatisfied);
    if (data.size() != SimKeys::kChallengeLength + SimKeys::kProofLength)
        return Status(kWrongData);
    const ByteVector rndIfd(data.begin(), data.begin() + SimKeys::kChallengeLength);
    const ByteVector proof(data.begin() + SimKeys::kChallengeLength, data.end());
    const ByteVector key =
        SimKeys::CardKey("CardOS", ChipId(card), LastSegment(runtime.currentFolder));
    if (proof != SimKeys::TerminalProof(key, rndIcc, rndIfd))
        return Status(kAuthenticationFailed);
    runtime.cardOs.open = true;
    runtime.cardOs.folder = runtime.currentFolder;
    runtime.cardOs.channel.macKey = SimKeys::SessionMacKey(key, rndIcc, rndIfd);
    return StatusAnswer(SimKeys::CardProof(key, rndIcc, rndIfd), kOk);
}

// The value of a certificate object is the DER element at the start of its file, so the file
// may be longer than the certificate in it.
void ShowCertificate(Card& card, const Application& application, const CardFile& file)
{
    CardObject* object = card.FindObject(std::string("C.CH.") + application.keySuffix);
    const unsigned char* p = file.data.data();
    OpenSslPtr<X509> certificate(d2i_X509(nullptr, &p, static_cast<long>(file.data.size())));
    if (object && certificate)
        object->value.assign(file.data.data(), p);
}

ByteVector UpdateBinary(Card& card, CardRuntime& runtime, const SimKeys::PlainCommand& command,
                        bool& changed)
{
    const bool shortId = command.p1 & 0x80;
    std::string path = runtime.currentFile;
    if (shortId)
    {
        path.clear();
        for (const CardFile& file : card.files)
            if (file.sfi == (command.p1 & 0x1F) && ParentOf(file.path) == runtime.cardOs.folder)
                path = file.path;
    }
    CardFile* file = path.empty() ? nullptr : FileAt(card, path);
    if (!file)
        return Status(shortId ? kFileNotFound : kNoCurrentFile);
    if (ParentOf(file->path) != runtime.cardOs.folder)
        return Status(kSecurityNotSatisfied);
    if (file->isRecordFile)
        return Status(kIncompatibleFile);
    const size_t offset = shortId ? command.p2 : (command.p1 << 8 | command.p2);
    if (command.data.empty() || offset + command.data.size() > kLargestFile)
        return Status(command.data.empty() ? kWrongLength : kNotEnoughRoom);
    if (file->data.size() < offset + command.data.size())
        file->data.resize(offset + command.data.size());
    std::copy(command.data.begin(), command.data.end(), file->data.begin() + offset);
    changed = true;
    for (const Application& application : kApplications)
        if (file->path == application.certificateFile)
            ShowCertificate(card, application, *file);
    return SimKeys::ProtectAnswer(runtime.cardOs.channel, {});
}

ByteVector ReadPublicKey(Card& card, CardRuntime& runtime)
{
    const Application* application = ApplicationOfFolder(runtime.cardOs.folder);
    const CardObject* key =
        application ? card.FindObject(std::string("PK.CH.") + application->keySuffix) : nullptr;
    if (!key)
        return Status(kFileNotFound);
    return SimKeys::ProtectAnswer(runtime.cardOs.channel, key->key);
}

// A new key pair of the application (PKCS#8), in parts while CLA carries the chaining bit.
ByteVector PutKeyPair(Card& card, CardRuntime& runtime, const SimKeys::PlainCommand& command,
                      bool& changed)
{
    CardOsSession& session = runtime.cardOs;
    session.keyParts.insert(session.keyParts.end(), command.data.begin(), command.data.end());
    if (command.cla & SimKeys::kChainingBit)
        return SimKeys::ProtectAnswer(session.channel, {});
    const Application* application = ApplicationOfFolder(session.folder);
    if (!application)
        return Status(kSecurityNotSatisfied);
    if (!InstallKeyPair(card, application->keySuffix, session.keyParts))
        return Status(kWrongData);
    session.keyParts.clear();
    changed = true;
    return SimKeys::ProtectAnswer(session.channel, {});
}

ByteVector Execute(Card& card, CardRuntime& runtime, const SimKeys::PlainCommand& command,
                   bool& changed)
{
    switch (command.ins)
    {
    case 0xD6:
        return UpdateBinary(card, runtime, command, changed);
    case 0xB4:
        return ReadPublicKey(card, runtime);
    case 0xDA:
        return PutKeyPair(card, runtime, command, changed);
    }
    return Status(kInsNotSupported);
}

// A protected command: its MAC checked with the session's counter, then executed. Any failure
// ends the session.
ByteVector SecureCommand(Card& card, CardRuntime& runtime, const ByteVector& apdu, bool& changed)
{
    SimKeys::PlainCommand command;
    ByteVector answer = Status(kSmObjectsWrong);
    if (runtime.cardOs.open && SimKeys::OpenCommand(runtime.cardOs.channel, apdu, command))
        answer = Execute(card, runtime, command, changed);
    if (answer.size() == 2)
        runtime.cardOs = CardOsSession{};
    return answer;
}
} // namespace

bool IsCardOsChip(const Card& card)
{
    return card.model.compare(0, 6, "CardOS") == 0;
}

std::optional<ByteVector> CardOsCommand(Card& card, CardRuntime& runtime, const ByteVector& command,
                                        bool& changed)
{
    if (command.size() < 4)
        return std::nullopt;
    if ((command[0] & ~SimKeys::kChainingBit) == SimKeys::kSmClass)
        return SecureCommand(card, runtime, command, changed);
    if (command[0] != 0x00)
        return std::nullopt;
    switch (command[1])
    {
    case 0x82:
        return MutualAuthenticate(card, runtime, command);
    case 0xA4:
        // Only a selection by file identifier without an answer; the file system does the rest.
        if (const uint16_t status = CheckHeader(command, 0x00, 0x0C, false); status != kOk)
            return Status(status);
        break;
    case 0xB2:
        if (command[2] == 0 && command[3] == 0)
            return ReadFirstRecord(card, runtime);
        break;
    case 0xD6:
    case 0xDA:
        return Status(kSecurityNotSatisfied);
    }
    return std::nullopt;
}
} // namespace QuendrySim
