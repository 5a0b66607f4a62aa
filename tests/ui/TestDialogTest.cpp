// The test-signature dialog on the simulated card: opened from the main window, run modally,
// signing and verifying with each kind of key the cards have, and its failures.
#include "ui/TestDialog.h"
#include "core/codec/Base64.h"
#include "sim/cardmodule/cardset/OpenSsl.h"
#include "tests/ui/FrameFixture.h"
#include "tests/ui/ModalScript.h"
#include "ui/WindowIds.h"

#include <openssl/rsa.h>

namespace
{
using GuiTest::Click;
using QuendrySim::DialogAnswer;
using QuendrySim::OpenSslPtr;

// Umlauts, sharp s and the euro sign: their Windows-1252 bytes differ from UTF-8 and Latin-1.
const wchar_t* const UmlautText = L"Gr\u00fc\u00dfe, 5 \u20ac\n\u00c4rger";
const std::string UmlautBytes = "Gr\xfc\xdf"
                                "e, 5 \x80\n\xc4rger";

wxString Status(const TestDialog& dialog)
{
    return dialog.StatusText()->IsShown() ? dialog.StatusText()->GetLabel() : wxString();
}

bool StatusIsError(const TestDialog& dialog)
{
    const wxImage picture = dialog.StatusPicture()->GetBitmap().ConvertToImage();
    return picture.GetRed(16, 4) > picture.GetGreen(16, 4);
}

std::vector<std::string> HashOffers(const TestDialog& dialog)
{
    std::vector<std::string> offers;
    for (const wxString& offer : dialog.HashChoice()->GetStrings())
        offers.push_back(offer.ToStdString());
    return offers;
}

ByteVector DigestOf(const std::string& bytes, const std::string& hashName)
{
    ByteVector digest(EVP_MAX_MD_SIZE);
    size_t length = 0;
    EVP_Q_digest(nullptr, hashName.c_str(), nullptr, bytes.data(), bytes.size(), digest.data(),
                 &length);
    digest.resize(length);
    return digest;
}

// Whether the RSA signature holds exactly that input (no DigestInfo), for the card's public key.
bool RsaSignedExactly(const ByteVector& publicKeyInfo, const ByteVector& input,
                      const ByteVector& signature)
{
    const unsigned char* p = publicKeyInfo.data();
    OpenSslPtr<EVP_PKEY> key(d2i_PUBKEY(nullptr, &p, static_cast<long>(publicKeyInfo.size())));
    OpenSslPtr<EVP_PKEY_CTX> context(EVP_PKEY_CTX_new(key.get(), nullptr));
    return context && EVP_PKEY_verify_init(context.get()) > 0 &&
           EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) > 0 &&
           EVP_PKEY_verify(context.get(), signature.data(), signature.size(), input.data(),
                           input.size()) == 1;
}

class TestDialogTest : public FrameFixture
{
protected:
    // Presses the button of the selected card and plays the script in the dialog it opens, which
    // shows with the signing button focused and ends with 0 on closing.
    void RunFromButton(int button, const std::function<void(TestDialog&)>& script)
    {
        GuiTest::ModalScript modal(
            [&script](wxDialog* dialog)
            {
                auto* testDialog = dynamic_cast<TestDialog*>(dialog);
                ASSERT_NE(testDialog, nullptr);
                EXPECT_TRUE(testDialog->IsShown());
                EXPECT_EQ(testDialog->GetSize().x, 600);
                EXPECT_GE(testDialog->GetSize().y, 350);
                EXPECT_TRUE(GuiTest::WaitUntil(
                    [dialog]
                    { return wxWindow::FindFocus() == dialog->FindWindow(ID_TEST_DIALOG_SIGN); },
                    3000));
                script(*testDialog);
                Click(testDialog, ID_TEST_DIALOG_CLOSE);
                EXPECT_FALSE(StillOpen(testDialog));
                EXPECT_EQ(testDialog->GetReturnCode(), 0);
            });
        Press(button);
        EXPECT_EQ(modal.Runs(), 1);
    }

    void QueuePin(const std::string& pinName, int times)
    {
        cards = sim.Load();
        const std::string pin = cards.slots[0].card->FindPin(pinName)->value;
        cards.dialog.assign(times, DialogAnswer::Enter({pin}));
        SaveCards();
    }

