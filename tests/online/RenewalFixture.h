#pragma once

// A renewal against both simulators: the simulated card module through the token wrapper and the
// simulated online services with their renewal service, over a real socket.

#include "OnlineTestSupport.h"

#include "online/CertUpdater.h"
#include "online/ZmrRequester.h"
#include "sim/onlineservices/LoopbackServer.h"
#include "sim/onlineservices/RenewalService.h"
#include "tests/token/SimFixture.h"

#include <memory>
#include <string>

constexpr int kCardOsType = 7;

// The client's side of a renewal; the test points the client at the online services.
class RenewalCards : public SimCards
{
protected:
    void SetUp() override
    {
        SimCards::SetUp();
        // The ACOS renewal reads its registry setting from the test's own store.
        setenv("QUENDRY_REGISTRY_DIR", env.Folder().c_str(), 1);
        original = env.Load();
        Start();
    }
    void TearDown() override
    {
        unsetenv("QUENDRY_REGISTRY_DIR");
        OnlineServicesClient::SetBaseAddressForTesting("");
        SimCards::TearDown();
    }

    // The whole run as the renewal command makes it, by the card's family.
    bool RunUpdater(int cardType)
    {
        CertUpdater updater;
        OpenCard(cardType);
        EXPECT_TRUE(wrapper->GetCinCsn(cardIdentifier));
        updater.SetToken(wrapper.get(), IndexOf(cardType));
        bool newEnc = false;
        bool newSig = false;
        bool ok = updater.checkforupdate(cardType, cardIdentifier.substr(0, 12),
                                         cardIdentifier.substr(12), "11", "22", newEnc, newSig);
        ok = ok && (cardType == kCardOsType ? updater.UpdateCardOS(newEnc, newSig)
                                            : updater.UpdateAcos(newEnc, newSig));
        wrapper->CloseSession();
        // A write by card identification reads the slot list afresh.
        EXPECT_TRUE(wrapper->GetSlots(slots, true));
        return ok;
    }

    // The identity-link wizard's search, download and write, each signature with the card's
    // PIN; link is what was downloaded.
    void TakeIdentityLink(int cardType, std::string& link)
    {
        Script({QuendrySim::DialogAnswer::Enter({"1234"}),
                QuendrySim::DialogAnswer::Enter({"1234"}),
                QuendrySim::DialogAnswer::Enter({"1234"})});
        ZmrRequester requester("DE");
        requester.SetToken(wrapper.get());
        requester.SetSlotIndex(IndexOf(cardType));
        ZmrSearchResult result;
        std::string cin;
        ASSERT_TRUE(requester.Search(result)) << ::testing::PrintToString(log.Lines());
        ASSERT_TRUE(requester.GetInfobox(result.toBeSigned, cin, link));
        EXPECT_TRUE(requester.DoWriteInfobox(cin, link));
        // The write read the slot list afresh.
        ASSERT_TRUE(wrapper->GetSlots(slots, true));
    }

    LogCapture log;
    QuendrySim::CardSet original;
    std::string cardIdentifier;
};

class RenewalFixture : public RenewalCards
{
protected:
    static void SetUpTestSuite()
    {
        pki = std::make_unique<OnlineServicesSim::TestPki>();
        ASSERT_TRUE(OnlineServicesSim::MakeRsaCa("Quendry Renewal CA", *pki));
    }
    static void TearDownTestSuite() { pki.reset(); }

    void SetUp() override
    {
        RenewalCards::SetUp();
        service = std::make_unique<OnlineServicesSim::RenewalService>(*pki);
        service->Install(server);
        ASSERT_TRUE(server.StartPlain());
        OnlineServicesClient::SetBaseAddressForTesting(server.BaseUrl());
    }

    // Opens a session on the CardOS card, reads its identifier as the renewal command does and
    // gives the updater the wrapper.
    void OpenCardOs(CertUpdater& updater)
    {
        OpenCard(kCardOsType);
        ASSERT_TRUE(wrapper->GetCinCsn(cardIdentifier));
        updater.SetToken(wrapper.get(), IndexOf(kCardOsType));
    }

    // The run with the in-process service answering as the scenario says.
    bool Renew(const OnlineServicesSim::RenewalScenario& scenario, int cardType = kCardOsType)
    {
        service->SetScenario(scenario);
        return RunUpdater(cardType);
    }

    QuendrySim::Card CardNow()
    {
        QuendrySim::CardSet set = env.Load();
        return CardOfType(set, kCardOsType);
    }
    QuendrySim::Card& OriginalCard() { return CardOfType(original, kCardOsType); }

    static std::unique_ptr<OnlineServicesSim::TestPki> pki;
    OnlineServicesSim::LoopbackServer server;
    std::unique_ptr<OnlineServicesSim::RenewalService> service;
};

inline std::unique_ptr<OnlineServicesSim::TestPki> RenewalFixture::pki;
