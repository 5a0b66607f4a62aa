#include "ui/StatusFader.h"

#include <cstdlib>

void StatusFader::Setup(wxColour start, wxColour end, wxImage image)
{
    startColour = start;
    endColour = end;
    picture = image;
    step = 0;
    steps = 50;
    if (picture.IsOk() && !picture.HasAlpha())
        picture.InitAlpha();
}

wxColour StatusFader::GetColour() const
{
    const double f = static_cast<double>(step) / steps;
    auto channel = [f](unsigned char from, unsigned char to)
    { return static_cast<unsigned char>(std::abs(to - from) * f); };
    return wxColour(channel(startColour.Red(), endColour.Red()),
                    channel(startColour.Green(), endColour.Green()),
                    channel(startColour.Blue(), endColour.Blue()), 255);
}

wxImage StatusFader::GetImage() const
{
    wxImage faded = picture.Copy();
    if (!faded.IsOk() || !faded.HasAlpha())
        return faded;
    const auto alpha = static_cast<unsigned char>((1.0 - static_cast<double>(step) / steps) * 255);
    unsigned char* pixels = faded.GetAlpha();
    const long count = static_cast<long>(faded.GetWidth()) * faded.GetHeight();
    for (long i = 0; i < count; ++i)
    {
        if (pixels[i] != 0)
            pixels[i] = alpha;
    }
    return faded;
}

bool StatusFader::Advance()
{
    if (++step > steps)
        step = steps;
    return step < steps;
}
