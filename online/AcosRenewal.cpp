// The renewal of ACOS cards (card types 1 and 2): each card step is one numbered operation that
// the card module performs itself, alternating with the server's ACOS steps; when the server
// cannot prepare the encryption part under secure messaging, its certificate is written directly.

#include "online/CertUpdater.h"

#include "core/codec/Base64.h"
#include "core/codec/ByteCodec.h"
#include "core/config/AcosSettings.h"
#include "core/logging/Logger.h"
#include "online/ByteBlocks.h"
#include "token/acPKCS11.h"

namespace
{
// The terminal's random is the same in every run.
constexpr uint32_t kTerminalRandom = 2864019573u;
constexpr uint16_t kRandomBytes = 8;
constexpr size_t kMacBytes = 4;
constexpr size_t kAuthenticationBytes = 48;
constexpr uint64_t kLengthBytes = 4;

constexpr uint32_t kReadCard = 0;
constexpr uint32_t kAuthenticateSignature = 1;
constexpr uint32_t kAnswerSignatureTerminal = 2;
constexpr uint32_t kWriteSignatureData = 3;
constexpr uint32_t kChallengeEncryption = 4;
constexpr uint32_t kAuthenticateEncryption = 5;
constexpr uint32_t kWriteEncryptionData = 6;

std::string Hex(const ByteVector& bytes)
{
    return BytesToHex(bytes, HEX_UPPER | HEX_NO_BLANKS);
}

// A block of the output as hexadecimal text; a block past the output or an empty one fails.
bool HexOfBlock(const ByteVector& output, uint64_t offset, uint64_t length, std::string& text)
{
    ByteVector block;
    if (!ReadBlock(output, offset, length, block) || block.empty())
        return false;
    text = Hex(block);
    return true;
}

bool HexOfLengthPrefixed(const ByteVector& output, uint64_t offset, std::string& text,
                         uint64_t& end)
{
    ByteVector block;
    if (!ReadLengthPrefixed(output, offset, block) || block.empty())
        return false;
    text = Hex(block);
    end = offset + kLengthBytes + block.size();
    return true;
}

// An empty text is an empty block; a text that does not decode fails.
bool DecodeBase64(const std::string& text, ByteVector& bytes)
{
    bytes = Base64().Decode(text);
    return text.empty() || !bytes.empty();
}

bool DecodeAll(std::initializer_list<std::pair<const std::string*, ByteVector*>> values)
{
    for (const auto& [text, bytes] : values)
        if (!DecodeBase64(*text, *bytes))
            return false;
    return true;
}

std::string EncodeBase64(const ByteVector& bytes)
{
    std::string text;
    Base64Encode(bytes, text);
    return text;
}

ByteVector TerminalRandom()
{
    ByteVector bytes;
    AppendUIntBE(bytes, kTerminalRandom, kRandomBytes);
    return bytes;
}

ByteVector LengthPrefixedBlocks(std::initializer_list<const ByteVector*> blocks)
{
    ByteVector bytes;
    for (const ByteVector* block : blocks)
        AppendLengthPrefixed(bytes, *block);
    return bytes;
}
} // namespace

bool CertUpdater::UpdateAcos(bool newEncCert, bool newSigCert)
{
    if (!client || !token || (!newEncCert && !newSigCert))
        return false;
    std::string epaCardnr, epaBlz;
    bool ok = Acos0(idicc, epaCardnr, epaBlz);
    if (newSigCert)
        ok = ok && RenewAcosSignature(epaCardnr, epaBlz);
    if (newEncCert)
        ok = ok && RenewAcosEncryption(newSigCert, epaCardnr, epaBlz);
    if (ok)
        Done();
    return ok;
}

bool CertUpdater::RenewAcosSignature(const std::string& epaCardnr, const std::string& epaBlz)
{
    std::string idIfd, rndIfd, rndIcc, authIccSig, pkIccAuth, authIfd, macCp, macRb, pkCgaAuth;
    std::string responseRb, responseCp, persoDataCert, persoDataPinPuk;
    return Acos1(idIfd, rndIfd, rndIcc, idicc, authIccSig, pkIccAuth) &&
           ServerStep("CertUpdateAcos1",
                      [&]
                      {
                          return client->CertUpdateAcos1(idicc, epaCardnr, epaBlz, rndIcc, rndIfd,
                                                         idIfd, authIccSig, pkIccAuth, authIfd,
                                                         macCp, macRb, pkCgaAuth);
                      }) &&
           Acos2(macRb, macCp, pkCgaAuth, authIfd, responseRb, responseCp) &&
           ServerStep("CertUpdateAcos2",
                      [&] {
                          return client->CertUpdateAcos2(responseRb, responseCp, persoDataCert,
                                                         persoDataPinPuk);
                      }) &&
           Acos3(persoDataCert, persoDataPinPuk);
}

