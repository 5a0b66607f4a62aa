#include "tests/ui/GuiHarness.h"

#include "core/config/Config.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/image.h>

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

bool SaveScreenshot(wxWindow* window, const std::string& name)
{
    window->Raise();
    window->Refresh();
    window->Update();
    RunFor(300);
    // The screen holds what was drawn; a window's own device context cannot be read back here.
    const wxRect place = window->GetScreenRect();
    wxBitmap picture(place.width, place.height, 24);
    {
        wxScreenDC source;
        wxMemoryDC target(picture);
        target.Blit(0, 0, place.width, place.height, &source, place.x, place.y);
    }
    const wxImage image = picture.ConvertToImage();
    if (IsBlank(image))
        return false;
    const std::filesystem::path folder =
        std::filesystem::path(QUENDRY_BINARY_DIR) / "test-artefacts";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return image.SaveFile((folder / (name + ".png")).string(), wxBITMAP_TYPE_PNG);
}

RegistryFixture::RegistryFixture(const std::vector<std::string>& clientValues,
                                 const std::vector<std::string>& traceValues)
{
    std::ofstream hive(folder.File("HKEY_LOCAL_MACHINE.reg"), std::ios::binary);
    hive << "Windows Registry Editor Version 5.00\r\n\r\n";
    hive << "[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client]\r\n";
    for (const std::string& line : clientValues)
        hive << line << "\r\n";
    hive << "\r\n[HKEY_LOCAL_MACHINE\\Software\\Corvane GmbH\\Quendry Client\\Trace]\r\n";
    for (const std::string& line : traceValues)
        hive << line << "\r\n";
    hive.close();
    setenv("QUENDRY_REGISTRY_DIR", folder.Path().c_str(), 1);
    Corvane::Config::DestroyInstance();
    InitConfiguration();
}

RegistryFixture::~RegistryFixture()
{
    Corvane::Config::DestroyInstance();
    unsetenv("QUENDRY_REGISTRY_DIR");
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
