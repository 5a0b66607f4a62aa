// The simulated register's own checks, seen from a client nobody here wrote (cpp-httplib) with
// requests signed by libcrypto.

#include "sim/onlineservices/ZmrService.h"
#include "core/codec/Base64.h"
#include "infobox/Personenbindung.h"
#include "sim/onlineservices/LoopbackServer.h"

#include <httplib.h>
#include <openssl/pkcs7.h>
#include <rapidjson/document.h>

#include <gtest/gtest.h>

namespace
{
const std::string kBase = OnlineServicesSim::kBasePath;
const std::string kRegisterText = "Stra\xC3\x9F"
                                  "e & Pl\xC3\xA4tze";
const std::string kRegisterCp1252 = "Stra\xDF"
                                    "e & Pl\xE4tze";

std::string Member(const std::string& body, const char* name)
{
    rapidjson::Document document;
    document.Parse(body.data(), body.size());
    return document.IsObject() && document.HasMember(name) && document[name].IsString()
               ? document[name].GetString()
               : std::string();
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

class ZmrServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(OnlineServicesSim::MakeTestPki("Zmr signer", signer));
        OnlineServicesSim::ZmrPerson person;
        person.cin = "471120240011";
        person.identityLink = "MIIB";
        person.fields = {{"GivenName", "J\xC3\xB6rg"}, {"toBeSigned", kRegisterText}};
        OnlineServicesSim::ZmrScenario scenario;
        scenario.persons.push_back(person);
        OnlineServicesSim::AddZmrService(server, scenario);
        ASSERT_TRUE(server.StartPlain());
    }

    httplib::Result Post(const std::string& path, const std::string& body)
    {
        httplib::Client client("127.0.0.1", server.Port());
        return client.Post((kBase + path).c_str(), body, "application/json");
    }

    // PKCS#7 signed data over content without signed attributes, in Base64; tamper flips the
    // last byte, which lies in the signature.
    std::string Signed(const std::string& content, bool tamper = false)
    {
        OnlineServicesSim::BioPtr in(BIO_new_mem_buf(content.data(), int(content.size())));
        PKCS7* p7 = PKCS7_sign(signer.serverCertificate.get(), signer.serverKey.get(), nullptr,
                               in.get(), PKCS7_BINARY | PKCS7_NOATTR);
        unsigned char* der = nullptr;
        const int length = i2d_PKCS7(p7, &der);
        PKCS7_free(p7);
        ByteVector bytes(der, der + (length > 0 ? length : 0));
        OPENSSL_free(der);
        if (tamper)
            bytes.back() ^= 1;
        return Base64().Encode(bytes);
    }

    std::string OpenSession()
    {
        const auto opened = Post("ZmrSession", "{\"lang\": \"DE\"}");
        EXPECT_TRUE(opened && opened->status == 200);
        sessionText = Member(opened->body, "toBeSigned");
        return opened ? Member(opened->body, "sessionid") : std::string();
    }

    int Search(const std::string& session, const std::string& signedRequest)
    {
        const auto answer = Post("ZmrSession/" + session + "/ZmrSearch",
                                 "{\"ZmrSearchReq\": " + Quoted(signedRequest) + "}");
        lastBody = answer ? answer->body : std::string();
        return answer ? answer->status : -1;
    }

    int Download(const std::string& session, const std::string& text, const std::string& signedData)
    {
        const auto answer = Post("ZmrSession/" + session + "/ZmrGetInfobox",
                                 "{\"ToBeSignedData\": " + Quoted(text) +
                                     ", \"SignedData\": " + Quoted(signedData) + "}");
        lastBody = answer ? answer->body : std::string();
        return answer ? answer->status : -1;
    }

    OnlineServicesSim::TestPki signer;
    OnlineServicesSim::LoopbackServer server;
    std::string sessionText;
    std::string lastBody;
};

TEST_F(ZmrServiceTest, SessionsAndTextsToBeSigned)
{
    EXPECT_EQ(Post("ZmrSession", "{\"lang\": \"FR\"}")->status, 400);
    const std::string first = OpenSession();
    const std::string second = OpenSession();
    EXPECT_EQ(first.size(), 32u);
    EXPECT_NE(first, second);
    EXPECT_NE(sessionText.find("f\xC3\xBCr"), std::string::npos) << "an umlaut in UTF-8";
}

