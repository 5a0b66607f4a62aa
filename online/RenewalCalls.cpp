// The calls of the certificate renewal service "CertUpdate".

#include "online/OnlineServicesClient.h"

#include "core/codec/ByteCodec.h"
#include "core/logging/Logger.h"

namespace
{
constexpr const char* kResource = "CertUpdate";

// "authIfd" is spelt in lower case in the text of a missing member.
std::string MissingMemberText(const std::string& member)
{
    return "error json object has no " + std::string(member == "authIfd" ? "authifd" : member) +
           " element";
}

bool IsCheckedCardType(int cardType)
{
    return cardType == 1 || cardType == 2 || cardType == 7;
}
} // namespace

void OnlineServicesClient::AddMembers(rapidjson::Document& request, const RequestMembers& members)
{
    for (const auto& [name, value] : members)
        AddString(request, name, value);
}

bool OnlineServicesClient::CertUpdateCheck(int cardType, const std::string& cin,
                                           const std::string& csn, const std::string& encSerial,
                                           const std::string& sigSerial, bool& newEncCertFound,
                                           bool& newSigCertFound)
{
    newEncCertFound = false;
    newSigCertFound = false;
    LibHttp2::HTTPClient http;
    http.SetUrl(BuildUrl(kResource));
    http.Request().SetMethod(LibHttp2::METHOD_POST);
    rapidjson::Document request;
    if (!CreateRequestDocument(request))
        return false;
    if (!IsCheckedCardType(cardType))
    {
        GetAppLogger()->Error("error unknown card type");
        return false;
    }
    updateCheckFailed = true;
    request.AddMember("cardType", static_cast<unsigned>(cardType), request.GetAllocator());
    AddMembers(request,
               {{"cin", cin}, {"csn", csn}, {"encSerial", encSerial}, {"sigSerial", sigSerial}});
    rapidjson::Document answer;
    if (!PostWrittenOut(http, request, "CertUpdateCheck", answer) || !StoreSessionId(answer))
        return false;
    GetAppLogger()->Message("Sessionid=" + sessionId);
    bool flags[3] = {};
    const char* const names[] = {"certUpdateFound", "newEncCertFound", "newSigCertFound"};
    for (int i = 0; i < 3; ++i)
    {
        const auto member = answer.FindMember(names[i]);
        if (member == answer.MemberEnd() || !member->value.IsBool())
        {
            GetAppLogger()->Error(MissingMemberText(names[i]));
            return false;
        }
        flags[i] = member->value.GetBool();
    }
    newEncCertFound = flags[1];
    newSigCertFound = flags[2];
    updateCheckFailed = false;
    return flags[0];
}

bool OnlineServicesClient::RunRenewalStep(const char* step, const char* callName,
                                          const RequestMembers& members,
                                          const std::vector<RequiredMember>& required)
{
    LibHttp2::HTTPClient http;
    http.SetUrl(BuildUrl(std::string(kResource) + "/") + UrlEncode(sessionId) + "/" + step);
    http.Request().SetMethod(LibHttp2::METHOD_POST);
    rapidjson::Document request;
    if (!CreateRequestDocument(request))
        return false;
    AddMembers(request, members);
    rapidjson::Document answer;
    if (!PostWrittenOut(http, request, callName, answer))
        return false;
    for (const RequiredMember& member : required)
    {
        if (!GetString(answer, member.name, *member.value))
        {
            GetAppLogger()->Error(MissingMemberText(member.name));
            return false;
        }
        if (member.emptyText && member.value->empty())
        {
            GetAppLogger()->Error(member.emptyText);
            return false;
        }
    }
    GetAppLogger()->Message(std::string(callName) + " OK");
    return true;
}

