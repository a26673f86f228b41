#include "loader.h"

#include "sender.h"
#include "text_check.h"

namespace quillpost {

Loader::Loader(
    SharedState &state, Platform &platform, FileDialog &cd, TextBox &text1, MenuItem &pause)
    : state_(state), platform_(platform), cd_(cd), text1_(text1), pause_(pause)
{
}

void Loader::openfile_Click()
{
    pause_.setEnabled(true);
    cd_.setFileName("");
    cd_.setDialogTitle(kSendDialogTitle);
    cd_.showOpen();
    const std::string path = cd_.fileName();
    if (path.empty())
        return;
    text1_.setText(kVerifying);

    if (state_.file1) {
        // A send holds file number 1, running or paused: its remaining lines are dropped.
        text1_.setText(kOtherFileOpen);
        pause_.setEnabled(false);
        state_.closeFile1();
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

    state_.sendFilePath = path;
    auto reader = platform_.openInput(path);
    if (!reader) {
        refuseUnreadable(reader.error());
        return;
    }
    state_.file1 = std::move(reader.value());
    pause_.setCaption(kPauseCaption);
    state_.sending = true;
}

// Retrying would fail the same way for ever: end with nothing open and nothing to send, and the
// reason in view.
void Loader::refuseUnreadable(const Error &error)
{
    text1_.setText("Error: " + error.message);
    pause_.setEnabled(false);
    state_.closeFile1();
    state_.sending = false;
}

} // namespace quillpost
