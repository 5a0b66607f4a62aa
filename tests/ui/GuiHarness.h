#pragma once

#include "tests/core/config/TestRegistryStore.h"
#include "tests/platform/ScopedTempFolder.h"

#include <functional>
#include <string>
#include <vector>
#include <wx/font.h>
#include <wx/image.h>
#include <wx/modalhook.h>
#include <wx/window.h>

namespace GuiTest
{
// Runs the event loop until the condition holds or the time is up; true when it held.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);
// Runs the event loop for about that long.
void RunFor(int milliseconds);

// The screen's pixels in that area, read from the display server (Screen_<system>.cpp); invalid
// when the area is not wholly on the screen.
wxImage GrabScreen(const wxRect& place);
// The place of a viewable top-level window of any program with that title, which also gets the
// input focus.
bool FocusWindowByTitle(const std::string& title, wxRect& place);

// A picture of a top-level window as the screen shows it once the window has painted itself
// after a refresh and two grabs in a row agree; an invalid image when that does not happen or
// the picture is blank. Callers check the content for what it must show.
wxImage GrabWindow(wxWindow* window);
// Writes the picture to build/<config>/test-artefacts/<name>.png; false on failure.
bool SavePicture(const wxImage& picture, const std::string& name);
// GrabWindow and SavePicture; false when either fails. Tests check what the picture shows.
bool SaveScreenshot(wxWindow* window, const std::string& name, wxImage* picture = nullptr);

// Where a window lies inside the grabbed picture of another (its top-level window).
wxRect AreaIn(wxWindow* window, wxWindow* grabbed);
// How many pixels of the area pass the test.
int CountPixels(const wxImage& picture, const wxRect& area,
                const std::function<bool(unsigned char r, unsigned char g, unsigned char b)>& test);
// The columns from the leftmost to the rightmost pixel darker than the threshold (text ink);
// 0 when there is none.
int InkWidth(const wxImage& picture, const wxRect& area, int threshold = 110);
// The ink width of the text as the font draws it, black on white.
int InkWidthOfText(const wxString& text, const wxFont& font);

// Fills the test registry's machine hive with the client's values (the system's registry on
// Windows, a store of its own elsewhere) and registers the configuration table.
class RegistryFixture
{
public:
    // Lines below [HKEY_LOCAL_MACHINE\Software\Corvane GmbH\Quendry Client], e.g.
    // "\"Version\"=\"1.2.3\"".
    explicit RegistryFixture(const std::vector<std::string>& clientValues = {},
                             const std::vector<std::string>& traceValues = {});
    ~RegistryFixture();

private:
    TestRegistryStore store;
};

// Answers every modal dialog in place of the user and records it; unexpected ones fail a test
// unless an answer was given.
class ModalAnswerer : public wxModalDialogHook
{
public:
    ModalAnswerer();
    ~ModalAnswerer() override;
    // The next modal dialogs are answered with these ids, in order.
    void Answer(std::vector<int> ids) { answers = std::move(ids); }
    const std::vector<wxString>& Seen() const { return seen; }

protected:
    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog* dialog) override;

private:
    std::vector<int> answers;
    std::vector<wxString> seen;
};
} // namespace GuiTest
