#pragma once
// Value types of the forms runtime: colours, window handles, places in twips, dates,
// mouse buttons and pointers, window styles, the command line's options and output.

#include <cstdint>
#include <string>

namespace forms {

namespace body {
class Window;
}

// A colour as &H00BBGGRR; values &H8000000n name system colours.
using Color = std::int32_t;
constexpr Color RGB(int r, int g, int b) { return r | (g << 8) | (b << 16); }
constexpr Color vbButtonFace = static_cast<Color>(0x8000000F);
constexpr Color vbWindowText = static_cast<Color>(0x80000008);

// The native window of a form or control.
using HWND = body::Window *;

// A point of the desktop in twips.
struct TwipsPoint {
    float x = 0, y = 0;
};

// Local date and time, to the second.
struct DateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    friend bool operator==(const DateTime &, const DateTime &) = default;
};

// Where a command line's text goes.
enum class OutputStream { Output, Error };

// An option of the window system's own, with a value, read by it from the command line.
struct CommandLineOption {
    std::string name;  // without its dash
    std::string value; // what the value is, as the help names it
    std::string help;
};

// Mouse buttons as the MouseDown event numbers them.
constexpr std::int16_t vbLeftButton = 1;
constexpr std::int16_t vbRightButton = 2;
constexpr std::int16_t vbMiddleButton = 4;

// How a top-level window looks and behaves towards the window manager.
enum class FormStyle {
    Strip,    // borderless, fixed, on every desktop, no taskbar button, ordinary stacking
    Particle, // borderless, above all others, never takes focus or clicks
    Dialog,   // fixed modal dialog offering only its close box, no taskbar button
    Hidden,   // never shown
};

// The mouse pointer shown over a control.
enum class MousePointer { Default, Arrow, Cross };

} // namespace forms
