// Text conversion and the language set-up of the user interface.
#include "tests/ui/GuiHarness.h"
#include "ui/ConfigValues.h"
#include "ui/Language.h"
#include "ui/WxStringUtil.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <wx/intl.h>
#include <wx/msgdlg.h>

TEST(WxStringToStdString, ConvertsThroughWindows1252)
{
    const struct
    {
        const wchar_t* text;
        std::string bytes;
    } cases[] = {
        {L"Kartennummer", "Kartennummer"},
        {L"\u00e4\u00f6\u00fc\u00df", "\xe4\xf6\xfc\xdf"},
        {L"\u20ac 5", "\x80 5"},
        {L"\u0141\u00f3d\u017a", ""}, // a character without a Windows-1252 form
        {L"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WxStringToStdString(c.text), c.bytes);
    EXPECT_EQ(WxStringToStdString(wxString(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(WxStringToStdString(wxString(L"ab\0\u0141", 4)), ""); // unconvertible after the NUL
}

TEST(StoredLanguage, MapsTheOldNumberingOntoTheLibrarys)
{
    const struct
    {
        int stored;
        int language;
    } cases[] = {
        {0, wxLANGUAGE_DEFAULT},          {1, wxLANGUAGE_UNKNOWN},        {7, wxLANGUAGE_ARABIC},
        {26, wxLANGUAGE_ASSAMESE},        {27, wxLANGUAGE_ASTURIAN},      {42, wxLANGUAGE_BURMESE},
        {43, wxLANGUAGE_CATALAN},         {56, wxLANGUAGE_DUTCH_BELGIAN}, {57, wxLANGUAGE_ENGLISH},
        {59, wxLANGUAGE_ENGLISH_US},      {79, wxLANGUAGE_FRENCH},        {88, wxLANGUAGE_GERMAN},
        {89, wxLANGUAGE_GERMAN_AUSTRIAN}, {93, wxLANGUAGE_GERMAN_SWISS},  {-3, wxLANGUAGE_DEFAULT},
        {5000, wxLANGUAGE_DEFAULT}};
    for (const auto& c : cases)
        EXPECT_EQ(LanguageFromStored(c.stored), c.language) << c.stored;
}

TEST(ConfigValues, IntegerReadKeepsTheBytesAShortValueDoesNotCover)
{
    const struct
    {
        const char* line; // the "Language" value in the registry, none when empty
        int before;
        bool read;
        int after;
    } cases[] = {
        {"\"Language\"=dword:00000039", 5, true, 57},
        {"\"Language\"=hex:", 7, true, 7},
        {"\"Language\"=hex:39", 0x01020300, true, 0x01020339},
        {"\"Language\"=hex:39,00", 0x01020300, true, 0x01020039},
        {"\"Language\"=hex:01,02,03,04,05", 5, false, 5},
        {"", 5, false, 5},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.line);
        GuiTest::RegistryFixture registry(c.line[0] != '\0' ? std::vector<std::string>{c.line}
                                                            : std::vector<std::string>{});
        int value = c.before;
        EXPECT_EQ(ReadConfigInteger(28, value), c.read);
        EXPECT_EQ(value, c.after);
    }
}

TEST(StoredLanguage, OnlyPlainEnglishSendsEN)
{
    EXPECT_STREQ(OnlineServicesLanguage(57), "EN");
    for (int stored : {0, 1, 58, 59, 88})
        EXPECT_STREQ(OnlineServicesLanguage(stored), "DE") << stored;
}

// The English catalogue is tested on the main window.
TEST(Locale, GermanShowsTheSourceTextsAndUnknownFallsBackSilently)
{
    std::unique_ptr<wxLocale> cell;
    GuiTest::ModalAnswerer noBoxes; // a missing locale must not show a message
    ASSERT_EQ(InitLocale(cell, LanguageFromStored(88)), 0);
    EXPECT_EQ(wxGetTranslation(L"Kartennummer"), "Kartennummer");
    const int result = InitLocale(cell, wxLANGUAGE_UNKNOWN);
    EXPECT_NE(cell, nullptr);
    EXPECT_TRUE(result == 0 || result == 2) << result;
    EXPECT_TRUE(noBoxes.Seen().empty());
    cell.reset();
}

TEST(Harness, WxAssertionFailsTheTest)
{
    EXPECT_NONFATAL_FAILURE(wxFAIL_MSG("deliberate"), "deliberate");
}

TEST(Harness, ModalBoxesAreAnsweredWithoutBeingShown)
{
    GuiTest::ModalAnswerer answerer;
    answerer.Answer({wxID_OK});
    wxMessageDialog box(nullptr, "Text", "Information", wxOK | wxCENTRE);
    EXPECT_EQ(box.ShowModal(), wxID_OK);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0], "Information");
    EXPECT_NONFATAL_FAILURE(
        {
            wxMessageDialog unexpected(nullptr, "Text", "Fehler", wxOK);
            unexpected.ShowModal();
        },
        "unexpected modal dialog");
}