bool CertUpdater::RenewAcosEncryption(bool afterSignature, const std::string& epaCardnr,
                                      const std::string& epaBlz)
{
    std::string rndIcc, vkDecSm, rndIfd, authIfd, authIcc, persoDataCert, persoDataPinPuk,
        persoData;
    if (!afterSignature &&
        !ServerStep("CertUpdateAcos1a",
                    [&] { return client->CertUpdateAcos1a(idicc, epaCardnr, epaBlz); }))
        return false;
    if (!Acos4(idicc, rndIcc, vkDecSm, rndIfd) ||
        !ServerStep("CertUpdateAcos3",
                    [&] { return client->CertUpdateAcos3(rndIcc, vkDecSm, rndIfd, authIfd); }) ||
        !Acos5(authIfd, authIcc))
        return false;
    const bool prepared = ServerStep(
        "CertUpdateAcos4",
        [&] { return client->CertUpdateAcos4(authIcc, persoDataCert, persoDataPinPuk, persoData); },
        [] { GetAppLogger()->Warning("CertUpdateAcos4 failed - try again without SM"); });
    return prepared ? Acos6(persoDataCert, persoDataPinPuk, persoData)
                    : WriteAcosFallbackCertificate();
}

bool CertUpdater::WriteAcosFallbackCertificate()
{
    std::string cinCsn, encCert;
    if (!ServerStep(
            "CertUpdateAcosNoSM", [&] { return client->CertUpdateAcosNoSM(cinCsn, encCert); },
            [] { GetAppLogger()->Error("CertUpdateAcosNoSM failed"); }))
        return false;
    token->Reset();
    ByteVector certificate;
    if (!DecodeBase64(encCert, certificate))
    {
        GetAppLogger()->Error("encCert is no Base64 text");
        return false;
    }
    // The write opens a session of its own; the run's would be left open for ever.
    token->CloseSession();
    std::string error;
    if (token->WriteEncCert(cinCsn, certificate, error))
        return true;
    GetAppLogger()->Error(error);
    return false;
}

bool CertUpdater::AcosDirect(uint32_t operation, const ByteVector* input, ByteVector& output)
{
    // Both would fail in the module: a session is needed, and the module may lack the function.
    if (token->SessionHandle() == 0 || !Corvane::acPKCS11::Functions().C_Register)
        return false;
    const CK_RV rv = token->CallRegister(operation, input, output);
    if (rv == CKR_OK)
        return true;
    if (rv != CKR_QUENDRY_REGISTER_STATE1 && rv != CKR_QUENDRY_REGISTER_STATE2)
        Corvane::acPKCS11::LogErrorCode("pkcs#11 register error ", static_cast<uint32_t>(rv));
    return false;
}

bool CertUpdater::AcosThroughWrapper(uint32_t operation, const ByteVector& input,
                                     bool vendorResultsPass, ByteVector& output)
{
    const int result = token->Register(operation, &input, output);
    return result == 0 || (vendorResultsPass && (result == Corvane::REGISTER_RESULT_STATE1 ||
                                                 result == Corvane::REGISTER_RESULT_STATE2));
}

bool CertUpdater::Acos0(std::string& chipId, std::string& epaCardnr, std::string& epaBlz)
{
    GetAppLogger()->Message("Performing card operations Acos0");
    token->Reset();
    ByteVector output;
    if (AcosDirect(kReadCard, nullptr, output) && HexOfBlock(output, 0, 8, chipId) &&
        HexOfBlock(output, 8, 8, epaCardnr) && HexOfBlock(output, 16, 3, epaBlz))
        return true;
    GetAppLogger()->Error("Error ACOS register step 0");
    return false;
}

