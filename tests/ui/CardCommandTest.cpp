// The PIN and certificate commands of the main window, from the button to the status line.
#include "tests/ui/FrameFixture.h"
#include "ui/DocumentLauncher.h"
#include "ui/WindowIds.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
using QuendrySim::DialogAnswer;

struct PinCase
{
    const char* name;
    int button;
    const char* pin; // the card's PIN the command works on
    bool change;
    DialogAnswer answer;
    bool locked; // the PIN (change) or PUK (unblock) has no tries left
    const char* text;
    bool error;
};

// The right values for each PIN of the generated cards: old/PUK and new.
std::vector<std::string> RightValues(const std::string& pin, bool change)
{
    if (pin == "SIG")
        return {change ? "123456" : "12345678", "654321"};
    if (pin == "ENC")
        return {change ? "1234" : "87654321", "4321"};
    return {change ? "4321" : "11223344", "1234"};
}

std::vector<PinCase> PinCases()
{
    std::vector<PinCase> cases;
    const struct
    {
        int change;
        int unblock;
        const char* pin;
    } targets[] = {{ID_CHANGE_SIG_PIN, ID_UNBLOCK_SIG_PIN, "SIG"},
                   {ID_CHANGE_ENC_PIN, ID_UNBLOCK_ENC_PIN, "ENC"},
                   {ID_CHANGE_INFOBOX_PIN, ID_UNBLOCK_INFOBOX_PIN, "INFOBOX"}};
    for (const auto& target : targets)
    {
        for (bool change : {true, false})
        {
            const int button = change ? target.change : target.unblock;
            const std::vector<std::string> right = RightValues(target.pin, change);
            const std::vector<std::string> wrong = {change ? "999999" : "99999999", right[1]};
            cases.push_back({"done", button, target.pin, change, DialogAnswer::Enter(right), false,
                             change ? "PIN Änderung erfolgreich!" : "PIN Entsperren erfolgreich!",
                             false});
            cases.push_back({"cancelled", button, target.pin, change, DialogAnswer::Cancel(), false,
                             "Abbruch durch Benutzer", true});
            cases.push_back({"wrong", button, target.pin, change, DialogAnswer::Enter(wrong), false,
                             change ? "Fehler beim PIN Ändern! PIN falsch!"
                                    : "Fehler beim PIN entsperren! PIN/PUK falsch!",
                             true});
            cases.push_back({"locked", button, target.pin, change, DialogAnswer::Enter(right), true,
                             change ? "Fehler beim PIN Ändern! PIN Gesperrt"
                                    : "Fehler beim PIN entsperren! PUK Gesperrt",
                             true});
            cases.push_back({"other", button, target.pin, change, DialogAnswer::Fail(), false,
                             change ? "Fehler beim PIN Ändern!" : "Fehler beim PIN entsperren!",
                             true});
        }
    }
    return cases;
}

class CardCommandTest : public FrameFixture
{
protected:
    void TearDown() override
    {
        SetDocumentLauncher(nullptr);
        FrameFixture::TearDown();
    }

    std::string TempPath(const std::string& name) const
    {
        return (std::filesystem::path(temp.Path()) / name).string();
    }

    // Records what would go to the desktop instead of opening it.
    void RecordLaunches()
    {
        SetDocumentLauncher(
            [this](const std::string& path)
            {
                launched.push_back(path);
                return true;
            });
    }

    GuiTest::TempFolder temp;
    std::vector<std::string> launched;
};

ByteVector ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return ByteVector(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
} // namespace

TEST_F(CardCommandTest, EveryPinButtonShowsTheTextOfEveryModuleAnswer)
{
    // Card type 0 holds all three PINs.
    KeepCardTypes({0});
    OpenFrame();
    for (const PinCase& pinCase : PinCases())
    {
        SCOPED_TRACE(std::string(pinCase.pin) + (pinCase.change ? " change " : " unblock ") +
                     pinCase.name);
        cards = sim.Load();
        QuendrySim::Pin* pin = cards.slots[0].card->FindPin(pinCase.pin);
        ASSERT_NE(pin, nullptr);
        pin->value = RightValues(pinCase.pin, true)[0];
        pin->retries = pin->maxRetries;
        pin->pukRetries = pin->maxPukRetries;
        if (pinCase.locked)
            (pinCase.change ? pin->retries : pin->pukRetries) = 0;
        cards.dialog = {pinCase.answer};
        SaveCards();

        Press(pinCase.button);
        EXPECT_EQ(StatusText(), wxString::FromUTF8(pinCase.text));
        EXPECT_TRUE(frame->StatusPicture()->IsShown());
        EXPECT_EQ(StatusShowsError(), pinCase.error);
        EXPECT_EQ(frame->Token()->CurrentSlotIndex(), -1) << "session left open";
    }
}

TEST_F(CardCommandTest, AChangedPinIsTheCardsNewPin)
{
    KeepCardTypes({1});
    Cards().dialog = {DialogAnswer::Enter({"123456", "246810"})};
    SaveCards();
    OpenFrame();
    Press(ID_CHANGE_SIG_PIN);
    EXPECT_EQ(StatusText(), wxString::FromUTF8("PIN Änderung erfolgreich!"));
    EXPECT_EQ(sim.Load().slots[0].card->FindPin("SIG")->value, "246810");
}

