#pragma once

#include "platform/controls.h"
#include "platform/platform.h"
#include "sending/send.h"

#include <cstddef>
#include <string_view>

namespace quillpost {

inline constexpr std::string_view kViewDialogTitle = "Open File to View (In internal editor)";
inline constexpr std::string_view kViewingPrefix = "Status: Viewing file ";
inline constexpr std::string_view kViewNote
    = "NOTE: This file exceeds the note spools maximum size (4096 characters).";
inline constexpr std::string_view kViewTooLarge
    = "That file is to large for the text control... use an appliation like Wordpad to view it.";
inline constexpr std::string_view kViewWhileSending
    = "A file is being sent (or is paused) and holds the file input. Let it finish, or load no "
      "other file, before you view one; the send was left as it was.";

// The `textviewer` window. The host creates it on first use and after it was closed.
class ViewerWindow
{
public:
    virtual ~ViewerWindow() = default;
    virtual TextBox &text1() = 0;
    virtual void show() = 0; // modeless
    virtual void hide() = 0;
};

class ViewerHost
{
public:
    virtual ~ViewerHost() = default;
    virtual ViewerWindow &textviewer() = 0;
};

// "Open file to View": reads a file into the viewer window, with a note when it is longer than a
// note spool takes.
class TextViewer
{
public:
    // What the viewer's text box takes, in characters (line breaks included). Reading stops past
    // it, so a huge file is refused without being read whole.
    static constexpr std::size_t kCapacity = 1 << 20;

    TextViewer(
        const Send &send, Platform &platform, FileDialog &cd, TextBox &text1, ViewerHost &host);

    void openview_Click();
    void Command1_Click();

private:
    const Send &send_;
    Platform &platform_;
    FileDialog &cd_;
    TextBox &text1_;
    ViewerHost &host_;
};

} // namespace quillpost
