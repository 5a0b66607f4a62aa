// The PIN and certificate commands of the main window, from the button to the status line.
#include "tests/platform/ScopedEnvironment.h"
#include "tests/ui/FrameFixture.h"
#include "tests/ui/UserFolder.h"
#include "ui/DocumentLauncher.h"
#include "ui/WindowIds.h"

#include <cstdlib>
#include <filesystem>

namespace
{
using QuendrySim::DialogAnswer;

struct PinTarget
{
    int change;
    int unblock;
    const char* pin;   // the card's PIN the buttons work on
    const char* right; // the generated card's PIN
    const char* puk;
    const char* next; // the new PIN entered
};

const PinTarget Targets[] = {
    {ID_CHANGE_SIG_PIN, ID_UNBLOCK_SIG_PIN, "SIG", "123456", "12345678", "654321"},
    {ID_CHANGE_ENC_PIN, ID_UNBLOCK_ENC_PIN, "ENC", "1234", "87654321", "4321"},
    {ID_CHANGE_INFOBOX_PIN, ID_UNBLOCK_INFOBOX_PIN, "INFOBOX", "4321", "11223344", "1234"}};

enum class Entry
{
    Right,
    Wrong,
    Cancel,
    Fail
};

struct PinOutcome
{
    const char* name;
    Entry entry;
    bool locked; // the PIN (change) or PUK (unblock) has no tries left
    const char* changeText;
    const char* unblockText;
    bool error;
};

const PinOutcome Outcomes[] = {
    {"done", Entry::Right, false, "PIN Änderung erfolgreich!", "PIN Entsperren erfolgreich!",
     false},
    {"cancelled", Entry::Cancel, false, "Abbruch durch Benutzer", "Abbruch durch Benutzer", true},
    {"wrong", Entry::Wrong, false, "Fehler beim PIN Ändern! PIN falsch!",
     "Fehler beim PIN entsperren! PIN/PUK falsch!", true},
    {"locked", Entry::Right, true, "Fehler beim PIN Ändern! PIN Gesperrt",
     "Fehler beim PIN entsperren! PUK Gesperrt", true},
    {"other", Entry::Fail, false, "Fehler beim PIN Ändern!", "Fehler beim PIN entsperren!", true},
};

DialogAnswer AnswerOf(Entry entry, const PinTarget& target, bool change)
{
    if (entry == Entry::Cancel)
        return DialogAnswer::Cancel();
    if (entry == Entry::Fail)
        return DialogAnswer::Fail();
    const char* wrong = change ? "999999" : "99999999";
    const char* right = change ? target.right : target.puk;
    return DialogAnswer::Enter({entry == Entry::Wrong ? wrong : right, target.next});
}

class CardCommandTest : public FrameFixture
{
protected:
    void SetUp() override
    {
        FrameFixture::SetUp();
        environment.Set("TEMP", temp.Path().string());
    }

    void TearDown() override
    {
        SetDocumentLauncher(nullptr);
        FrameFixture::TearDown();
    }

    // Records what would go to the desktop instead of opening it.
    void RecordLaunches()
    {
        SetDocumentLauncher([this](const std::string& path, const LaunchFailed&)
                            { launched.push_back(path); });
    }

    ScopedTempFolder temp;
    ScopedEnvironment environment;
    std::vector<std::string> launched;
};

ByteVector ReadFile(const std::string& path)
{
    const std::string text = ReadTextFile(path);
    return ByteVector(text.begin(), text.end());
}
} // namespace

TEST_F(CardCommandTest, EveryPinButtonShowsTheTextOfEveryModuleAnswer)
{
    // Card type 0 holds all three PINs.
    KeepCardTypes({0});
    OpenFrame();
    for (const PinTarget& target : Targets)
    {
        for (bool change : {true, false})
        {
            for (const PinOutcome& outcome : Outcomes)
            {
                SCOPED_TRACE(std::string(target.pin) + (change ? " change " : " unblock ") +
                             outcome.name);
                cards = sim.Load();
                QuendrySim::Pin* pin = cards.slots[0].card->FindPin(target.pin);
                ASSERT_NE(pin, nullptr);
                pin->value = target.right;
                pin->retries = pin->maxRetries;
                pin->pukRetries = pin->maxPukRetries;
                if (outcome.locked)
                    (change ? pin->retries : pin->pukRetries) = 0;
                cards.dialog = {AnswerOf(outcome.entry, target, change)};
                SaveCards();

                Press(change ? target.change : target.unblock);
                EXPECT_EQ(StatusText(),
                          wxString::FromUTF8(change ? outcome.changeText : outcome.unblockText));
                EXPECT_TRUE(frame->StatusPicture()->IsShown());
                EXPECT_EQ(StatusShowsError(), outcome.error);
                EXPECT_EQ(frame->Token()->CurrentSlotIndex(), -1) << "session left open";
                EXPECT_EQ(sim.Load().slots[0].card->FindPin(target.pin)->value,
                          outcome.error ? target.right : target.next);
            }
        }
    }
}

