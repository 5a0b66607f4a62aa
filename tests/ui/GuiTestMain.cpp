// One wxApp for the whole test program: GUI tests drive real windows on a virtual display of
// their own.
#include "tests/ui/PrivateDisplay.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/init.h>

namespace
{
class TestApp : public wxApp
{
public:
    bool OnInit() override
    {
        wxInitAllImageHandlers();
        return true;
    }
};

void FailOnAssert(const wxString& file, int line, const wxString& function,
                  const wxString& condition, const wxString& message)
{
    ADD_FAILURE_AT(file.utf8_str(), line)
        << "wx assertion in " << function << ": " << condition << " " << message;
}
} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests (at build time, without a display) needs no GUI.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    // Without the server the display the tests were started on serves.
    PrivateDisplay display;
    wxApp::SetInstance(new TestApp);
    int wxArgc = 1;
    if (!wxEntryStart(wxArgc, argv) || !wxTheApp->CallOnInit())
        return 2;
    wxSetAssertHandler(FailOnAssert);
    int result = 0;
    {
        wxGUIEventLoop loop;
        wxEventLoopActivator active(&loop);
        result = RUN_ALL_TESTS();
    }
    wxTheApp->OnExit();
    wxEntryCleanup();
    return result;
}
