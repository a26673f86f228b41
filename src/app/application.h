#pragma once

#include "shared_state.h"

#include "platform/controls.h"
#include "platform/platform.h"
#include "sending/intervals.h"
#include "sending/loader.h"
#include "sending/sender.h"
#include "spools/spools.h"

#include <functional>
#include <map>
#include <string_view>

namespace quillpost {

inline constexpr std::string_view kCreditLine
    = "Written by: the Quillpost developers, for the players of Hollowmere";

// The controls of the main window `Form1`.
struct Form1
{
    Window &window;
    TextBox &Text1;
    Timer &Timer1;
    FileDialog &cd;
    MenuItems &menu;
};

// The program: its shared state and every command of the main window, free of any toolkit.
class Application
{
public:
    Application(Platform &platform, Form1 form);

    void Form_Load();
    void Form_Resize();
    void exit_Click();
    void Timer1_Timer() { sender_.Timer1_Timer(); }

    // Runs the click handler of the named menu item; false for an item that has none.
    bool click(std::string_view item);

    const SharedState &state() const { return state_; }

private:
    SharedState state_;
    Platform &platform_;
    Form1 form_;
    Sender sender_;
    Loader loader_;
    Intervals intervals_;
    Spools spools_;
    std::map<std::string_view, std::function<void()>> handlers_;
};

} // namespace quillpost