TEST_F(CardCommandTest, EmptyListAndEmptyCardAreRefusedWithoutAModuleCall)
{
    for (bool emptyList : {true, false})
    {
        SCOPED_TRACE(emptyList ? "empty list" : "all-zero card");
        KeepCardTypes(emptyList ? std::vector<int>{}
                                : std::vector<int>{0}); // type 0 enables all eight
        if (!emptyList)
        {
            cards.slots[0].card->serial = "0000000000000000";
            SaveCards();
        }
        OpenFrame();
        // All eight card commands.
        for (int button : {ID_CHANGE_SIG_PIN, ID_UNBLOCK_SIG_PIN, ID_SHOW_SIG_CERTIFICATE,
                           ID_CHANGE_ENC_PIN, ID_UNBLOCK_ENC_PIN, ID_SHOW_ENC_CERTIFICATE,
                           ID_CHANGE_INFOBOX_PIN, ID_UNBLOCK_INFOBOX_PIN})
        {
            frame->ShowStatus(wxEmptyString, false); // the text must come from this press
            const size_t callsBefore = CallCount();
            Press(button);
            EXPECT_EQ(StatusText(), wxString::FromUTF8(
                                        "Dieser Befehl ist mit einer leeren Karte nicht erlaubt!"));
            EXPECT_TRUE(StatusShowsError());
            EXPECT_EQ(CallCount(), callsBefore) << "button " << button;
        }
        CloseFrame();
    }
}

TEST_F(CardCommandTest, CertificateFileHoldsTheCardsDerAndGoesToTheDesktop)
{
    KeepCardTypes({7});
    OpenFrame();
    RecordLaunches();
    const struct
    {
        int button;
        const char* label;
    } certificates[] = {{ID_SHOW_SIG_CERTIFICATE, "C.CH.SIG"},
                        {ID_SHOW_ENC_CERTIFICATE, "C.CH.EKEY"}};
    for (const auto& certificate : certificates)
    {
        SCOPED_TRACE(certificate.label);
        launched.clear();
        Press(certificate.button);
        ASSERT_EQ(launched.size(), 1u);
        EXPECT_EQ(std::filesystem::path(launched[0]).filename(), "quendrycards_cert.cer");
        EXPECT_EQ(ReadFile(launched[0]), cards.slots[0].card->FindObject(certificate.label)->value);
        EXPECT_TRUE(GuiTest::FolderOfThisUserOnly(
            std::filesystem::path(launched[0]).parent_path().string()));
    }
    EXPECT_EQ(frame->Token()->CurrentSlotIndex(), -1);
}

TEST_F(CardCommandTest, DesktopOpenerGetsTheFileUnderItsOwnNameOrTheStatusLineSaysNoneCan)
{
    const wxString noViewer = wxString::FromUTF8(
        "Zertifikat kann nicht angezeigt werden: kein Programm zum Anzeigen gefunden!");
    const struct
    {
        const char* name;
        const char* exit; // how the opener ends; none: no opener on the search path
    } cases[] = {{"opener shows the file", "exit 0"},
                 {"opener finds no program", "exit 3"},
                 {"no opener", nullptr}};
    // A temporary folder whose name is not plain ASCII.
    const std::string folder = temp.File("M\xc3\xbcller temp");
    std::filesystem::create_directories(folder);
    environment.Set("TEMP", folder);
    KeepCardTypes({1});
    OpenFrame();
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        // Beside the temporary folder: the search path itself is plain ASCII.
        const std::filesystem::path bin = temp.File(std::string("bin ") + c.name);
        std::filesystem::create_directory(bin);
        const std::string record = (bin / "opened").string();
        if (c.exit != nullptr)
        {
            WriteTextFile((bin / "xdg-open").string(),
                          "#!/bin/sh\nprintf '%s' \"$1\" > '" + record + ".part' && /bin/mv '" +
                              record + ".part' '" + record + "'\n" + c.exit + "\n");
            std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
        }
        environment.Set("PATH", bin.string()); // without the system's own opener
        frame->ShowStatus(wxEmptyString, false);

        Press(ID_SHOW_ENC_CERTIFICATE);
        const bool fails = c.exit == nullptr || std::string(c.exit) != "exit 0";
        if (c.exit != nullptr)
        {
            ASSERT_TRUE(GuiTest::WaitUntil([&record] { return std::filesystem::exists(record); }));
            const std::string openedPath = ReadTextFile(record);
            EXPECT_EQ(std::filesystem::path(openedPath).parent_path().parent_path(), folder);
            EXPECT_EQ(ReadFile(openedPath), cards.slots[0].card->FindObject("C.CH.EKEY")->value);
        }
        if (fails)
        {
            EXPECT_TRUE(GuiTest::WaitUntil([&] { return StatusText() == noViewer; }));
            EXPECT_TRUE(StatusShowsError());
        }
        else
            EXPECT_EQ(StatusText(), wxString());
    }
}

