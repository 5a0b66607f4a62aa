#pragma once

#include <wx/app.h>
#include <wx/cmdline.h>
#include <wx/snglinst.h>

// The application: builds the process-wide services, lets one instance per user run and shows
// the main window.
class MyApp : public wxApp
{
public:
    MyApp();
    ~MyApp() override;

    bool OnInit() override;
    int OnRun() override;
    int OnExit() override;
    void OnInitCmdLine(wxCmdLineParser& parser) override;
    bool OnCmdLineParsed(wxCmdLineParser& parser) override;

private:
    wxSingleInstanceChecker instanceChecker;
    int uiLanguage = 0;
};
