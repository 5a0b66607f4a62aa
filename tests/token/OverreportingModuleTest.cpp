// The wrapper against a module that reports more than the buffers it was given can hold: every
// count and length is cut to the buffer, so nothing is read past it (the sanitizer build would
// stop at any such read), and an absent function is never reached through another call.
#include "TestCrypto.h"

#include "platform/SharedModule.h"
#include "token/acPKCS11.h"

#include <gtest/gtest.h>

using namespace Corvane;

namespace
{
class OverreportingModule : public ::testing::Test
{
protected:
    void SetUp() override
    {
        acPKCS11::SetModuleFile(QUENDRY_OVERREPORTING_MODULE);
        wrapper = std::make_unique<acPKCS11>();
        // The same file again: the wrapper's module, with its call counter.
        ASSERT_TRUE(counter.Load(QUENDRY_OVERREPORTING_MODULE));
        calls = reinterpret_cast<int (*)()>(counter.Symbol("quendry_overreport_calls"));
        sessions = reinterpret_cast<int (*)()>(counter.Symbol("quendry_overreport_sessions"));
        ASSERT_NE(calls, nullptr);
        ASSERT_NE(sessions, nullptr);
        ASSERT_TRUE(wrapper->GetSlots(slots, true));
    }

    void TearDown() override
    {
        wrapper->CloseSession();
        wrapper->Destroy();
        acPKCS11::SetModuleFile("");
    }

    platform::SharedModule counter;
    int (*calls)() = nullptr;
    int (*sessions)() = nullptr;
    std::unique_ptr<acPKCS11> wrapper;
    std::vector<TokenSlot*> slots;
};
} // namespace

TEST_F(OverreportingModule, CountsAndLengthsAreCutToTheBuffers)
{
    ASSERT_EQ(slots.size(), 2u) << "slot ids beyond the count asked for";
    EXPECT_EQ(slots[1]->tokenSerial, "2222222222220002");
    ASSERT_TRUE(wrapper->OpenSession(0));

    CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
    CK_ATTRIBUTE search[] = {{CKA_CLASS, &certificateClass, sizeof certificateClass}};
    CK_OBJECT_HANDLE objects[3] = {};
    CK_ULONG found = 0;
    ASSERT_TRUE(wrapper->FindObjects(search, 1, objects, 3, found));
    EXPECT_EQ(found, 3u);

    EXPECT_FALSE(wrapper->ReadCertificate(true)) << "the pattern is no certificate";
    EXPECT_EQ(wrapper->CertificateBytes().size(), 5012u);

    ByteVector signature;
    ASSERT_TRUE(wrapper->Sign("C.CH.SIG", ByteVector(32, 0x01), signature));
    EXPECT_EQ(signature.size(), 16u) << "the length the query announced";

    ByteVector response;
    ASSERT_TRUE(wrapper->SendAPDU({0x00, 0xB0, 0x00, 0x00, 0x00}, response));
    EXPECT_EQ(response.size(), 4096u);
    unsigned char small[10];
    uint32_t capacity = sizeof small;
    ASSERT_TRUE(wrapper->Transmit(response.data(), 5, small, capacity));
    EXPECT_EQ(capacity, 10u);

    EXPECT_EQ(wrapper->GetATR(true).size(), 2u * 1024u);
    EXPECT_EQ(wrapper->Reset().size(), 2u * 256u);
}

TEST_F(OverreportingModule, AbsentFunctionsAreNeverReachedThroughOthers)
{
    ASSERT_TRUE(wrapper->OpenSession(0));
    const int before = calls();
    for (int target : {PIN_TARGET_SIGNATURE, PIN_TARGET_ENCRYPTION, PIN_TARGET_INFOBOX})
    {
        EXPECT_EQ(wrapper->ChangePIN(target), PIN_RESULT_OTHER) << target;
        EXPECT_EQ(wrapper->UnblockPIN(target), PIN_RESULT_OTHER) << target;
    }
    EXPECT_FALSE(wrapper->Verify("PK.CH.SIG", ByteVector(16), ByteVector(16)));
    ByteVector output;
    EXPECT_EQ(wrapper->Register(0, nullptr, output), -1);
    EXPECT_EQ(calls(), before) << "no search for an object that cannot be changed";
}

TEST_F(OverreportingModule, IdentityLinkWriteWithoutTheWriteFunctionAsksForNoPin)
{
    ByteVector link = tokentest::IdentityRecord(128);
    std::string message;
    const int before = sessions();
    EXPECT_FALSE(wrapper->WritePersonenbindung("111111111111", link, message));
    EXPECT_EQ(message, "Fehler beim modifizieren des Kartenobjektes. (C_SetAttributeValue)");
    EXPECT_EQ(sessions(), before) << "no session, so no login";
    // The card and the data are judged first, as with any module.
    EXPECT_FALSE(wrapper->WritePersonenbindung("333333333333", link, message));
    EXPECT_EQ(message, "Keine Smartcard gefunden für CIN=333333333333");
    link[0] = 0x31;
    EXPECT_FALSE(wrapper->WritePersonenbindung("111111111111", link, message));
    EXPECT_EQ(message, "Falsche Update Daten für die Smartcard");
}
