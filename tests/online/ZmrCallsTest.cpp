// The three calls of the identity-link service against scripted answers of the simulated server.

#include "OnlineTestSupport.h"

#include "online/ZmrSearchResult.h"

namespace
{
// A register answer with every member, toBeSigned last; replaced members keep their place,
// members given as null are left out and a value starting with "#" is written unquoted.
std::string RegisterAnswer(const std::map<std::string, const char*>& changes)
{
    static const char* const names[] = {
        "ZmrSearchResp", "GivenName",      "FamilyName", "DateOfBirth", "PlaceOfBirth",
        "StreetName",    "BuildingNumber", "sUnit",      "PostalCode",  "Municipality",
        "DoorNumber",    "Locality",       "toBeSigned"};
    std::string body = "{";
    for (const char* name : names)
    {
        const auto change = changes.find(name);
        const char* value = change == changes.end() ? name : change->second;
        if (value == nullptr)
            continue;
        const std::string written =
            value[0] == '#' ? std::string(value + 1) : "\"" + std::string(value) + "\"";
        body += std::string(body.size() > 1 ? ", " : "") + "\"" + name + "\": " + written;
    }
    return body + "}";
}

TEST_F(OnlineClientTest, WithoutASessionTheRegisterCallsFailAndSendNothing)
{
    OnlineServicesClient client;
    log.Clear();
    ZmrSearchResult result;
    result.GivenName = L"kept";
    std::string link = "kept";
    std::string cin = "kept";
    EXPECT_FALSE(client.ZmrSearchRequest("signed", result));
    EXPECT_FALSE(client.ZmrGetInfoboxRequest("text", "signed", link, cin));
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_EQ(result.GivenName, L"kept");
    EXPECT_EQ(link + cin, "keptkept");
    EXPECT_EQ(log.Lines(), (std::vector<LogLine>{
                               {"DEBUG", "ZmrSearchRequest: no open session"},
                               {"ERROR", "ZmrSearchRequest: no open session, nothing sent"},
                               {"DEBUG", "ZmrGetInfoboxRequest: no open session"},
                               {"ERROR", "ZmrGetInfoboxRequest: no open session, nothing sent"}}));
}

TEST_F(OnlineClientTest, TheRegisterAnswerFillsTheRecordInOrderUntilAMemberIsMissing)
{
    const struct
    {
        const char* name;
        std::string answer;
        std::string error;
        std::wstring ZmrSearchResp, GivenName, Locality, toBeSigned;
    } cases[] = {
        {"umlauts",
         RegisterAnswer({{"ZmrSearchResp", "Gr\xC3\xBC\xC3\x9F"
                                           "e"},
                         {"toBeSigned", "Gr\xC3\xBC\xC3\x9F"
                                        "e & mehr"}}),
         "", L"Gr\u00C3\u00BC\u00C3\u0178e", L"GivenName", L"Locality", L"Gr\u00FC\u00DFe & mehr"},
        {"no Locality", RegisterAnswer({{"Locality", nullptr}}),
         "error json object has no Locality", L"ZmrSearchResp", L"GivenName", L"old", L"old"},
        {"GivenName not UTF-8", RegisterAnswer({{"GivenName", "J\xC3("}}), "", L"ZmrSearchResp",
         L"", L"Locality", L"toBeSigned"},
        {"toBeSigned not UTF-8", RegisterAnswer({{"toBeSigned", "\xED\xA0\x80"}}),
         "error json object has no ToBeSigned data", L"ZmrSearchResp", L"GivenName", L"Locality",
         L"old"},
        {"no toBeSigned", RegisterAnswer({{"toBeSigned", nullptr}}),
         "error json object has no ToBeSigned data", L"ZmrSearchResp", L"GivenName", L"Locality",
         L"old"},
        {"a number for GivenName", RegisterAnswer({{"GivenName", "#5"}}),
         "error json object has no GivenName", L"ZmrSearchResp", L"", L"old", L"old"},
    };
    OnlineServicesClient client;
    OpenSession(client, "s 1");
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        server.SetReply("ZmrSession/ZmrSearch", Json(c.answer));
        log.Clear();
        ZmrSearchResult result;
        result.Locality = result.toBeSigned = L"old";
        EXPECT_EQ(client.ZmrSearchRequest("SIG", result), c.error.empty());
        EXPECT_EQ(result.ZmrSearchResp, c.ZmrSearchResp);
        EXPECT_EQ(result.GivenName, c.GivenName);
        EXPECT_EQ(result.Locality, c.Locality);
        EXPECT_EQ(result.toBeSigned, c.toBeSigned);
        EXPECT_EQ(log.Errors(),
                  c.error.empty() ? std::vector<std::string>{} : std::vector{c.error});
        const auto sent = server.Requests().back();
        EXPECT_EQ(sent.requestLine,
                  "POST /OnlineServicesTNG/v1/ZmrSession/s%201/ZmrSearch HTTP/1.1");
        EXPECT_EQ(sent.body, "{\n    \"ZmrSearchReq\": \"SIG\"\n}");
    }
}

TEST_F(OnlineClientTest, TheDownloadGivesTheLinkThenTheCin)
{
    const struct
    {
        OnlineServicesSim::Reply reply;
        std::string link, cin, error;
    } cases[] = {
        {Json("{\"InfoboxData\": \"MIIB\", \"cin\": \"471120240011\"}"), "MIIB", "471120240011",
         ""},
        {Json("{\"InfoboxData\": \"MIIB\"}"), "MIIB", "old", "error json object has no cin"},
        {Json("{\"cin\": \"471120240011\"}"), "old", "old", "error json object has no InfoboxData"},
        {Json("{\"InfoboxData\": \"MIIB\", \"cin\": \"1\"}", 400), "old", "old",
         "error in webcall ZmrGetInfobox invalid statuscode=400"},
    };
    OnlineServicesClient client;
    OpenSession(client, "s2");
    for (const auto& c : cases)
    {
        server.SetReply("ZmrSession/ZmrGetInfobox", c.reply);
        log.Clear();
        std::string link = "old";
        std::string cin = "old";
        EXPECT_EQ(client.ZmrGetInfoboxRequest("T\xE4", "S", link, cin), c.error.empty());
        EXPECT_EQ(link, c.link);
        EXPECT_EQ(cin, c.cin);
        EXPECT_EQ(log.Errors(),
                  c.error.empty() ? std::vector<std::string>{} : std::vector{c.error});
        EXPECT_EQ(server.Requests().back().body,
                  "{\n    \"ToBeSignedData\": \"T\xE4\",\n    \"SignedData\": \"S\"\n}");
    }
}
} // namespace
