// "Zertifikate ersetzen" in the real main window against the simulated card module and the
// simulated server's renewal service over a real socket.
#include "tests/ui/FrameFixture.h"

#include "online/OnlineServicesClient.h"
#include "sim/cardmodule/cardset/OpenSsl.h"
#include "sim/onlineservices/LoopbackServer.h"
#include "sim/onlineservices/RenewalService.h"
#include "ui/WindowIds.h"

#include <openssl/bn.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

namespace
{
using OnlineServicesSim::RenewalFault;
using OnlineServicesSim::RenewalScenario;

const char* const Renewed = "Information: Update Erfolgreich";
const char* const Failed = "Fehler: Update Fehlgeschlagen";
const char* const NoUpdate = "Information: Es sind keine Updates verf\xC3\xBC"
                             "gbar";

// The certificate with another serial number (hexadecimal), signed again by a key of no one,
// which the command does not look at.
ByteVector WithSerial(const ByteVector& der, const char* serialHex)
{
    QuendrySim::OpenSslPtr<X509> certificate = QuendrySim::DecodeCertificate(der);
    BIGNUM* number = nullptr;
    BN_hex2bn(&number, serialHex);
    QuendrySim::OpenSslPtr<BIGNUM> owned(number);
    BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate.get()));
    QuendrySim::OpenSslPtr<EVP_PKEY> signer(EVP_EC_gen("P-256"));
    X509_sign(certificate.get(), signer.get(), EVP_sha256());
    return QuendrySim::Encoded([&](unsigned char** out)
                               { return i2d_X509(certificate.get(), out); });
}

// Answers each message box with OK and records "Caption: message", its icon and what the
// window showed meanwhile.
class BoxWatch : public wxModalDialogHook
{
public:
    explicit BoxWatch(std::function<void()> whileShown) : whileShown(std::move(whileShown))
    {
        Register();
    }
    ~BoxWatch() override { Unregister(); }
    std::vector<std::string> seen;
    long style = 0;

protected:
    int Enter(wxDialog* dialog) override
    {
        auto* box = dynamic_cast<wxMessageDialogBase*>(dialog);
        if (box == nullptr)
        {
            ADD_FAILURE() << "unexpected dialog " << dialog->GetTitle();
            return wxID_CANCEL;
        }
        seen.push_back((box->GetTitle() + ": " + box->GetMessage()).utf8_string());
        style = box->GetMessageDialogStyle();
        whileShown();
        return wxID_OK;
    }
    void Exit(wxDialog*) override {}

private:
    std::function<void()> whileShown;
};

class RenewalCommandTest : public FrameFixture
{
protected:
    static void SetUpTestSuite()
    {
        pki = std::make_unique<OnlineServicesSim::TestPki>();
        ASSERT_TRUE(OnlineServicesSim::MakeRsaCa("Quendry Renewal CA", *pki));
        QuendrySim::OpenSslPtr<EVP_PKEY> key(EVP_RSA_gen(1536));
        QuendrySim::OpenSslPtr<PKCS8_PRIV_KEY_INFO> info(EVP_PKEY2PKCS8(key.get()));
        encryptionKey = QuendrySim::Encoded([&](unsigned char** out)
                                            { return i2d_PKCS8_PRIV_KEY_INFO(info.get(), out); });
    }
    static void TearDownTestSuite() { pki.reset(); }

    void SetUp() override
    {
        FrameFixture::SetUp();
        service = std::make_unique<OnlineServicesSim::RenewalService>(*pki);
        service->Install(server);
        ASSERT_TRUE(server.StartPlain());
        OnlineServicesClient::SetBaseAddressForTesting(server.BaseUrl());
        KeepCardTypes({1, 2, 7});
        OpenFrame();
    }
    void TearDown() override
    {
        FrameFixture::TearDown();
        OnlineServicesClient::SetBaseAddressForTesting("");
    }

    // Presses the command for the card of the type; what the user saw.
    std::vector<std::string> Renew(int cardType, RenewalScenario scenario, BoxWatch& watch)
    {
        scenario.acosEncryptionKey = encryptionKey;
        service->SetScenario(scenario);
        SelectRow(RowOfType(cardType));
        Press(ID_UPDATE_CERTIFICATES);
        EXPECT_FALSE(wxIsBusy() && !frame->IsRefreshing());
        return watch.seen;
    }

    std::string Holder(int cardType) const
    {
        return frame->CardList()->GetItemText(RowOfType(cardType), 1).utf8_string();
    }

    // What the demo's server knows: each card of the set by its number, in its holder's name.
    std::map<std::string, std::string> RegisterOfCards() const
    {
        std::map<std::string, std::string> holders;
        for (const QuendrySim::Slot& slot : cards.slots)
        {
            if (slot.card)
                holders[slot.card->serial.substr(0, 12)] = Holder(slot.card->cardType);
        }
        return holders;
    }

    // What a renewal writes: the value and key of each object of the card.
    std::vector<ByteVector> Contents(int cardType)
    {
        std::vector<ByteVector> contents;
        for (const QuendrySim::Slot& slot : sim.Load().slots)
        {
            if (!slot.card || slot.card->cardType != cardType)
                continue;
            for (const QuendrySim::CardObject& object : slot.card->objects)
            {
                contents.push_back(object.value);
                contents.push_back(object.key);
            }
        }
        return contents;
    }

    // The body of the last request, without blanks.
    std::string LastBody() const
    {
        std::string body = server.Requests().back().body;
        body.erase(std::remove_if(body.begin(), body.end(), ::isspace), body.end());
        return body;
    }

    static std::unique_ptr<OnlineServicesSim::TestPki> pki;
    static ByteVector encryptionKey;
    OnlineServicesSim::LoopbackServer server;
    std::unique_ptr<OnlineServicesSim::RenewalService> service;
};