bool OnlineServicesClient::RunGenericRenewalStep(
    const char* step, const char* callName, std::optional<bool> genSigSession,
    const RequestMembers& members, const std::vector<std::pair<const char*, std::string*>>& outputs)
{
    LibHttp2::HTTPClient http;
    rapidjson::Document request;
    if (!PrepareStepRequest(kResource, step, http, request))
        return false;
    if (genSigSession)
        request.AddMember("genSigSession", *genSigSession, request.GetAllocator());
    AddMembers(request, members);
    StepAnswer answer;
    if (!PostStepRequest(http, request, answer))
        return false;
    for (const auto& [name, value] : outputs)
    {
        if (!GetResponseValue(answer, name, *value))
            return false;
    }
    GetAppLogger()->Message(std::string(callName) + " OK");
    return true;
}

bool OnlineServicesClient::CertUpdateCardos0(const std::string& idicc, const std::string& efVersion,
                                             const std::string& chDs, const std::string& caCs,
                                             const std::string& rndIcc, const std::string& rndIfd,
                                             std::string& authIfd)
{
    return RunRenewalStep("Cardos0", "CertUpdateCardos0",
                          {{"idicc", idicc},
                           {"ef_version", efVersion},
                           {"C_X509_CH_DS", chDs},
                           {"C_X509_CA_CS", caCs},
                           {"rndicc", rndIcc},
                           {"RND_IFD", rndIfd}},
                          {{"authIfd", &authIfd, nullptr}});
}

bool OnlineServicesClient::CertUpdateCardos0a(const std::string& idicc,
                                              const std::string& efVersion)
{
    return RunGenericRenewalStep("Cardos0a", "CertUpdateCardos0a", std::nullopt,
                                 {{"idicc", idicc}, {"ef_version", efVersion}}, {});
}

bool OnlineServicesClient::CertUpdateCardos1(const std::string& authIccSig, std::string& macRequest)
{
    return RunRenewalStep("Cardos1", "CertUpdateCardos1", {{"auth_icc_sig", authIccSig}},
                          {{"mac_request", &macRequest, nullptr}});
}

bool OnlineServicesClient::CertUpdateCardos2(const std::string& smPubkeySs,
                                             std::string& persoDataCert)
{
    return RunRenewalStep("Cardos2", "CertUpdateCardos2", {{"sm_pubkey_ss", smPubkeySs}},
                          {{"persoDataCert", &persoDataCert, "error CertUpdateCardos2"}});
}

bool OnlineServicesClient::CertUpdateCardos3(const std::string& idicc, const std::string& efVersion,
                                             const std::string& chAut, const std::string& caCsAut,
                                             const std::string& rndIcc, const std::string& rndIfd,
                                             std::string& authIfd)
{
    return RunRenewalStep("Cardos3", "CertUpdateCardos3",
                          {{"idicc", idicc},
                           {"ef_version", efVersion},
                           {"C_X509_CH_AUT", chAut},
                           {"C_X509_CA_CS_AUT", caCsAut},
                           {"rndicc", rndIcc},
                           {"RND_IFD", rndIfd}},
                          {{"authIfd", &authIfd, nullptr}});
}

bool OnlineServicesClient::CertUpdateCardos4(const std::string& authIccEnc,
                                             std::string& persoDataCert, std::string& persoDataKey)
{
    return RunRenewalStep(
        "Cardos4", "CertUpdateCardos4", {{"auth_icc_enc", authIccEnc}},
        {{"persoDataCert", &persoDataCert, "error CertUpdateCardos4 - persoDataCert was empty"},
         {"persoDataKey", &persoDataKey, "error CertUpdateCardos4 - persoDataKey was empty"}});
}

bool OnlineServicesClient::CertUpdateCardos5(const std::string& idicc, const std::string& rndIcc,
                                             const std::string& rndIfd, std::string& authIfd)
{
    return RunRenewalStep("Cardos5", "CertUpdateCardos5",
                          {{"idicc", idicc}, {"rndicc", rndIcc}, {"RND_IFD", rndIfd}},
                          {{"authIfd", &authIfd, nullptr}});
}