TEST_F(ZmrServiceTest, SearchAndDownloadAnswerOnlyVerifiedRequestsOfTheirSession)
{
    const std::string session = OpenSession();
    // A download may not come before the search.
    EXPECT_EQ(Download(session, kRegisterCp1252, Signed(kRegisterCp1252)), 403);
    const struct
    {
        const char* name;
        std::string session;
        std::string request;
        int status;
    } searches[] = {
        {"unknown session", "0123", Signed(sessionText), 404},
        {"other content", session, Signed(sessionText + "x"), 400},
        {"broken signature", session, Signed(sessionText, true), 400},
        {"no Base64", session, "%%%%", 400},
        {"sound", session, Signed(sessionText), 200},
    };
    for (const auto& c : searches)
        EXPECT_EQ(Search(c.session, c.request), c.status) << c.name << ": " << lastBody;
    EXPECT_EQ(Member(lastBody, "toBeSigned"), kRegisterText);
    EXPECT_EQ(Member(lastBody, "GivenName"), "J\xC3\xB6rg");
    EXPECT_EQ(Member(lastBody, "Locality"), "");

    const struct
    {
        const char* name;
        std::string text;
        std::string signedData;
        int status;
    } downloads[] = {
        {"text in UTF-8", kRegisterText, Signed(kRegisterText), 400},
        {"signed other text", kRegisterCp1252, Signed(kRegisterText), 400},
        {"broken signature", kRegisterCp1252, Signed(kRegisterCp1252, true), 400},
        {"sound", kRegisterCp1252, Signed(kRegisterCp1252), 200},
    };
    for (const auto& c : downloads)
        EXPECT_EQ(Download(session, c.text, c.signedData), c.status) << c.name << ": " << lastBody;
    EXPECT_EQ(Member(lastBody, "InfoboxData"), "MIIB");
    EXPECT_EQ(Member(lastBody, "cin"), "471120240011");
}

TEST_F(ZmrServiceTest, ARegisterFromJsonAnswersBySignerAndMakesTheRecord)
{
    OnlineServicesSim::ZmrScenario scenario;
    std::string error;
    EXPECT_FALSE(
        OnlineServicesSim::ParseZmrScenario("{\"persons\": [{\"age\": 3}]}", scenario, error));
    EXPECT_EQ(error, "bad person member \"age\"");
    scenario = {};
    ASSERT_TRUE(OnlineServicesSim::ParseZmrScenario(R"({"sessionText": "Bitte \u00fcbernehmen",
        "persons": [
          {"commonName": "someone else", "cin": "1", "register": {"toBeSigned": "x"}},
          {"commonName": "localhost", "cin": "471120240000",
           "register": {"GivenName": "Lena", "FamilyName": "Hofbauer",
                        "DateOfBirth": "1960-01-10", "toBeSigned": "Stra\u00dfe"}}]})",
                                                    scenario, error))
        << error;
    OnlineServicesSim::AddZmrService(server, scenario);
    const std::string session = OpenSession();
    EXPECT_EQ(sessionText, "Bitte \xC3\xBC"
                           "bernehmen");
    ASSERT_EQ(Search(session, Signed(sessionText)), 200);
    EXPECT_EQ(Member(lastBody, "GivenName"), "Lena");
    ASSERT_EQ(Download(session,
                       "Stra\xDF"
                       "e",
                       Signed("Stra\xDF"
                              "e")),
              200);
    EXPECT_EQ(Member(lastBody, "cin"), "471120240000");
    // The record the service made is one the program's own parser reads.
    const ByteVector record = Base64().Decode(Member(lastBody, "InfoboxData"));
    ASSERT_GT(record.size(), 128u);
    EXPECT_EQ(record[0], 0x30);
    Personenbindung parsed;
    ASSERT_TRUE(parsed.parse(record));
    EXPECT_EQ(parsed.givenName + " " + parsed.familyName + " " + parsed.dateOfBirth,
              "Lena Hofbauer 1960-01-10");
}

} // namespace