TEST_F(CardCommandTest, EmptyListAndEmptyCardAreRefusedWithoutAModuleCall)
{
    for (bool emptyList : {true, false})
    {
        SCOPED_TRACE(emptyList ? "empty list" : "all-zero card");
        KeepCardTypes(emptyList ? std::vector<int>{} : std::vector<int>{1});
        if (!emptyList)
        {
            cards.slots[0].card->serial = "0000000000000000";
            SaveCards();
        }
        OpenFrame();
        for (int button : {ID_CHANGE_SIG_PIN, ID_UNBLOCK_ENC_PIN, ID_SHOW_SIG_CERTIFICATE,
                           ID_SHOW_ENC_CERTIFICATE, ID_CHANGE_ENC_PIN})
        {
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

TEST_F(CardCommandTest, NoRowSelectedTakesTheFirstRow)
{
    KeepCardTypes({1, 7});
    Cards().dialog = {DialogAnswer::Cancel()};
    SaveCards();
    OpenFrame();
    frame->CardList()->SetItemState(0, 0, wxLIST_STATE_SELECTED);
    Press(ID_CHANGE_SIG_PIN);
    EXPECT_EQ(frame->CardList()->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED), 0);
    EXPECT_EQ(StatusText(), "Abbruch durch Benutzer");
}

TEST_F(CardCommandTest, CertificateFileHoldsTheCardsDerAndGoesToTheDesktop)
{
    setenv("TEMP", temp.Path().c_str(), 1);
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
        struct stat folder;
        ASSERT_EQ(lstat(std::filesystem::path(launched[0]).parent_path().c_str(), &folder), 0);
        EXPECT_TRUE(S_ISDIR(folder.st_mode));
        EXPECT_EQ(folder.st_mode & 0777, 0700u);
        EXPECT_EQ(folder.st_uid, getuid());
    }
    EXPECT_EQ(frame->Token()->CurrentSlotIndex(), -1);
    unsetenv("TEMP");
}

TEST_F(CardCommandTest, DesktopViewerGetsTheFileUnderItsOwnName)
{
    // A temporary folder whose name is not plain ASCII, and a viewer that records what it opens.
    const std::string folder = TempPath("M\xc3\xbcller temp");
    const std::string viewers = TempPath("bin");
    const std::string record = TempPath("opened");
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(viewers);
    {
        std::ofstream viewer(viewers + "/xdg-open");
        viewer << "#!/bin/sh\nprintf '%s' \"$1\" > '" << record << ".part' && mv '" << record
               << ".part' '" << record << "'\n";
    }
    std::filesystem::permissions(viewers + "/xdg-open", std::filesystem::perms::owner_all);
    const std::string path = std::getenv("PATH");
    setenv("PATH", (viewers + ":" + path).c_str(), 1);
    setenv("TEMP", folder.c_str(), 1);
    KeepCardTypes({1});
    OpenFrame();

    Press(ID_SHOW_ENC_CERTIFICATE);
    EXPECT_TRUE(GuiTest::WaitUntil([&record] { return std::filesystem::exists(record); }));
    const ByteVector opened = ReadFile(record);
    const std::string openedPath(opened.begin(), opened.end());
    EXPECT_EQ(std::filesystem::path(openedPath).parent_path().parent_path(), folder);
    EXPECT_EQ(ReadFile(openedPath), cards.slots[0].card->FindObject("C.CH.EKEY")->value);
    setenv("PATH", path.c_str(), 1);
    unsetenv("TEMP");
}

TEST_F(CardCommandTest, CertificateIsNeverWrittenThroughAForeignPlace)
{
    setenv("TEMP", temp.Path().c_str(), 1);
    KeepCardTypes({7});
    OpenFrame();
    RecordLaunches();
    const std::string privateFolder = TempPath("quendrycards-" + std::to_string(getuid()));
    const std::string elsewhere = TempPath("elsewhere");
    std::filesystem::create_directory(elsewhere);

    // The private folder replaced by a link to another folder.
    std::filesystem::create_directory_symlink(elsewhere, privateFolder);
    EXPECT_FALSE(frame->ShowCertificate(true));
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
    std::filesystem::remove(privateFolder);

    // The file's place taken by something that cannot be removed.
    std::filesystem::create_directories(privateFolder + "/quendrycards_cert.cer/inside");
    EXPECT_FALSE(frame->ShowCertificate(true));
    EXPECT_TRUE(launched.empty());
    EXPECT_EQ(frame->Token()->CurrentSlotIndex(), -1);
    unsetenv("TEMP");
}

TEST_F(CardCommandTest, UnreadableCertificateIsNotHandedOn)
{
    setenv("TEMP", temp.Path().c_str(), 1);
    KeepCardTypes({1});
    cards.slots[0].card->FindObject("C.CH.SIG")->label = "C.CH.OTHER";
    SaveCards();
    OpenFrame();
    RecordLaunches();
    EXPECT_FALSE(frame->ShowCertificate(true));
    EXPECT_TRUE(launched.empty());
    unsetenv("TEMP");
}

TEST_F(CardCommandTest, CardsWithTheSameSerialUseTheFirstSlot)
{
    KeepCardTypes({1, 2});
    cards.slots[1].card->serial = cards.slots[0].card->serial;
    cards.dialog = {DialogAnswer::Enter({"123456", "135790"})};
    SaveCards();
    OpenFrame();
    Press(ID_CHANGE_SIG_PIN);
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
        bool removeCard;
        bool failSession;
    } cases[] = {{"card taken out", true, false}, {"session refused", false, true}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        KeepCardTypes({1});
        OpenFrame();
        cards = sim.Load();
        if (c.removeCard)
            cards.slots[0].card.reset();
        if (c.failSession)
            cards.faults.push_back({"C_OpenSession", 0x30, 0, 1, 0});
        cards.dialog = {DialogAnswer::Enter({"123456", "135790"})};
        SaveCards();
        Press(ID_CHANGE_SIG_PIN);
        EXPECT_EQ(StatusText(), wxString());
        int pinDialogs = 0;
        for (const std::string& name : CallNames())
            pinDialogs += name == "dialog";
        EXPECT_EQ(pinDialogs, 0);
        CloseFrame();
    }
}
