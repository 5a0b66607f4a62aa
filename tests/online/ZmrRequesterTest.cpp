// The identity-link road below the wizard: the requester against the simulated card module and
// the simulated server, which verifies every signed request itself.

#include "OnlineTestSupport.h"
#include "ZmrTestScenario.h"

#include "online/ZmrRequester.h"
#include "tests/token/SimFixture.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace
{
using QuendrySim::DialogAnswer;

bool Contains(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// What openssl's own CMS verification finds signed in a request (the chain is not checked).
std::string ContentVerifiedByOpenssl(const std::string& base64, const ScopedTempFolder& folder)
{
    const ByteVector der = Base64().Decode(base64);
    const std::string in = folder.File("request.der");
    const std::string out = folder.File("content.bin");
    std::ofstream(in, std::ios::binary)
        .write(reinterpret_cast<const char*>(der.data()), std::streamsize(der.size()));
    const std::string command = "openssl cms -verify -noverify -binary -inform DER -in " + in +
                                " -out " + out + " 2>/dev/null";
    if (std::system(command.c_str()) != 0)
        return "(not verified)";
    std::stringstream content;
    content << std::ifstream(out, std::ios::binary).rdbuf();
    return content.str();
}

class ZmrRequesterTest : public SimCards
{
protected:
    void SetUp() override
    {
        SimCards::SetUp();
        ASSERT_TRUE(server.StartPlain());
        OnlineServicesClient::SetBaseAddressForTesting(server.BaseUrl());
        original = env.Load();
        Start();
    }
    void TearDown() override
    {
        OnlineServicesClient::SetBaseAddressForTesting("");
        SimCards::TearDown();
    }

    std::string CinOf(int cardType) { return CardOfType(original, cardType).serial.substr(0, 12); }

    // The card of a type without an identity link, and a register that answers for it.
    void Prepare(int cardType)
    {
        ResetCard(original, cardType,
                  [](QuendrySim::Card& card)
                  {
                      // Without a link in the card set: the module's own rule keeps entry 1.
                      card.FindObject("PERSONENBINDUNG")->linked.clear();
                      card.FindObject("PERSONENBINDUNG")->value.clear();
                      if (QuendrySim::CardObject* entry = card.FindObject("0x01"))
                          entry->value.clear();
                  });
        OnlineServicesSim::AddZmrService(server, ZmrTest::Scenario(CinOf(cardType)));
    }

    // As the main window does for each command: the slot list read afresh, the card's index in it.
    std::unique_ptr<ZmrRequester> Requester(int cardType, const std::string& language = "DE")
    {
        EXPECT_TRUE(wrapper->GetSlots(slots, true));
        auto requester = std::make_unique<ZmrRequester>(language);
        requester->SetToken(wrapper.get());
        requester->SetSlotIndex(IndexOf(cardType));
        return requester;
    }

    ByteVector StoredLink(int cardType, const char* label = "PERSONENBINDUNG")
    {
        QuendrySim::CardSet set = env.Load();
        return CardOfType(set, cardType).FindObject(label)->value;
    }

    std::vector<std::string> Endpoints() const
    {
        std::vector<std::string> endpoints;
        for (const auto& request : server.Requests())
            endpoints.push_back(request.endpoint);
        return endpoints;
    }

    QuendrySim::CardSet original;
    OnlineServicesSim::LoopbackServer server;
    LogCapture log;
    ScopedTempFolder folder;
};

TEST_F(ZmrRequesterTest, WritesTheDownloadedRecordOnSha1AndSha256Cards)
{
    const struct
    {
        int cardType;
        const char* language;
        const char* digestLine;
        std::vector<std::string> pins; // search, download, login for the write
    } cases[] = {
        {0, "DE", "ZmrRequester: SHA1_WITH_RSA_ENCRYPTION", {"1234", "1234", "4321"}},
        {1, "EN", "ZmrRequester: SHA256_WITH_RSA_ENCRYPTION", {"1234", "1234", "1234"}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.cardType);
        Prepare(c.cardType);
        for (const std::string& pin : c.pins)
            Script({DialogAnswer::Enter({pin})});
        const size_t before = server.Requests().size();
        env.ClearCalls();
        log.Clear();

        const auto requester = Requester(c.cardType, c.language);
        ZmrSearchResult result;
        ASSERT_TRUE(requester->Search(result)) << ::testing::PrintToString(log.Lines());
        EXPECT_EQ(result.toBeSigned, ZmrTest::kRegisterTextWide);
        EXPECT_EQ(result.GivenName, L"J\u00F6rg");
        std::string cin;
        std::string link;
        ASSERT_TRUE(requester->GetInfobox(result.toBeSigned, cin, link));
        EXPECT_EQ(cin, CinOf(c.cardType));
        const auto writer = Requester(c.cardType);
        ASSERT_TRUE(writer->DoWriteInfobox(cin, link));

        EXPECT_EQ(StoredLink(c.cardType), ZmrTest::IdentityRecord());
        const auto requests = server.Requests();
        ASSERT_EQ(requests.size(), before + 3);
        EXPECT_EQ(requests[before].body, std::string("{\n    \"lang\": \"") + c.language + "\"\n}");
        // The server answered each signed request only after verifying it; openssl agrees.
        const std::string sessionText = OnlineServicesSim::ZmrScenario().sessionText;
        EXPECT_EQ(
            ContentVerifiedByOpenssl(Member(requests[before + 1].body, "ZmrSearchReq"), folder),
            sessionText);
        const std::string sentText = Member(requests[before + 2].body, "ToBeSignedData");
        EXPECT_EQ(sentText, "Name: J\xF6rg Wei\xDF, geboren am 01.02.1970 in Sankt P\xF6lten\n"
                            "Meldeadresse: Hauptstra\xDF"
                            "e 5/2/7, 1010 Wien\nStammzahl & Personenbindung f\xFCr die Karte");
        EXPECT_EQ(ContentVerifiedByOpenssl(Member(requests[before + 2].body, "SignedData"), folder),
                  sentText);
        for (const auto& request : server.Requests())
            EXPECT_NE(request.requestLine.find("HTTP/1.1"), std::string::npos);
        const auto messages = log.At("MESSAGE");
        EXPECT_EQ(std::count(messages.begin(), messages.end(), LogLine{"MESSAGE", c.digestLine}),
                  2);
        EXPECT_TRUE(log.Errors().empty()) << log.Errors().front();
        // The card is reset inside a session of its own after the write.
        const auto resets = CallsOf("C_CardAttribute");
        ASSERT_EQ(resets.size(), 1u);
        EXPECT_EQ(resets[0].Field("name"), "Reset");
        EXPECT_EQ(resets[0].rv, 0u);
    }
    // The card with the container shows the new link in its entry 1 as well.
    EXPECT_EQ(StoredLink(1, "0x01"), ZmrTest::IdentityRecord());
}

TEST_F(ZmrRequesterTest, ACancelledPinSendsNoSearchAndClosesTheSessionOnce)
{
    Prepare(1);
    Script({DialogAnswer::Cancel()});
    env.ClearCalls();
    ZmrSearchResult result;
    EXPECT_FALSE(Requester(1)->Search(result));
    EXPECT_EQ(Endpoints(), (std::vector<std::string>{"ZmrSession"}));
    EXPECT_TRUE(Contains(log.Errors(), "ZmrRequester: Fehler beim Signieren"));
    EXPECT_EQ(CallsOf("C_OpenSession").size(), 1u);
    ASSERT_EQ(CallsOf("C_CloseSession").size(), 1u);
    EXPECT_EQ(CallsOf("C_CloseSession")[0].rv, 0u);
}

TEST_F(ZmrRequesterTest, AShownTextWindows1252LacksIsRefusedBeforeAnythingIsSigned)
{
    std::string cin;
    std::string link;
    EXPECT_FALSE(Requester(1)->GetInfobox(ZmrTest::kRegisterTextWide, cin, link));
    EXPECT_TRUE(Contains(log.Errors(), "No server session"));

    Prepare(1);
    Script({DialogAnswer::Enter({"1234"}), DialogAnswer::Enter({"1234"})});
    const auto requester = Requester(1);
    ZmrSearchResult result;
    ASSERT_TRUE(requester->Search(result));
    env.ClearCalls();
    log.Clear();
    EXPECT_FALSE(requester->GetInfobox(result.toBeSigned + L" \u0100", cin, link));
    EXPECT_TRUE(CallsOf("C_Sign").empty());
    EXPECT_EQ(Endpoints(), (std::vector<std::string>{"ZmrSession", "ZmrSession/ZmrSearch"}));
    EXPECT_TRUE(Contains(log.Errors(), "GetInfobox FAILED"));
    EXPECT_EQ(log.Lines().back(), (LogLine{"MESSAGE", "*** End GetInfobox request ***"}));
}

TEST_F(ZmrRequesterTest, AWriteTakesExactlyTheSentRecordForItsOwnCardOrChangesNothing)
{
    Prepare(1);
    // The ACOS 05 card's number becomes the ACOS 04 card's with its last character changed.
    std::string neighbour = CinOf(1);
    neighbour.back() = neighbour.back() == '9' ? '0' : static_cast<char>(neighbour.back() + 1);
    EditCards([this, &neighbour](QuendrySim::CardSet& set)
              { CardOfType(set, 2).serial = neighbour + CardOfType(set, 2).serial.substr(12); });
    // 204 bytes: no padding, so every character cut from the text takes data with it. The whole
    // text is written first: the card's value that every refused write must leave.
    ByteVector record = ZmrTest::IdentityRecord();
    record[2] += 1;
    record.push_back(0x42);
    const std::string text = ZmrTest::Base64Of(record);
    Script({DialogAnswer::Enter({"1234"})});
    ASSERT_TRUE(Requester(1)->DoWriteInfobox(CinOf(1), text));
    const auto cut = [](const std::string& whole, size_t characters)
    { return whole.substr(0, whole.size() - characters); };
    const auto appended = [&record](size_t bytes)
    {
        ByteVector longer = record;
        longer.resize(record.size() + bytes, 0x00);
        return ZmrTest::Base64Of(longer);
    };
    // 202 bytes ending in a date, so its text ends in "==": cut by three characters it decodes to
    // 202 bytes again, with the date's last digit changed.
    ByteVector dated = ZmrTest::IdentityRecord();
    dated[2] -= 1;
    dated.pop_back();
    const std::string date = "2000-02-29";
    std::copy(date.begin(), date.end(), dated.end() - static_cast<long>(date.size()));
    const std::string datedText = ZmrTest::Base64Of(dated);
    std::string datedLines;
    for (size_t i = 0; i < datedText.size(); i += 64)
        datedLines += datedText.substr(i, 64) + "\r\n";
    // Two texts in a row: the decoder joins them into 202 bytes, garbled after the fourth.
    const std::string paddedInside =
        ZmrTest::Base64Of(ByteVector(dated.begin(), dated.begin() + 4)) +
        ZmrTest::Base64Of(ByteVector(dated.begin() + 4, dated.end()));
    // The refused rows first: each must leave the first record on the card.
    const struct
    {
        const char* name;
        std::string cin;
        std::string link;
        bool written;
    } cases[] = {
        {"another card, its number one character off", neighbour, text, false},
        {"no Base64", CinOf(1), text + "!", false},
        {"cut by one character", CinOf(1), cut(text, 1), false},
        {"cut by two characters", CinOf(1), cut(text, 2), false},
        {"cut by three characters", CinOf(1), cut(text, 3), false},
        {"cut by one group", CinOf(1), cut(text, 4), false},
        {"cut by five groups", CinOf(1), cut(text, 20), false},
        {"one byte appended", CinOf(1), appended(1), false},
        {"three bytes appended", CinOf(1), appended(3), false},
        {"202 bytes cut by three characters", CinOf(1), cut(datedText, 3), false},
        {"padding inside the text", CinOf(1), paddedInside, false},
        {"202 bytes in lines", CinOf(1), datedLines, true},
        {"202 bytes cut by one character", CinOf(1), cut(datedText, 1), true},
        {"202 bytes cut by two characters", CinOf(1), cut(datedText, 2), true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Script({DialogAnswer::Enter({"1234"})});
        env.ClearCalls();
        log.Clear();
        EXPECT_EQ(Requester(1)->DoWriteInfobox(c.cin, c.link), c.written);
        EXPECT_EQ(Contains(log.Errors(), "writeInfobox FAILED"), !c.written);
        EXPECT_EQ(CallsOf("C_Login").size(), c.written ? 1u : 0u);
        EXPECT_EQ(CallsOf("C_SetAttributeValue").size(), c.written ? 1u : 0u);
        EXPECT_EQ(StoredLink(1), c.written ? dated : record);
        EXPECT_TRUE(StoredLink(2).size() > 0) << "the other card keeps its link";
    }
}
} // namespace
