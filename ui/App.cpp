#include "ui/App.h"

#include "core/config/Config.h"
#include "core/folders/FileSystem.h"
#include "core/logging/AppLogPath.h"
#include "core/logging/Logger.h"
#include "ui/ConfigValues.h"
#include "ui/Language.h"
#include "ui/MainFrame.h"

#include <wx/image.h>
#include <wx/msgout.h>
#include <wx/utils.h>

namespace
{
constexpr int LanguageConfigId = 28;
constexpr int LogLevelConfigId = 15;
constexpr int FilenameConfigId = 17;

void OpenApplicationLog()
{
    int logLevel = 0;
    std::string filename;
    ReadConfigInteger(LogLevelConfigId, logLevel);
    ReadConfigText(FilenameConfigId, filename);
    if (logLevel <= 0 || filename.size() <= 4)
        return; // every entry is dropped
    LibLogging::Logger* logger = GetAppLogger();
    logger->Init(AppLogPath(filename));
    logger->enabled = true;
    logger->showThreadId = true;
}
} // namespace

MyApp::MyApp()
{
    InitConfiguration();
    InitFileSystem();
    int language = wxLANGUAGE_UNKNOWN;
    if (ReadConfigInteger(LanguageConfigId, uiLanguage))
        language = LanguageFromStored(uiLanguage);
    InitLocale(LocaleCell(), language);
    OpenApplicationLog();
}

MyApp::~MyApp()
{
    Corvane::Config::DestroyInstance();
    Corvane::FileSystem::DestroyInstance();
    GetAppLogger()->Destroy();
    LocaleCell().reset();
}

void MyApp::OnInitCmdLine(wxCmdLineParser& parser)
{
    // The parser's complaint about an argument goes to standard error: on Windows it would come
    // in a message box, a window that waits for the user instead of ending the program.
    delete wxMessageOutput::Set(new wxMessageOutputStderr);
    static const wxCmdLineEntryDesc noOptions[] = {
        {wxCMD_LINE_NONE, nullptr, nullptr, nullptr, wxCMD_LINE_VAL_NONE, 0}};
    parser.SetDesc(noOptions);
    parser.SetSwitchChars("-");
}

bool MyApp::OnCmdLineParsed(wxCmdLineParser&)
{
    return true;
}

bool MyApp::OnInit()
{
    if (!wxApp::OnInit())
        return false;
    SetAppName("QuendryClient");
    SetVendorName("Corvane GmbH");
    wxInitAllImageHandlers();
    instanceChecker.Create(wxString::Format("QuendryCards-%s", wxGetUserId()));
    return !instanceChecker.IsAnotherRunning();
}

int MyApp::OnRun()
{
    auto* frame = new MainFrame();
    SetTopWindow(frame);
    frame->Show();
    frame->language = uiLanguage;
    return wxApp::OnRun();
}

int MyApp::OnExit()
{
    return 0;
}
