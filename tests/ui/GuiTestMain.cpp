// One wxApp for the whole test program: GUI tests drive real windows on a virtual display of
// their own.
#include <csignal>
#include <gtest/gtest.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/init.h>

extern char** environ;

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

// A virtual display for this process alone, so that pictures of the screen show only its own
// windows while other test programs run beside it. It ends when its last client is gone, even if
// this process is killed.
class PrivateDisplay
{
public:
    PrivateDisplay()
    {
        int ready[2];
        if (pipe(ready) != 0)
            return;
        const std::string readyFd = std::to_string(ready[1]);
        const char* argv[] = {"Xvfb",         "-displayfd", readyFd.c_str(), "-screen",    "0",
                              "1280x1024x24", "-nolisten",  "tcp",           "-terminate", nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, ready[0]);
        if (posix_spawnp(&server, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) !=
            0)
            server = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(ready[1]);
        std::string number;
        char digit = 0;
        while (server > 0 && read(ready[0], &digit, 1) == 1 && digit != '\n')
            number += digit;
        close(ready[0]);
        if (!number.empty())
            setenv("DISPLAY", (":" + number).c_str(), 1);
    }
    ~PrivateDisplay()
    {
        if (server <= 0)
            return;
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

private:
    pid_t server = -1;
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
