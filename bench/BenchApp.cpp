// The program itself, which writes "filled" once the first card-list refresh has filled the list
// and then closes its window.
#include "ui/App.h"
#include "ui/WindowIds.h"

#include <cstdio>
#include <wx/window.h>

class BenchApp : public MyApp
{
public:
    int FilterEvent(wxEvent& event) override
    {
        // Runs after the completion handler that fills the list.
        if (event.GetEventType() == wxEVT_MENU && event.GetId() == ID_REFRESH_DONE)
            CallAfter(
                [this]
                {
                    std::puts("filled");
                    std::fflush(stdout);
                    if (wxWindow* window = GetTopWindow())
                        window->Close(true);
                });
        return Event_Skip;
    }
};

wxIMPLEMENT_APP(BenchApp);
