// The baseline of the program benchmarks: an empty frame and nothing else. With
// --exit-when-shown it writes "shown" once the frame is up and closes it.
#include <cstdio>
#include <wx/app.h>
#include <wx/frame.h>

class BareFrameApp : public wxApp
{
public:
    bool OnInit() override
    {
        auto* frame = new wxFrame(nullptr, wxID_ANY, "Bare frame");
        frame->Show();
        if (argc > 1 && argv[1] == "--exit-when-shown")
            CallAfter(
                [frame]
                {
                    std::puts("shown");
                    std::fflush(stdout);
                    frame->Close(true);
                });
        return true;
    }
};

wxIMPLEMENT_APP(BareFrameApp);
