#include "help_website.h"

#include <array>

namespace quillpost {

std::string helpText()
{
    static constexpr std::array<std::string_view, 10> kLines {
        "Basic Help",
        "",
        "1.) Only use ASCII Text files.. not word documents or word processor docs.",
        "An easy check for this is to see if Notepad can open the file, if it can't, then my app "
        "can't.",
        "2.) Be sure Zmud is open, connected to Hollowmere and you have no notes in progress.",
        "3.) This program will only send 4096 characters (Hollowmere and ROM's max note size)... "
        "if your file is too big",
        "you will get an error telling you this.  To fix this, shorten the text file size.",
        "4.) Open file to send will send the file to ZMud, Open file to view will just view the "
        "file in my internal editor",
        "5.) If you try to view a file while another is open, all operations will be cancelled.  "
        "When the program is in",
        "the action of sending a file, use on the pause/start options if you want to continue.",
    };
    std::string text;
    for (std::size_t i = 0; i < kLines.size(); ++i) {
        if (i > 0)
            text += kLineBreak;
        text += kLines[i];
    }
    return text;
}

void HelpWebsite::help_Click()
{
    platform_.msgBox(helpText(), MsgStyle::Ok);
}

void HelpWebsite::website_Click()
{
    text1_.setText(std::string(kWebsiteStatus) + std::string(kWebsite));
    if (auto opened = platform_.openUrl(kWebsite); !opened)
        platform_.msgBox("The web browser could not be started for " + std::string(kWebsite) + ". "
                + opened.error().message,
            MsgStyle::Exclamation);
}

} // namespace quillpost
