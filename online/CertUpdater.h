#pragma once

#include "core/Bytes.h"
#include "online/OnlineServicesClient.h"
#include "online/PersoData.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Corvane
{
class acPKCS11;
}

// One certificate renewal run: the update check opens the server session, then the driver of
// the card's family alternates card steps (through the token wrapper's open session) with the
// server steps of the same session.
class CertUpdater
{
public:
    CertUpdater() = default;
    ~CertUpdater();
    CertUpdater(const CertUpdater&) = delete;
    CertUpdater& operator=(const CertUpdater&) = delete;

    void SetLanguageCode(const std::string& code) { languageCode = code; }
    // The wrapper is borrowed; its open session addresses every card step.
    void SetToken(Corvane::acPKCS11* wrapper, int32_t index);
    const std::string& Idicc() const { return idicc; }

    // After a false checkforupdate: whether the check itself failed (no answer, a bad one).
    bool UpdateCheckFailed() const { return client && client->UpdateCheckFailed(); }
    bool checkforupdate(int32_t cardType, const std::string& cin, const std::string& csn,
                        const std::string& encSerial, const std::string& sigSerial,
                        bool& newEncCertFound, bool& newSigCertFound);

    // Command layer: hexadecimal commands and answers. A failed command is named in the log
    // whole, or by its length alone when it comes from a script that carries a key or a PIN.
    enum class CommandInLog
    {
        Whole,
        LengthOnly
    };
    bool SendAPDU(const std::string& command, const std::string& expected, std::string& data,
                  CommandInLog shown = CommandInLog::Whole);
    bool SendAPDUList(const std::string& commands, const std::string& answers,
                      CommandInLog shown = CommandInLog::Whole);

    // CardOS (card type 7).
    bool UpdateCardOS(bool newEncCert, bool newSigCert);
    bool CardOS0(std::string& efVersion, std::string& chDs, std::string& caCs, std::string& rndIcc,
                 std::string& rndIfd);
    bool CardOS1(const std::string& authIfd, std::string& authIccSig);
    bool CardOS2(const std::string& macRequest, std::string& smPubkeySs);
    bool CardOS3(const std::string& persoDataCert);
    bool CardOS4(std::string& chAut, std::string& caCsAut, std::string& rndIcc,
                 std::string& rndIfd);
    bool CardOS5(const std::string& authIfd, std::string& authIccEnc);
    bool CardOS6(const std::string& persoDataCert, const std::string& persoDataKey);
    bool CardOS7(std::string& rndIcc, std::string& rndIfd);
    bool CardOS8(const std::string& authIfd, std::string& authIccMf);
    bool CardOS9(const std::string& macRequest);

    // ACOS (card types 0 to 2): numbered operations of the card module.
    bool UpdateAcos(bool newEncCert, bool newSigCert);
    bool Acos0(std::string& chipId, std::string& epaCardnr, std::string& epaBlz);
    bool Acos1(std::string& idIfd, std::string& rndIfd, std::string& rndIcc, std::string& chipId,
               std::string& authIccSig, std::string& pkIccAuth);
    bool Acos2(const std::string& macRb, const std::string& macCp, const std::string& pkCgaAuth,
               const std::string& authIfd, std::string& responseRb, std::string& responseCp);
    bool Acos3(const std::string& persoDataCert, const std::string& persoDataPinPuk);
    bool Acos4(std::string& chipId, std::string& rndIcc, std::string& vkDecSm, std::string& rndIfd);
    bool Acos5(const std::string& authIfd, std::string& authIcc);
    bool Acos6(const std::string& persoDataCert, const std::string& persoDataPinPuk,
               const std::string& persoData);

private:
    // One command of a card step: sent with its expected status; the answer data goes to
    // result when there is one; failure is logged when it fails.
    struct CardCommand
    {
        const char* apdu;
        const char* expected;
        const char* failure;
        std::string* result;
    };
    bool RunCardCommands(const std::vector<CardCommand>& commands);
    // "*** Begin server " ... " ***" around a server step; between them a failure is reported
    // by onFailure, or else as "<name> failed".
    static bool ServerStep(const char* logName, const std::function<bool()>& call,
                           const std::function<void()>& onFailure = {});
    void Done();
    // The fixed terminal challenge, then a card reset and, for the first step, the chip id.
    void StartCardOsStep(std::string& rndIfd);
    bool Authenticate(const std::string& authIfd, std::string& authIcc, const char* failure);
    // CardOS5 and CardOS8: an empty authIfd is refused before anything is sent.
    bool AuthenticateStep(const char* step, const std::string& authIfd, std::string& authIcc,
                          const char* failure);
    bool SendServerCommand(const std::string& macRequest, std::string& answer, const char* failure);
    // A numbered operation called on the module directly: vendor answers fail unreported.
    bool AcosDirect(uint32_t operation, const ByteVector* input, ByteVector& output);
    // The same through the token wrapper; operations 3 and 6 also take its vendor results.
    bool AcosThroughWrapper(uint32_t operation, const ByteVector& input, bool vendorResultsPass,
                            ByteVector& output);
    // The signature part, the encryption part and its fallback without secure messaging.
    bool RenewAcosSignature(const std::string& epaCardnr, const std::string& epaBlz);
    bool RenewAcosEncryption(bool afterSignature, const std::string& epaCardnr,
                             const std::string& epaBlz);
    bool WriteAcosFallbackCertificate();
    // Runs the script the server sent as the answer member of that name.
    bool RunScript(PersoData& script, const char* member, const std::string& text,
                   const char* parseError, const char* runError);

    std::string languageCode = "DE";
    std::unique_ptr<OnlineServicesClient> client;
    Corvane::acPKCS11* token = nullptr;
    int32_t slotIndex = 0;
    std::string idicc;
};