bool OnlineServicesClient::CertUpdateCardos6(const std::string& authIccMf, std::string& macRequest)
{
    return RunRenewalStep("Cardos6", "CertUpdateCardos6", {{"auth_icc_mf", authIccMf}},
                          {{"mac_request", &macRequest, nullptr}});
}

bool OnlineServicesClient::CertUpdateCardos7()
{
    return RunRenewalStep("Cardos7", "CertUpdateCardos7", {}, {});
}

bool OnlineServicesClient::CertUpdateAcos1a(const std::string& idicc, const std::string& epaCardnr,
                                            const std::string& epaBlz)
{
    return RunGenericRenewalStep("Acos1a", "CertUpdateAcos1a", false,
                                 {{"idicc", idicc}, {"epa_cardnr", epaCardnr}, {"epa_blz", epaBlz}},
                                 {});
}

bool OnlineServicesClient::CertUpdateAcos1(const std::string& idicc, const std::string& epaCardnr,
                                           const std::string& epaBlz, const std::string& rndIcc,
                                           const std::string& rndIfd, const std::string& idIfd,
                                           const std::string& authIccSig,
                                           const std::string& pkIccAuth, std::string& authIfd,
                                           std::string& macCp, std::string& macRb,
                                           std::string& pkCgaAuth)
{
    return RunGenericRenewalStep(
        "Acos1", "CertUpdateAcos1", true,
        {{"idicc", idicc},
         {"epa_cardnr", epaCardnr},
         {"epa_blz", epaBlz},
         {"rnd_icc", rndIcc},
         {"rnd_ifd", rndIfd},
         {"id_ifd", idIfd},
         {"auth_icc_sig", authIccSig},
         {"pk_icc_auth", pkIccAuth}},
        {{"authIfd", &authIfd}, {"macCp", &macCp}, {"macRb", &macRb}, {"pkCgaAuth", &pkCgaAuth}});
}

bool OnlineServicesClient::CertUpdateAcos2(const std::string& responseRb,
                                           const std::string& responseCp,
                                           std::string& persoDataCert, std::string& persoDataPinPuk)
{
    return RunGenericRenewalStep(
        "Acos2", "CertUpdateAcos2", std::nullopt,
        {{"response_rb", responseRb}, {"response_cp", responseCp}},
        {{"persoDataCert", &persoDataCert}, {"persoDataPinPuk", &persoDataPinPuk}});
}

bool OnlineServicesClient::CertUpdateAcos3(const std::string& rndIcc, const std::string& vkDecSm,
                                           const std::string& rndIfd, std::string& authIfd)
{
    return RunGenericRenewalStep("Acos3", "CertUpdateAcos3", std::nullopt,
                                 {{"rndIcc", rndIcc}, {"rndIfd", rndIfd}, {"vkDecSm", vkDecSm}},
                                 {{"authIfd", &authIfd}});
}

bool OnlineServicesClient::CertUpdateAcos4(const std::string& authIcc, std::string& persoDataCert,
                                           std::string& persoDataPinPuk, std::string& persoData)
{
    return RunGenericRenewalStep("Acos4", "CertUpdateAcos4", std::nullopt, {{"authIcc", authIcc}},
                                 {{"persoDataCert", &persoDataCert},
                                  {"persoDataPinPuk", &persoDataPinPuk},
                                  {"persoData", &persoData}});
}

bool OnlineServicesClient::CertUpdateAcosNoSM(std::string& cinCsn, std::string& encCert)
{
    return RunGenericRenewalStep("AcosNoSM", "CertUpdateAcosNoSM", std::nullopt, {},
                                 {{"cinCsn", &cinCsn}, {"encCert", &encCert}});
}

bool OnlineServicesClient::CertUpdateDone()
{
    return RunGenericRenewalStep("Done", "CertUpdateDone", std::nullopt, {}, {});
}
