#pragma once
// What a window shows, one colour per pixel, for checks of its look.

#include <vector>

#include "forms/Body.h"

struct Shot {
    explicit Shot(const forms::body::Window &window) : width(window.screenRect().width), pixels(window.grab()) {}
    forms::Color at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
    int height() const { return width ? static_cast<int>(pixels.size()) / width : 0; }
    // Pixels of the colour in the rectangle (pixels from the window's corner).
    int count(const forms::PixelRect &area, forms::Color colour) const
    {
        int n = 0;
        for (int y = area.top; y < area.bottom(); ++y)
            for (int x = area.left; x < area.right(); ++x)
                n += at(x, y) == colour;
        return n;
    }

    int width;
    std::vector<forms::Color> pixels;
};
