#include "loader.h"

#include "preflight.h"
#include "text_check.h"

#include <algorithm>
#include <sstream>

namespace quillpost {
namespace {

// Enter takes the first choice, but Cancel (the last) where a part of a line would run as the
// client's own command: that part could do anything there, quitting the client included.
std::size_t enterTakes(const std::vector<std::string> &choices, const std::vector<Finding> &found)
{
    const bool runsInClient
        = std::ranges::any_of(found, [](const Finding &f) { return !f.command.empty(); });
    return runsInClient ? choices.size() - 1 : 0;
}

} // namespace

Loader::Loader(Send &send, const SendSettings &settings, Platform &platform, FileDialog &cd,
    TextBox &text1, MenuItem &pause)
    : send_(send), settings_(settings), platform_(platform), cd_(cd), text1_(text1), pause_(pause)
{
}

void Loader::openfile_Click()
{
    pause_.setEnabled(true);
    const std::string path = chooseFile(cd_, kSendDialogTitle);
    if (path.empty())
        return;
    text1_.setText(kVerifying);

    if (send_.busy()) {
        // Its remaining lines are dropped; a send that was under way ends on the next tick
        // unless this file replaces it.
        text1_.setText(kOtherFileOpen);
        pause_.setEnabled(false);
        send_.drop();
    }

    auto checked = [&]() -> Result<FileCheck> {
        auto reader = platform_.openInput(path);
        if (!reader)
            return reader.error();
        return checkFileToSend(*reader.value());
    }();
    if (!checked) {
        refuseUnreadable(checked.error());
        return;
    }
    switch (checked.value().verdict) {
    case FileCheck::Verdict::TooLarge:
        platform_.msgBox(kTooLarge, MsgStyle::Ok);
        text1_.setText(kTooLarge);
        return;
    case FileCheck::Verdict::NotText: {
        const std::string text = "This is not a plain text file: "
            + describeBadByte(checked.value().line, checked.value().bad)
            + ". Only printable ASCII text can be sent; nothing was typed.";
        platform_.msgBox(text, MsgStyle::Exclamation);
        text1_.setText(text);
        return;
    }
    case FileCheck::Verdict::Fits:
        break;
    }

    std::string wrapped;
    auto plan = checkAgainstServer(path, wrapped);
    if (!plan) {
        refuseUnreadable(plan.error());
        return;
    }
    if (plan.value() == Plan::Cancelled) {
        text1_.setText(kSendCancelled);
        return;
    }

    if (plan.value() == Plan::Wrapped) {
        send_.start(
            std::make_unique<LineReader>(std::make_unique<std::istringstream>(wrapped), path));
        return;
    }
    auto reader = platform_.openInput(path);
    if (!reader) {
        refuseUnreadable(reader.error());
        return;
    }
    send_.start(std::move(reader.value()));
}

Result<Loader::Plan> Loader::checkAgainstServer(const std::string &path, std::string &wrapped)
{
    auto reader = platform_.openInput(path);
    if (!reader)
        return reader.error();
    const ClientHabits *client = clientHabits();
    Preflight check(settings_.noteSpool, client);
    std::vector<std::string> lines;
    // Past this many lines every further one is refused anyway (each stores at least "\n\r"),
    // so reading stops there; such a file is only ever sent as it is, never rebuilt from a part.
    std::size_t total = 0;
    bool complete = false;
    while (lines.size() <= kMaxNoteChars) {
        auto line = reader.value()->next(kMaxNoteChars - total);
        if (!line)
            return line.error();
        if (!line.value()) {
            complete = true;
            break;
        }
        // Only a file that grew since the size check can pass it now; never hold it whole.
        total += line.value()->size();
        if (total > kMaxNoteChars)
            return Error { ErrorKind::File, path + " changed while it was being checked." };
        check.add(*line.value());
        lines.push_back(std::move(*line.value()));
    }
    if (check.findings().empty())
        return Plan::AsItIs;

    const std::string lb(kLineBreak);
    const bool offerWrap = check.anyCut() && complete;
    std::vector<std::string> choices { std::string(kSendAsItIs), std::string(kCancelSend) };
    if (offerWrap)
        choices.insert(choices.begin(), std::string(kWrapAndSend));
    const std::string advice
        = check.anyForClient() ? std::string(client->advice) + lb + lb : std::string();
    const std::string prompt
        = (client && check.anyForClient() ? "Through " + std::string(client->name)
                      + " to a ROM 2.4 "
                        "style server this file would not arrive as written:"
                                          : "On a ROM 2.4 style server this file would not arrive "
                                            "as written:")
        + lb + lb + describeFindings(check.findings(), lb, client) + lb + advice
        + (offerWrap ? "Wrap the long lines at 79 columns and send, send it as it is, or "
                       "cancel?"
                     : "Send it as it is, or cancel?");
    const int chosen = platform_.choiceBox(prompt, choices, enterTakes(choices, check.findings()));
    if (chosen < 0 || choices[static_cast<std::size_t>(chosen)] == kCancelSend)
        return Plan::Cancelled;
    if (choices[static_cast<std::size_t>(chosen)] == kSendAsItIs)
        return Plan::AsItIs;

    Preflight again(settings_.noteSpool, client);
    for (const std::string &line : lines) {
        for (std::string &part : wrapLine(line, RomLimits::kWrapColumns)) {
            again.add(part);
            wrapped += part;
            wrapped += "\r\n";
        }
    }
    if (!again.findings().empty()) {
        const std::vector<std::string> last { std::string(kSendAsItIs), std::string(kCancelSend) };
        const int sendAnyway = platform_.choiceBox(
            "Wrapped at 79 columns, the file would still not arrive as written:" + lb + lb
                + describeFindings(again.findings(), lb, client) + lb + advice
                + "Send it as it is, or cancel?",
            last, enterTakes(last, again.findings()));
        if (sendAnyway != 0)
            return Plan::Cancelled;
    }
    return Plan::Wrapped;
}

// The client the send would go to, if it is open now and known to take lines for its own: the
// chosen window while it is open, else the one the title rule finds, as the sender does.
const ClientHabits *Loader::clientHabits()
{
    auto info = settings_.chosenClient ? platform_.describeWindow(*settings_.chosenClient)
                                       : Result<WindowInfo>(Error { ErrorKind::NoWindow, "" });
    if (!info) {
        auto window = platform_.findWindow(settings_.clientTitle);
        if (!window)
            return nullptr;
        info = platform_.describeWindow(window.value());
    }
    return info ? habitsOf(info.value()) : nullptr;
}

// Retrying would fail the same way for ever: end with nothing open and nothing to send, and the
// reason in view.
void Loader::refuseUnreadable(const Error &error)
{
    text1_.setText("Error: " + error.message);
    pause_.setEnabled(false);
    send_.stop();
}

} // namespace quillpost