TEST_F(CardCommandTest, CertificateThatCannotBeReadOrWrittenSafelyIsNotHandedOn)
{
    KeepCardTypes({7});
    OpenFrame();
    RecordLaunches();
    const std::string privateFolder = GuiTest::DesktopFilesFolderIn(temp.Path().string());
    const std::string elsewhere = temp.File("elsewhere");
    std::filesystem::create_directory(elsewhere);

    // The private folder replaced by a link to another folder.
    std::filesystem::create_directory_symlink(elsewhere, privateFolder);
    EXPECT_FALSE(frame->ShowCertificate(true));
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
    std::filesystem::remove(privateFolder);

    // The file's place taken by something that cannot be removed.
    std::filesystem::create_directories(privateFolder + "/quendrycards_cert.cer/inside");
    EXPECT_FALSE(frame->ShowCertificate(true));
    std::filesystem::remove_all(privateFolder);

    // No certificate under the label the command reads.
    cards.slots[0].card->FindObject("C.CH.SIG")->label = "C.CH.OTHER";
    SaveCards();
    EXPECT_FALSE(frame->ShowCertificate(true));
    EXPECT_TRUE(launched.empty());
    EXPECT_EQ(frame->Token()->CurrentSlotIndex(), -1);
}

TEST_F(CardCommandTest, NoRowSelectedTakesTheFirstRowAndASharedSerialTheFirstSlot)
{
    // The first row shows the card read last, whose serial the first slot's card also carries.
    KeepCardTypes({1, 2});
    cards.slots[1].card->serial = cards.slots[0].card->serial;
    cards.dialog = {DialogAnswer::Enter({"123456", "135790"})};
    SaveCards();
    OpenFrame();
    frame->CardList()->SetItemState(0, 0, wxLIST_STATE_SELECTED);
    Press(ID_CHANGE_SIG_PIN);
    EXPECT_EQ(frame->CardList()->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED), 0);
    EXPECT_EQ(StatusText(), wxString::FromUTF8("PIN Änderung erfolgreich!"));
    const QuendrySim::CardSet after = sim.Load();
    EXPECT_EQ(after.slots[0].card->pins.at("SIG").value, "135790");
    EXPECT_EQ(after.slots[1].card->pins.at("SIG").value, "123456");
}

TEST_F(CardCommandTest, CardThatCannotBeReachedEndsTheCommandSilently)
{
    const struct
    {
        const char* name;
        const char* failing; // the module function that fails once; none: the card is taken out
    } cases[] = {{"card taken out", nullptr},
                 {"slot list unreadable", "C_GetSlotList"},
                 {"session refused", "C_OpenSession"}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        cards.faults.clear(); // the copy kept from the last case still lists its fault
        KeepCardTypes({1});
        OpenFrame();
        cards = sim.Load();
        if (c.failing == nullptr)
            cards.slots[0].card.reset();
        else
            cards.faults.push_back({c.failing, 0x30, 0, 1});
        cards.dialog = {DialogAnswer::Enter({"123456", "135790"})};
        SaveCards();
        Press(ID_CHANGE_SIG_PIN);
        EXPECT_EQ(StatusText(), wxString());
        EXPECT_EQ(CallsOf("dialog"), 0);
        EXPECT_EQ(frame->Token()->CurrentSlotIndex(), -1);
        CloseFrame();
    }
}
