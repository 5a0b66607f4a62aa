// The screen of the X server the test program draws on.
#include "tests/ui/GuiHarness.h"

#include <memory>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace GuiTest
{
namespace
{
Display* XDisplay()
{
    static Display* display = XOpenDisplay(nullptr);
    return display;
}
} // namespace

// Straight from the X server's screen: the toolkit's own screen reading can return what a closed
// window left behind instead of the window shown there now.
wxImage GrabScreen(const wxRect& place)
{
    Display* display = XDisplay();
    if (display == nullptr)
        return wxImage();
    const Screen* screen = DefaultScreenOfDisplay(display);
    if (!wxRect(0, 0, screen->width, screen->height).Contains(place))
        return wxImage();
    XImage* grabbed = XGetImage(display, DefaultRootWindow(display), place.x, place.y, place.width,
                                place.height, AllPlanes, ZPixmap);
    const auto destroy = [](XImage* image) { XDestroyImage(image); };
    std::unique_ptr<XImage, decltype(destroy)> pixels(grabbed, destroy);
    if (!pixels)
        return wxImage();
    wxImage image(place.width, place.height);
    for (int y = 0; y < place.height; ++y)
        for (int x = 0; x < place.width; ++x)
        {
            const unsigned long pixel = XGetPixel(pixels.get(), x, y);
            image.SetRGB(x, y, (pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
        }
    return image;
}

bool FocusWindowByTitle(const std::string& title, wxRect& place)
{
    Display* display = XDisplay();
    if (display == nullptr)
        return false;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return false;
    bool found = false;
    for (unsigned i = 0; i < count && !found; ++i)
    {
        char* name = nullptr;
        XWindowAttributes attributes;
        if (XFetchName(display, children[i], &name) && name != nullptr)
        {
            found = title == name && XGetWindowAttributes(display, children[i], &attributes) &&
                    attributes.map_state == IsViewable;
            XFree(name);
        }
        if (found)
        {
            place = wxRect(attributes.x, attributes.y, attributes.width, attributes.height);
            // An unfocused window draws its controls in the toolkit's faded backdrop look.
            XSetInputFocus(display, children[i], RevertToParent, CurrentTime);
            XSync(display, False);
        }
    }
    XFree(children);
    return found;
}

} // namespace GuiTest
