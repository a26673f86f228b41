#pragma once

#include "windows/about_box.h"

#include <array>
#include <string_view>

// The program's three windows as both toolkits build them: places in twips (1/1440 inch) from
// the top left of the window's client area, captions, fonts.
namespace quillpost::layout {

struct Point
{
    int left;
    int top;
};

struct Size
{
    int width;
    int height;
};

struct Rect
{
    int left;
    int top;
    int width;
    int height;
};

struct Control
{
    std::string_view name;
    std::string_view caption;
    Rect rect;
};

struct Font
{
    std::string_view face; // the desktop's sans-serif where it is missing
    int hundredthsOfPoint;
};

// The status box's and the viewer's text.
inline constexpr Font kTextFont { "Verdana", 825 };

// `Form1`, in kTextFont.
struct MainWindowLayout
{
    std::string_view name = "Form1";
    std::string_view caption = "Quillpost";
    Size client { 4530, 765 }; // below the menu bar
    Control text1 { "Text1", "Status:", { 0, 0, 4575, 765 } };
    // Below the client area: never seen, never focused.
    Control n { "N", "No Note Type", { 1440, 840, 1695, 375 } };
};
inline constexpr MainWindowLayout kMainWindow {};

struct ViewerLayout
{
    std::string_view name = "textviewer";
    std::string_view caption = "Text Viewer";
    Size client { 6360, 4785 };
    Control text1 { "Text1", "", { 0, 0, 6375, 4095 } };
    Control command1 { "Command1", "Close", { 2280, 4200, 1815, 495 } };
};
inline constexpr ViewerLayout kViewer {};

struct AboutLabelPlace
{
    AboutLabel which;
    std::string_view name;
    Rect rect;
};

// `frmAbout`, in the desktop's dialog font; its caption and labels' texts come from AboutBox.
struct AboutLayout
{
    std::string_view name = "frmAbout";
    Point origin { 2340, 1935 }; // of the client area, on the screen
    Size client { 5730, 3555 };
    Control cmdOK { "cmdOK", "OK", { 4245, 2625, 1260, 345 } };
    Control cmdSysInfo { "cmdSysInfo", "&System Info...", { 4260, 3075, 1245, 345 } };
    Control picIcon { "picIcon", "", { 240, 240, 540, 540 } };
    std::array<AboutLabelPlace, 4> labels { {
        { AboutLabel::lblTitle, "lblTitle", { 1050, 240, 3885, 480 } },
        { AboutLabel::lblVersion, "lblVersion", { 1050, 780, 3885, 225 } },
        { AboutLabel::lblDescription, "lblDescription", { 1050, 1125, 3885, 1170 } },
        { AboutLabel::lblDisclaimer, "lblDisclaimer", { 255, 2625, 3870, 825 } },
    } };
    // The title is bold, its size the dialog font's times titleScale[0] / titleScale[1].
    std::array<int, 2> titleScale { 3, 2 };
    // An etched line: a dark one over the top half, a light one a half lower and to the right.
    Rect separator { 90, 2445, 5564, 30 };
};
inline constexpr AboutLayout kAbout {};

} // namespace quillpost::layout
