// The renewal of CardOS cards (card type 7): raw commands to the card, server-prepared
// secure-messaging commands and scripts verified by their MACs.

#include "online/CertUpdater.h"

#include "core/logging/Logger.h"
#include "token/acPKCS11.h"

#include <cstdio>

namespace
{
// The terminal challenge is the same in every run.
constexpr const char* kRndIfd = "3B7D1E95C0A4F268";
constexpr size_t kLargestShortData = 255;

void LogCardStep(const char* step)
{
    GetAppLogger()->Message(std::string("Performing card operations ") + step);
}

void LogSuccess(const char* step)
{
    GetAppLogger()->Message(std::string(step) + ": success");
}

// Lc of the authentication command: lower-case hexadecimal, at least two digits.
std::string LcOf(const std::string& data)
{
    char lc[24];
    std::snprintf(lc, sizeof lc, "%02zx", data.size() / 2);
    return lc;
}
} // namespace

bool CertUpdater::UpdateCardOS(bool newEncCert, bool newSigCert)
{
    if (!client || !token || (!newEncCert && !newSigCert))
        return false;
    std::string efVersion, chDs, caCs, rndIcc, rndIfd, authIfd, authIcc, macRequest;
    std::string smPubkeySs, persoDataCert, persoDataKey, chAut, caCsAut;
    bool ok = CardOS0(efVersion, chDs, caCs, rndIcc, rndIfd);
    if (newSigCert)
    {
        ok = ok && ServerStep("CertUpdateCardos0",
                              [&] {
                                  return client->CertUpdateCardos0(idicc, efVersion, chDs, caCs,
                                                                   rndIcc, rndIfd, authIfd);
                              });
        ok = ok && CardOS1(authIfd, authIcc);
        ok = ok && ServerStep("CertUpdateCardos1",
                              [&] { return client->CertUpdateCardos1(authIcc, macRequest); });
        ok = ok && CardOS2(macRequest, smPubkeySs);
        ok = ok && ServerStep("CertUpdateCardos2",
                              [&] { return client->CertUpdateCardos2(smPubkeySs, persoDataCert); });
        ok = ok && CardOS3(persoDataCert);
    }
    if (newEncCert)
    {
        if (!newSigCert)
            ok = ok && ServerStep("CertUpdateCardos0a",
                                  [&] { return client->CertUpdateCardos0a(idicc, efVersion); });
        ok = ok && CardOS4(chAut, caCsAut, rndIcc, rndIfd);
        ok = ok && ServerStep("CertUpdateCardos3",
                              [&] {
                                  return client->CertUpdateCardos3(idicc, efVersion, chAut, caCsAut,
                                                                   rndIcc, rndIfd, authIfd);
                              });
        ok = ok && CardOS5(authIfd, authIcc);
        ok = ok && ServerStep(
                       "CertUpdateCardos4", [&]
                       { return client->CertUpdateCardos4(authIcc, persoDataCert, persoDataKey); });
        ok = ok && CardOS6(persoDataCert, persoDataKey);
    }
    ok = ok && CardOS7(rndIcc, rndIfd);
    ok = ok && ServerStep("CertUpdateCardos5", [&]
                          { return client->CertUpdateCardos5(idicc, rndIcc, rndIfd, authIfd); });
    ok = ok && CardOS8(authIfd, authIcc);
    ok = ok && ServerStep("CertUpdateCardos6",
                          [&] { return client->CertUpdateCardos6(authIcc, macRequest); });
    ok = ok && CardOS9(macRequest);
    ok = ok && ServerStep("CertUpdateCardos7", [&] { return client->CertUpdateCardos7(); });
    if (ok)
        Done();
    return ok;
}

void CertUpdater::StartCardOsStep(std::string& rndIfd)
{
    rndIfd = kRndIfd;
    token->Reset();
}

bool CertUpdater::CardOS0(std::string& efVersion, std::string& chDs, std::string& caCs,
                          std::string& rndIcc, std::string& rndIfd)
{
    LogCardStep("CardOS0");
    StartCardOsStep(rndIfd);
    token->GetChipIdHex(idicc);
    return RunCardCommands({
        {"00A4000C023F00", "9000", "Cardos0: error SELECT MF", nullptr},
        {"00A4000C020032", "9000", "Cardos0: error EF_Version", nullptr},
        {"00B2000000", "9000", "Cardos0: error READ BINARY (size=200)", &efVersion},
        {"00A4000C02DF01", "9000", "error SELECT DF_SIG", nullptr},
        {"00A4000C02C000", "", "error SELECT C_X509_CH_DS", &chDs},
        {"00A4000C02C608", "", "error SELECT EF_C_X509_CA_CS", &caCs},
        {"0084000008", "9000", "error get challange", &rndIcc},
    });
}