std::unique_ptr<OnlineServicesSim::TestPki> RenewalCommandTest::pki;
ByteVector RenewalCommandTest::encryptionKey;

TEST_F(RenewalCommandTest, EachOutcomeShowsItsBoxAndOnlyASuccessReloadsTheList)
{
    struct Case
    {
        const char* name;
        int cardType;
        bool updateFound;
        std::string faultStep;
        const char* box;
        long icon;
        // The card's first transmission fails once, so the command sends an empty card number,
        // to a server that knows the cards by number as the demo's does.
        bool cardReadFails = false;
    } const cases[] = {
        {"type 1 renewed", 1, true, "", Renewed, wxICON_INFORMATION},
        {"type 2 renewed", 2, true, "", Renewed, wxICON_INFORMATION},
        {"type 7 renewed", 7, true, "", Renewed, wxICON_INFORMATION},
        {"no update", 1, false, "", NoUpdate, wxICON_INFORMATION},
        {"check failed", 2, true, "CertUpdate", Failed, wxICON_ERROR},
        {"run failed", 1, true, "Acos2", Failed, wxICON_ERROR},
        {"card read failed", 7, true, "", NoUpdate, wxICON_INFORMATION, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const bool renewed = c.box == Renewed;
        cards = sim.Load();
        cards.faults.clear();
        if (c.cardReadFails)
            cards.faults.push_back({"C_CardTransmit", CKR_DEVICE_ERROR, 0, 1});
        SaveCards();
        // The reload's start of the module waits on the worker until the test lets it go on.
        if (renewed)
            HoldNextCall("C_Initialize");
        const std::string holderBefore = Holder(c.cardType);
        const std::vector<ByteVector> contentsBefore = Contents(c.cardType);
        bool reloadingWhileShown = false;
        BoxWatch watch(
            [&]
            {
                reloadingWhileShown = frame->IsRefreshing() && ControlsNotIn(false).empty() &&
                                      frame->PleaseWaitBox()->IsShown();
            });
        RenewalScenario scenario;
        scenario.certUpdateFound = c.updateFound;
        if (!c.faultStep.empty())
            scenario.faults[c.faultStep] = {RenewalFault::Status, ""};
        if (c.cardReadFails)
            scenario.holderByCin = RegisterOfCards();
        EXPECT_EQ(Renew(c.cardType, scenario, watch), std::vector<std::string>{c.box});
        EXPECT_EQ(LastBody().find(R"("cin":"","csn":"")") != std::string::npos, c.cardReadFails)
            << LastBody();
        EXPECT_EQ(watch.style & (wxICON_ERROR | wxICON_INFORMATION), c.icon);
        EXPECT_EQ(reloadingWhileShown, renewed);
        // The controls stay disabled and the box shown until the reload is done.
        EXPECT_EQ(frame->IsRefreshing(), renewed);
        if (frame->IsRefreshing())
        {
            EXPECT_TRUE(ControlsNotIn(false).empty());
            EXPECT_TRUE(frame->PleaseWaitBox()->IsShown());
        }
        OpenGate();
        ASSERT_TRUE(WaitForRefresh());
        EXPECT_TRUE(frame->FindWindow(ID_RELOAD_CARDS)->IsEnabled());
        EXPECT_TRUE(frame->CardList()->IsEnabled());
        EXPECT_TRUE(frame->IsEnabled());
        EXPECT_FALSE(frame->PleaseWaitBox()->IsShown());
        EXPECT_EQ(Holder(c.cardType), renewed ? "Quendry Renewed Holder" : holderBefore);
        EXPECT_EQ(Contents(c.cardType) == contentsBefore, !renewed) << "the card written";
    }
}

TEST_F(RenewalCommandTest, SendsTheSerialsInDecimalAndTheCardIdentifierSplit)
{
    struct Case
    {
        const char* name;
        const char* sigSerial; // hexadecimal, or null: no signature certificate
        const char* encSerial;
        const char* sentSig;
        const char* sentEnc;
    } const cases[] = {
        {"small serials", "1A2B", "7FFFFFFF", "6699", "2147483647"},
        {"large serials saturate", "80000000", "0102030405060708090A0B0C0D0E0F10", "2147483647",
         "2147483647"},
        {"no signature certificate", nullptr, "1A2B", "", "6699"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        cards = sim.Load();
        QuendrySim::Card& card = *cards.slots[1].card;
        auto& objects = card.objects;
        QuendrySim::CardObject* encryption = card.FindObject("C.CH.EKEY");
        encryption->value = WithSerial(encryption->value, c.encSerial);
        if (c.sigSerial)
        {
            QuendrySim::CardObject* signature = card.FindObject("C.CH.SIG");
            signature->value = WithSerial(signature->value, c.sigSerial);
        }
        else
            objects.erase(std::find_if(objects.begin(), objects.end(),
                                       [](const auto& o) { return o.label == "C.CH.SIG"; }));
        SaveCards();
        BoxWatch watch([] {});
        RenewalScenario scenario;
        scenario.certUpdateFound = false;
        EXPECT_EQ(Renew(2, scenario, watch), std::vector<std::string>{NoUpdate});
        const std::string body = LastBody();
        const std::string serial = card.serial;
        for (const std::string& member :
             {std::string("\"cardType\":2"), "\"cin\":\"" + serial.substr(0, 12) + "\"",
              "\"csn\":\"" + serial.substr(12) + "\"",
              std::string("\"encSerial\":\"") + c.sentEnc + "\"",
              std::string("\"sigSerial\":\"") + c.sentSig + "\""})
            EXPECT_NE(body.find(member), std::string::npos) << member << " in " << body;
        ASSERT_TRUE(WaitForRefresh());
    }
}
} // namespace