    void ExpectStatus(const TestDialog& dialog, const char* text, bool error)
    {
        EXPECT_EQ(Status(dialog), wxString::FromUTF8(text));
        EXPECT_EQ(StatusIsError(dialog), error);
        EXPECT_EQ(frame->Token()->CurrentSlotIndex(), -1) << "session left open";
    }
};
} // namespace

TEST_F(TestDialogTest, SignsAndVerifiesWithEachKeyTheCardsHave)
{
    const struct
    {
        int cardType;
        int button;
        const char* algorithm;
        std::vector<std::string> offers;          // none: the key is too short for every hash
    } cases[] = {{0, ID_TEST_SIG_KEY, "ECC", {}}, // a 192-bit curve
                 {1, ID_TEST_ENC_KEY, "RSA", {"SHA-256"}},
                 {7, ID_TEST_ENC_KEY, "RSA", {"SHA-256", "SHA-384", "SHA-512"}},
                 {7, ID_TEST_SIG_KEY, "ECC", {"SHA-256"}}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.cardType) + " " + c.algorithm);
        const bool signatureKey = c.button == ID_TEST_SIG_KEY;
        KeepCardTypes({c.cardType});
        OpenFrame();
        QueuePin(signatureKey ? "SIG" : "ENC", c.offers.empty() ? 0 : 2);
        RunFromButton(
            c.button,
            [&](TestDialog& dialog)
            {
                EXPECT_EQ(dialog.GetTitle(),
                          wxString::FromUTF8(
                              signatureKey
                                  ? "Unterschriftentest mit Signaturschlüssel (6-stellige PIN)"
                                  : "Unterschriftentest mit Geheimhaltungsschlüssel (4-stellige "
                                    "PIN)"));
                EXPECT_EQ(dialog.AlgorithmLabel()->GetLabel(), c.algorithm);
                EXPECT_EQ(HashOffers(dialog), c.offers);
                const int last = static_cast<int>(c.offers.size()) - 1;
                EXPECT_EQ(dialog.HashChoice()->GetSelection(), last < 0 ? wxNOT_FOUND : 0);
                if (last < 0)
                {
                    Click(&dialog, ID_TEST_DIALOG_SIGN);
                    ExpectStatus(dialog, "Ungültiger Hashwert ausgewählt", true);
                    EXPECT_EQ(CallsOf("C_SignInit"), 0);
                    return;
                }
                dialog.HashChoice()->SetSelection(last);
                dialog.TestText()->SetValue(UmlautText);

                Click(&dialog, ID_TEST_DIALOG_SIGN);
                ExpectStatus(dialog, "Signatur erfolgreich!", false);
                const wxString signature = dialog.SignatureText()->GetValue();
                ByteVector signatureBytes;
                ASSERT_GT(Base64Decode(signature.ToStdString(), signatureBytes), 0u);
                if (!signatureKey) // the RSA keys: the digest is checked inside the signature
                {
                    EXPECT_TRUE(RsaSignedExactly(cards.slots[0].card->FindObject("PK.CH.EKEY")->key,
                                                 DigestOf(UmlautBytes, c.offers.back()),
                                                 signatureBytes));
                    Click(&dialog, ID_TEST_DIALOG_SIGN);
                    EXPECT_EQ(dialog.SignatureText()->GetValue(), signature);
                }

                Click(&dialog, ID_TEST_DIALOG_VERIFY);
                ExpectStatus(dialog, "Signaturprüfung erfolgreich!", false);
                dialog.TestText()->AppendText(".");
                Click(&dialog, ID_TEST_DIALOG_VERIFY);
                ExpectStatus(dialog, "Fehler beim Verifizieren der Signatur", true);
            });
        CloseFrame();
    }
}