bool CertUpdater::Acos1(std::string& idIfd, std::string& rndIfd, std::string& rndIcc,
                        std::string& chipId, std::string& authIccSig, std::string& pkIccAuth)
{
    ByteVector terminal;
    AppendUIntBE(terminal, 10301, 3);
    AppendUIntBE(terminal, 1, 2);
    AppendUIntBE(terminal, 0, 3);
    AppendUIntBE(terminal, kTerminalRandom, kRandomBytes);
    ByteVector output;
    uint64_t end = 0;
    if (!AcosThroughWrapper(kAuthenticateSignature, terminal, false, output) ||
        !HexOfBlock(output, 0, 8, rndIcc) || !HexOfBlock(output, 8, 8, chipId) ||
        !HexOfLengthPrefixed(output, 16, authIccSig, end) ||
        !HexOfLengthPrefixed(output, end, pkIccAuth, end))
        return false;
    idIfd = Hex(ByteVector(terminal.begin(), terminal.begin() + 8));
    rndIfd = Hex(ByteVector(terminal.begin() + 8, terminal.end()));
    return true;
}

bool CertUpdater::Acos2(const std::string& macRb, const std::string& macCp,
                        const std::string& pkCgaAuth, const std::string& authIfd,
                        std::string& responseRb, std::string& responseCp)
{
    const bool withCp = UseAcosCpData();
    ByteVector rb, cp, publicKey, terminalProof;
    if (!DecodeAll(
            {{&macRb, &rb}, {&macCp, &cp}, {&pkCgaAuth, &publicKey}, {&authIfd, &terminalProof}}) ||
        rb.size() != kMacBytes)
        return false;
    ByteVector input = LengthPrefixedBlocks({&publicKey, &terminalProof});
    input.insert(input.end(), rb.begin(), rb.end());
    if (withCp)
    {
        GetAppLogger()->Debug("Acos2: adding CP data");
        if (cp.size() != kMacBytes)
            return false;
        input.insert(input.end(), cp.begin(), cp.end());
    }
    else
        GetAppLogger()->Debug("Acos2: not using CP data");
    ByteVector output, rbAnswer, cpAnswer;
    if (!AcosDirect(kAnswerSignatureTerminal, &input, output) ||
        !ReadLengthPrefixed(output, 0, rbAnswer))
        return false;
    responseRb = EncodeBase64(rbAnswer);
    if (!withCp)
        return true;
    // response_cp carries its own length after response_rb.
    if (!ReadLengthPrefixed(output, kLengthBytes + rbAnswer.size(), cpAnswer) || cpAnswer.empty())
        return false;
    responseCp = EncodeBase64(cpAnswer);
    return true;
}

bool CertUpdater::Acos3(const std::string& persoDataCert, const std::string& persoDataPinPuk)
{
    ByteVector certificate, pinPuk, output;
    return DecodeAll({{&persoDataCert, &certificate}, {&persoDataPinPuk, &pinPuk}}) &&
           AcosThroughWrapper(kWriteSignatureData, LengthPrefixedBlocks({&certificate, &pinPuk}),
                              true, output);
}

bool CertUpdater::Acos4(std::string& chipId, std::string& rndIcc, std::string& vkDecSm,
                        std::string& rndIfd)
{
    ByteVector output;
    if (!AcosDirect(kChallengeEncryption, nullptr, output) || !HexOfBlock(output, 0, 8, chipId) ||
        !HexOfBlock(output, 8, 8, rndIcc) || !HexOfBlock(output, 16, 2, vkDecSm))
        return false;
    rndIfd = Hex(TerminalRandom());
    return true;
}

bool CertUpdater::Acos5(const std::string& authIfd, std::string& authIcc)
{
    ByteVector terminalProof, output;
    return DecodeBase64(authIfd, terminalProof) && terminalProof.size() == kAuthenticationBytes &&
           AcosDirect(kAuthenticateEncryption, &terminalProof, output) &&
           HexOfBlock(output, 0, kAuthenticationBytes, authIcc);
}

bool CertUpdater::Acos6(const std::string& persoDataCert, const std::string& persoDataPinPuk,
                        const std::string& persoData)
{
    ByteVector certificate, pinPuk, keyData, output;
    return DecodeAll({{&persoDataCert, &certificate},
                      {&persoDataPinPuk, &pinPuk},
                      {&persoData, &keyData}}) &&
           AcosThroughWrapper(kWriteEncryptionData,
                              LengthPrefixedBlocks({&certificate, &keyData, &pinPuk}), true,
                              output);
}
