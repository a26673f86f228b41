#include "application.h"

namespace quillpost {

Application::Application(Platform &platform, Form1 form, OtherWindows windows)
    : platform_(platform),
      form_(form),
      sender_(state_, platform, form.Text1, form.menu.item("pause")),
      loader_(state_, platform, form.cd, form.Text1, form.menu.item("pause")),
      intervals_(form.Timer1, form.Text1),
      spools_(state_, platform, form.Text1, form.menu),
      viewer_(state_, platform, form.cd, form.Text1, windows.viewerHost),
      about_(platform, form.Text1, windows.frmAbout),
      helpWebsite_(platform, form.Text1, state_.lineBreak)
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
    state_.sending = false;
    state_.noteSpool = "note";
    state_.lineBreak = "\r\n";
    form_.Text1.setText(kCreditLine);
    state_.lockedWidth = form_.window.width();
    state_.lockedHeight = form_.window.height();
}

void Application::Form_Resize()
{
    if (form_.window.windowState() == WindowState::Minimized)
        return;
    if (form_.window.windowState() == WindowState::Maximized)
        return;
    form_.window.setWidth(state_.lockedWidth);
    form_.window.setHeight(state_.lockedHeight);
}

void Application::exit_Click()
{
    platform_.end();
}

// Closing the window used to leave a hidden program typing; now it quits, but a send is the one
// thing a stray click must not lose, so it asks first. Ticks hold while the box is open.
void Application::Form_QueryUnload()
{
    if (state_.file1) {
        const std::string prompt = "A file is being sent: line "
            + std::to_string(state_.file1->linesRead() + (state_.unsentLine ? 0 : 1)) + " is next."
            + state_.lineBreak + state_.lineBreak + "Stop the send and quit Quillpost?";
        const std::vector<std::string> choices { std::string(kStopAndQuit),
            std::string(kKeepSending) };
        if (platform_.choiceBox(prompt, choices) != 0)
            return;
        state_.closeFile1();
        state_.sending = false;
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