TEST_F(TestDialogTest, FailuresAreShownAndTheDialogStaysOpenForTheNextTry)
{
    KeepCardTypes({1});
    OpenFrame();
    const struct
    {
        const char* name;
        int button;
        const wchar_t* text; // null: the default text
        bool cancelPin;
        const char* failing; // a module function that fails once
        const char* status;
    } cases[] = {
        {"verify unsigned", ID_TEST_DIALOG_VERIFY, nullptr, false, nullptr,
         "Fehler beim Verifizieren der Signatur"},
        {"PIN cancelled", ID_TEST_DIALOG_SIGN, nullptr, true, nullptr, "Fehler beim Signieren"},
        {"no session", ID_TEST_DIALOG_SIGN, nullptr, false, "C_OpenSession",
         "Fehler beim Aufbau der Verbindung zur Karte"},
        {"no session to verify", ID_TEST_DIALOG_VERIFY, nullptr, false, "C_OpenSession",
         "Fehler beim Aufbau der Verbindung zur Karte"},
        {"no Windows-1252 form", ID_TEST_DIALOG_SIGN, L"\u03a9", false, nullptr,
         "Fehler beim Hashen des Textes"},
        {"empty text", ID_TEST_DIALOG_VERIFY, L"", false, nullptr, "Fehler beim Hashen des Textes"},
    };
    RunFromButton(ID_TEST_ENC_KEY,
                  [&](TestDialog& dialog)
                  {
                      EXPECT_EQ(dialog.TestText()->GetValue(),
                                "Das ist ein Test!\n\nDie Signatur dieses Textes wird nur "
                                "virtuell erstellt und nicht abgespeichert.");
                      const wxString defaultText = dialog.TestText()->GetValue();
                      for (const auto& c : cases)
                      {
                          SCOPED_TRACE(c.name);
                          cards = sim.Load();
                          // The right PIN: only the case itself can make the press fail.
                          cards.dialog = {
                              DialogAnswer::Enter({cards.slots[0].card->FindPin("ENC")->value})};
                          if (c.cancelPin)
                              cards.dialog = {DialogAnswer::Cancel()};
                          if (c.failing != nullptr)
                              cards.faults.push_back({c.failing, 0x30, 0, 1});
                          SaveCards();
                          dialog.TestText()->SetValue(c.text ? wxString(c.text) : defaultText);
                          Click(&dialog, c.button);
                          ExpectStatus(dialog, c.status, true);
                          EXPECT_TRUE(dialog.SignatureText()->GetValue().empty());
                          EXPECT_TRUE(dialog.IsModal());
                      }
                  });
}

TEST_F(TestDialogTest, EmptyCardIsRefusedAndTheListReloadedWithoutOpeningTheDialog)
{
    KeepCardTypes({1});
    cards.slots[0].card->serial = MainFrame::EmptyCardNumber;
    SaveCards();
    OpenFrame();
    GuiTest::ModalScript modal([](wxDialog*) {});
    Press(ID_TEST_SIG_KEY);
    EXPECT_EQ(modal.Runs(), 0);
    EXPECT_EQ(StatusText(),
              wxString::FromUTF8("Dieser Befehl ist mit einer leeren Karte nicht erlaubt!"));
    EXPECT_TRUE(frame->IsRefreshing());
    EXPECT_TRUE(WaitForRefresh());
    EXPECT_EQ(frame->CardList()->GetItemCount(), 1);
}

TEST_F(TestDialogTest, UnreadableCardOrKeyKindOffersNothingAndTheFadeReachesTheDialog)
{
    KeepCardTypes({7});
    OpenFrame();
    const struct
    {
        const char* name;
        int index;
        int keyKind;
        size_t offers;
    } cases[] = {{"no card at the index", 5, TEST_KEY_SIGNATURE, 0}, {"no such key", 0, 2, 2}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        TestDialog dialog(frame, "Test");
        dialog.Setup(frame->Token(), c.index, c.keyKind);
        EXPECT_EQ(Status(dialog), wxString::FromUTF8("Ungültige Karte"));
        EXPECT_TRUE(StatusIsError(dialog));
        EXPECT_EQ(dialog.HashChoice()->GetCount(), c.offers);
        // The fade goes on to its 100 ms steps only when the timer's events reach the dialog.
        EXPECT_TRUE(
            GuiTest::WaitUntil([&dialog] { return dialog.FadeTimer().GetInterval() == 100; }));
        Click(&dialog, ID_TEST_DIALOG_SIGN);
        EXPECT_TRUE(dialog.SignatureText()->GetValue().empty());
    }

    // Without a card wrapper neither press reaches anything.
    TestDialog dialog(frame, "Test");
    dialog.Setup(nullptr, 0, TEST_KEY_SIGNATURE);
    for (int button : {ID_TEST_DIALOG_SIGN, ID_TEST_DIALOG_VERIFY})
    {
        Click(&dialog, button);
        EXPECT_EQ(Status(dialog), wxString());
    }
    EXPECT_EQ(CallsOf("C_Sign") + CallsOf("C_Verify"), 0);
}
