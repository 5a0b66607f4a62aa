#include "tests/ui/GuiHarness.h"

#include "core/config/Config.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <utility>
#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/dialog.h>
#include <wx/eventfilter.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/toplevel.h>

namespace GuiTest
{
namespace
{
void DispatchPending()
{
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (loop != nullptr)
        loop->YieldFor(wxEVT_CATEGORY_ALL);
    else
        wxTheApp->Yield(true);
}

// A picture of one colour only: nothing was captured.
bool IsBlank(const wxImage& image)
{
    const unsigned char* pixels = image.GetData();
    const long bytes = 3L * image.GetWidth() * image.GetHeight();
    for (long i = 3; i < bytes; ++i)
    {
        if (pixels[i] != pixels[i % 3])
            return false;
    }
    return true;
}
} // namespace

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        DispatchPending();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void RunFor(int milliseconds)
{
    WaitUntil([] { return false; }, milliseconds);
}

namespace
{
// Notes when a window below the given top-level window is painted.
class PaintWatch : public wxEventFilter
{
public:
    explicit PaintWatch(wxWindow* topLevel) : topLevel(topLevel) { wxEvtHandler::AddFilter(this); }
    ~PaintWatch() override { wxEvtHandler::RemoveFilter(this); }
    int FilterEvent(wxEvent& event) override
    {
        if (event.GetEventType() != wxEVT_PAINT)
            return Event_Skip;
        auto* window = dynamic_cast<wxWindow*>(event.GetEventObject());
        if (window != nullptr && wxGetTopLevelParent(window) == topLevel)
            painted = true;
        return Event_Skip;
    }
    bool painted = false;

private:
    wxWindow* topLevel;
};

bool SamePixels(const wxImage& a, const wxImage& b)
{
    return a.GetSize() == b.GetSize() &&
           std::equal(a.GetData(), a.GetData() + 3 * a.GetWidth() * a.GetHeight(), b.GetData());
}
} // namespace

wxImage GrabWindow(wxWindow* window)
{
    // A grab before the window has drawn itself shows whatever the screen held there before
    // (a closed window, for instance): wait for a paint after the refresh, then until two grabs
    // in a row agree.
    PaintWatch watch(window);
    window->Raise();
    window->Refresh();
    if (!WaitUntil([&] { return watch.painted; }, 5000))
        return wxImage();
    const wxRect place = window->GetScreenRect();
    wxImage previous = GrabScreen(place);
    if (!previous.IsOk())
        return wxImage(); // not on the screen
    wxImage image;
    const bool settled = WaitUntil(
        [&]
        {
            image = GrabScreen(place);
            return image.IsOk() && SamePixels(image, std::exchange(previous, image));
        },
        5000);
    if (!settled || IsBlank(image))
        return wxImage();
    return image;
}

bool SavePicture(const wxImage& picture, const std::string& name)
{
    const std::filesystem::path folder =
        std::filesystem::path(QUENDRY_BINARY_DIR) / "test-artefacts";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return picture.IsOk() &&
           picture.SaveFile((folder / (name + ".png")).string(), wxBITMAP_TYPE_PNG);
}

bool SaveScreenshot(wxWindow* window, const std::string& name, wxImage* picture)
{
    const wxImage grabbed = GrabWindow(window);
    if (picture != nullptr)
        *picture = grabbed;
    return grabbed.IsOk() && SavePicture(grabbed, name);
}

wxRect AreaIn(wxWindow* window, wxWindow* grabbed)
{
    const wxRect place = window->GetScreenRect();
    return wxRect(place.GetPosition() - grabbed->GetScreenPosition(), place.GetSize());
}

int CountPixels(const wxImage& picture, const wxRect& area,
                const std::function<bool(unsigned char r, unsigned char g, unsigned char b)>& test)
{
    const wxRect inside = area.Intersect(wxRect(picture.GetSize()));
    int count = 0;
    for (int y = inside.y; y < inside.GetBottom() + 1; ++y)
        for (int x = inside.x; x < inside.GetRight() + 1; ++x)
            count += test(picture.GetRed(x, y), picture.GetGreen(x, y), picture.GetBlue(x, y));
    return count;
}

int InkWidth(const wxImage& picture, const wxRect& area, int threshold)
{
    const wxRect inside = area.Intersect(wxRect(picture.GetSize()));
    int left = -1, right = -1;
    for (int x = inside.x; x < inside.GetRight() + 1; ++x)
    {
        for (int y = inside.y; y < inside.GetBottom() + 1; ++y)
        {
            if (std::max({picture.GetRed(x, y), picture.GetGreen(x, y), picture.GetBlue(x, y)}) <
                threshold)
            {
                left = left < 0 ? x : left;
                right = x;
                break;
            }
        }
    }
    return left < 0 ? 0 : right - left + 1;
}

int InkWidthOfText(const wxString& text, const wxFont& font)
{
    wxBitmap canvas(800, 60, 24);
    {
        wxMemoryDC dc(canvas);
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        dc.SetFont(font);
        dc.SetTextForeground(*wxBLACK);
        dc.DrawText(text, 10, 10);
    }
    const wxImage image = canvas.ConvertToImage();
    return InkWidth(image, wxRect(image.GetSize()));
}

RegistryFixture::RegistryFixture(const std::vector<std::string>& clientValues,
                                 const std::vector<std::string>& traceValues)
{
    std::string hive = "[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client]\r\n";
    for (const std::string& line : clientValues)
        hive += line + "\r\n";
    hive += "\r\n[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client\\Trace]\r\n";
    for (const std::string& line : traceValues)
        hive += line + "\r\n";
    store.WriteMachineHive(hive);
    Corvane::Config::DestroyInstance();
    InitConfiguration();
}

RegistryFixture::~RegistryFixture()
{
    Corvane::Config::DestroyInstance();
}

ModalAnswerer::ModalAnswerer()
{
    Register();
}

ModalAnswerer::~ModalAnswerer()
{
    Unregister();
}

int ModalAnswerer::Enter(wxDialog* dialog)
{
    seen.push_back(dialog->GetTitle());
    if (answers.empty())
    {
        ADD_FAILURE() << "unexpected modal dialog \"" << dialog->GetTitle() << "\"";
        return wxID_CANCEL;
    }
    const int answer = answers.front();
    answers.erase(answers.begin());
    return answer;
}

void ModalAnswerer::Exit(wxDialog*) {}
} // namespace GuiTest