bool CertUpdater::Authenticate(const std::string& authIfd, std::string& authIcc,
                               const char* failure)
{
    // Lc is one byte: longer data would give a command the card cannot read.
    if (authIfd.size() / 2 > kLargestShortData)
    {
        GetAppLogger()->Error(failure);
        return false;
    }
    const std::string command = "00820081" + LcOf(authIfd) + authIfd + "00";
    return RunCardCommands({{command.c_str(), "9000", failure, &authIcc}});
}

bool CertUpdater::CardOS1(const std::string& authIfd, std::string& authIccSig)
{
    LogCardStep("CardOS1");
    return Authenticate(authIfd, authIccSig, "error get AuthIcc");
}

bool CertUpdater::SendServerCommand(const std::string& macRequest, std::string& answer,
                                    const char* failure)
{
    if (macRequest.empty())
    {
        GetAppLogger()->Error("macRequest is empty");
        return false;
    }
    return RunCardCommands({{macRequest.c_str(), "9000", failure, &answer}});
}

bool CertUpdater::CardOS2(const std::string& macRequest, std::string& smPubkeySs)
{
    LogCardStep("CardOS2");
    if (!SendServerCommand(macRequest, smPubkeySs, "error getting SmPuKss"))
        return false;
    LogSuccess("CardOS2");
    return true;
}

bool CertUpdater::CardOS3(const std::string& persoDataCert)
{
    LogCardStep("CardOS3");
    if (persoDataCert.empty())
    {
        GetAppLogger()->Error("PersoDataCert is empty");
        return false;
    }
    PersoData script;
    if (!RunScript(script, "persoDataCert", persoDataCert, "Error parsing sig cert persodata",
                   "Error executing sig cert persodata"))
        return false;
    LogSuccess("CardOS3");
    return true;
}

bool CertUpdater::CardOS4(std::string& chAut, std::string& caCsAut, std::string& rndIcc,
                          std::string& rndIfd)
{
    LogCardStep("CardOS4");
    StartCardOsStep(rndIfd);
    if (!RunCardCommands({
            {"00A4000C023F00", "9000", "Error SELECT MF", nullptr},
            {"00A4000C02DF02", "9000", "error SELECT DF_ENC", nullptr},
            {"00A4000C022F01", "", "error SELECT C_X509_CH_AUT", &chAut},
            {"00A4000C022F01", "", "error SELECT C_X509_CA_CS", &caCsAut},
            {"0084000008", "9000", "Error get challange", &rndIcc},
        }))
        return false;
    LogSuccess("CardOS4");
    return true;
}

bool CertUpdater::AuthenticateStep(const char* step, const std::string& authIfd,
                                   std::string& authIcc, const char* failure)
{
    LogCardStep(step);
    if (authIfd.size() < 2)
    {
        GetAppLogger()->Error("authIfd is empty");
        return false;
    }
    if (!Authenticate(authIfd, authIcc, failure))
        return false;
    LogSuccess(step);
    return true;
}

bool CertUpdater::CardOS5(const std::string& authIfd, std::string& authIccEnc)
{
    return AuthenticateStep("CardOS5", authIfd, authIccEnc, "error get auth_icc_enc");
}

bool CertUpdater::CardOS6(const std::string& persoDataCert, const std::string& persoDataKey)
{
    LogCardStep("CardOS6");
    if (persoDataCert.empty() || persoDataKey.empty())
    {
        GetAppLogger()->Error(persoDataCert.empty() ? "PersoDataCert is empty"
                                                    : "PersoDataKey is empty");
        return false;
    }
    PersoData script;
    if (!RunScript(script, "persoDataCert", persoDataCert, "Error parsing enc cert persodata",
                   "Error executing enc cert persodata") ||
        !RunScript(script, "persoDataKey", persoDataKey, "Error parsing key data persodata",
                   "Error executing key data persodata"))
        return false;
    LogSuccess("CardOS6");
    return true;
}

bool CertUpdater::CardOS7(std::string& rndIcc, std::string& rndIfd)
{
    LogCardStep("CardOS7");
    StartCardOsStep(rndIfd);
    if (!RunCardCommands({
            {"00A4000C023F00", "9000", "error SELECT MF", nullptr},
            {"0084000008", "9000", "error get challange", &rndIcc},
        }))
        return false;
    LogSuccess("CardOS7");
    return true;
}

bool CertUpdater::CardOS8(const std::string& authIfd, std::string& authIccMf)
{
    return AuthenticateStep("CardOS8", authIfd, authIccMf, "error get auth_icc_mf");
}

bool CertUpdater::CardOS9(const std::string& macRequest)
{
    LogCardStep("CardOS9");
    std::string answer;
    if (!SendServerCommand(macRequest, answer, "error writing CIN/CSN"))
        return false;
    LogSuccess("CardOS9");
    return true;
}
