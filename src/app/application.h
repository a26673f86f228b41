#pragma once

#include "platform/controls.h"
#include "platform/platform.h"
#include "sending/intervals.h"
#include "sending/loader.h"
#include "sending/send.h"
#include "sending/send_settings.h"
#include "sending/sender.h"
#include "spools/spools.h"
#include "windows/about_box.h"
#include "windows/help_website.h"
#include "windows/text_viewer.h"

#include <functional>
#include <map>
#include <string_view>

namespace quillpost {

inline constexpr std::string_view kStopAndQuit = "&Stop and quit";
inline constexpr std::string_view kKeepSending = "&Keep sending";

// The controls of the main window `Form1`.
struct Form1
{
    Window &window;
    TextBox &Text1;
    Timer &Timer1;
    FileDialog &cd;
    MenuItems &menu;
};

// The program's other windows, created on first use.
struct OtherWindows
{
    ViewerHost &viewerHost;
    AboutWindow &frmAbout;
};

// The program: what its commands share and every command of the main window, free of any toolkit.
class Application
{
public:
    Application(Platform &platform, Form1 form, OtherWindows windows);

    void Form_Load();
    void Form_Resize();
    void exit_Click();
    // The main window's close button: ends the program, after asking while a send is under way.
    void Form_QueryUnload();
    void Timer1_Timer() { sender_.Timer1_Timer(); }
    // From the command line: the title the client window is found by.
    void setClientTitle(std::string title) { settings_.clientTitle = std::move(title); }

    // Runs the click handler of the named menu item; false for an item that has none.
    bool click(std::string_view item);

    // The buttons of the other windows.
    void textviewer_Command1_Click() { viewer_.Command1_Click(); }
    void frmAbout_cmdOK_Click() { about_.cmdOK_Click(); }
    void frmAbout_cmdSysInfo_Click() { about_.cmdSysInfo_Click(); }

    const Send &send() const { return send_; }
    const SendSettings &settings() const { return settings_; }

private:
    Platform &platform_;
    Form1 form_;
    SendSettings settings_;
    Send send_;
    int lockedWidth_ = 0; // twips
    int lockedHeight_ = 0;
    Sender sender_;
    Loader loader_;
    Intervals intervals_;
    Spools spools_;
    TextViewer viewer_;
    AboutBox about_;
    HelpWebsite helpWebsite_;
    std::map<std::string_view, std::function<void()>> handlers_;
};

} // namespace quillpost
