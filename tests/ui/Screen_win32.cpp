// The screen as Windows shows it (under Wine: the display the test program draws on).
#include "tests/ui/GuiHarness.h"

#include <memory>
#include <type_traits>
#include <vector>
#include <wx/string.h>

#include <windows.h>

namespace GuiTest
{
namespace
{
struct ScreenDcRelease
{
    void operator()(HDC dc) const { ReleaseDC(nullptr, dc); }
};
struct DcDelete
{
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct ObjectDelete
{
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using ScreenDc = std::unique_ptr<std::remove_pointer_t<HDC>, ScreenDcRelease>;
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDelete>;
using GdiBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, ObjectDelete>;

// Copies the area into a bitmap of 32 bits a pixel, top row first (blue, green, red, unused).
std::vector<unsigned char> CopyScreen(const wxRect& place)
{
    const ScreenDc screen(GetDC(nullptr));
    const MemoryDc memory(CreateCompatibleDC(screen.get()));
    const GdiBitmap bitmap(CreateCompatibleBitmap(screen.get(), place.width, place.height));
    if (!screen || !memory || !bitmap)
        return {};
    const HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
    const bool copied = BitBlt(memory.get(), 0, 0, place.width, place.height, screen.get(), place.x,
                               place.y, SRCCOPY) != 0;
    SelectObject(memory.get(), previous);
    if (!copied)
        return {};
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = place.width;
    format.bmiHeader.biHeight = -place.height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::vector<unsigned char> pixels(4u * place.width * place.height);
    if (GetDIBits(memory.get(), bitmap.get(), 0, place.height, pixels.data(), &format,
                  DIB_RGB_COLORS) != place.height)
        return {};
    return pixels;
}
} // namespace

// Straight from the screen's device context: the toolkit's own screen reading goes the same way
// but through a bitmap of its own that a closed window's picture can remain in.
wxImage GrabScreen(const wxRect& place)
{
    const wxRect screen(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    if (place.IsEmpty() || !screen.Contains(place))
        return wxImage();
    const std::vector<unsigned char> pixels = CopyScreen(place);
    if (pixels.empty())
        return wxImage();
    wxImage image(place.width, place.height);
    unsigned char* rgb = image.GetData();
    for (size_t pixel = 0; pixel < pixels.size() / 4; ++pixel)
    {
        rgb[3 * pixel] = pixels[4 * pixel + 2];
        rgb[3 * pixel + 1] = pixels[4 * pixel + 1];
        rgb[3 * pixel + 2] = pixels[4 * pixel];
    }
    return image;
}

bool FocusWindowByTitle(const std::string& title, wxRect& place)
{
    const HWND window = FindWindowW(nullptr, wxString::FromUTF8(title).wc_str());
    RECT rect;
    if (window == nullptr || !IsWindowVisible(window) || !GetWindowRect(window, &rect))
        return false;
    place = wxRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    // An unfocused window draws its controls as inactive ones.
    SetForegroundWindow(window);
    return true;
}
} // namespace GuiTest
