#include "application.h"

#include "windows/credit.h"

namespace quillpost {

Application::Application(Platform &platform, Form1 form, OtherWindows windows)
    : platform_(platform),
      form_(form),
      send_(form.menu.item("pause")),
      sender_(send_, settings_, platform, form.Text1, form.menu.item("pause")),
      loader_(send_, settings_, platform, form.cd, form.Text1, form.menu.item("pause")),
      intervals_(form.Timer1, form.Text1),
      spools_(settings_, platform, form.Text1, form.menu),
      viewer_(send_, platform, form.cd, form.Text1, windows.viewerHost),
      about_(platform, form.Text1, windows.frmAbout),
      helpWebsite_(platform, form.Text1)
{
    handlers_ = {
        { "openfile", [this] { loader_.openfile_Click(); } },
        { "exit", [this] { exit_Click(); } },
        { "pause", [this] { sender_.pause_Click(); } },
        { "chooseclient", [this] { sender_.chooseclient_Click(); } },
        { "showtimerinterval", [this] { intervals_.showtimerinterval_Click(); } },
        { "N", [this] { spools_.N_Click(); } },
        { "openview", [this] { viewer_.openview_Click(); } },
        { "about", [this] { about_.about_Click(); } },
        { "website", [this] { helpWebsite_.website_Click(); } },
        { "help", [this] { helpWebsite_.help_Click(); } },
        { "custom", [this] { spools_.custom_Click(); } },
        { "displaycustom", [this] { spools_.displaycustom_Click(); } },
    };
    for (const IntervalRow &row : kIntervalRows)
        handlers_[row.item] = [this, &row] { intervals_.interval_Click(row); };
    for (const SpoolRow &row : kSpoolRows)
        handlers_[row.item] = [this, &row] { spools_.spool_Click(row); };
}

void Application::Form_Load()
{
    form_.Text1.setText(kCreditLine);
    lockedWidth_ = form_.window.width();
    lockedHeight_ = form_.window.height();
}

void Application::Form_Resize()
{
    if (form_.window.windowState() == WindowState::Minimized)
        return;
    if (form_.window.windowState() == WindowState::Maximized)
        return;
    form_.window.setWidth(lockedWidth_);
    form_.window.setHeight(lockedHeight_);
}

void Application::exit_Click()
{
    platform_.end();
}

// Closing the window used to leave a hidden program typing; now it quits, but a send is the one
// thing a stray click must not lose, so it asks first. Ticks hold while the box is open.
void Application::Form_QueryUnload()
{
    if (send_.busy()) {
        const std::string lb(kLineBreak);
        const std::string prompt = "A file is being sent: line "
            + std::to_string(send_.nextLineNumber()) + " is next." + lb + lb
            + "Stop the send and quit Quillpost?";
        const std::vector<std::string> choices { std::string(kStopAndQuit),
            std::string(kKeepSending) };
        if (platform_.choiceBox(prompt, choices, 0) != 0)
            return;
        send_.stop();
    }
    platform_.end();
}

bool Application::click(std::string_view item)
{
    auto handler = handlers_.find(item);
    if (handler == handlers_.end())
        return false;
    handler->second();
    return true;
}

} // namespace quillpost
