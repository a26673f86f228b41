#include "text_viewer.h"

#include "sending/loader.h"
#include "sending/text_check.h"

namespace quillpost {

TextViewer::TextViewer(
    const Send &send, Platform &platform, FileDialog &cd, TextBox &text1, ViewerHost &host)
    : send_(send), platform_(platform), cd_(cd), text1_(text1), host_(host)
{
}

void TextViewer::openview_Click()
{
    const std::string path = chooseFile(cd_, kViewDialogTitle);
    if (path.empty())
        return;
    text1_.setText(kVerifying);

    // The file input belongs to the send until it ends; the view must not take it away.
    if (send_.busy()) {
        platform_.msgBox(kViewWhileSending, MsgStyle::Exclamation);
        return;
    }
    auto reader = platform_.openInput(path);
    if (!reader) {
        platform_.msgBox(reader.error().message, MsgStyle::Exclamation);
        return;
    }
    std::string text;
    for (;;) {
        auto line = reader.value()->next(kCapacity - text.size());
        if (!line) {
            platform_.msgBox(line.error().message, MsgStyle::Exclamation);
            return;
        }
        if (!line.value())
            break;
        text += *line.value();
        text += kLineBreak;
        if (text.size() > kCapacity) {
            platform_.msgBox(kViewTooLarge, MsgStyle::Ok);
            return;
        }
    }
    reader.value().reset();

    if (text.size() > kMaxNoteChars)
        platform_.msgBox(kViewNote, MsgStyle::Ok);
    text1_.setText(std::string(kViewingPrefix) + path);
    ViewerWindow &viewer = host_.textviewer();
    viewer.text1().setText(text);
    viewer.show();
}

void TextViewer::Command1_Click()
{
    ViewerWindow &viewer = host_.textviewer();
    viewer.text1().setText("");
    viewer.hide();
}

} // namespace quillpost
