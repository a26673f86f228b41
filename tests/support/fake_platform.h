#pragma once

#include "platform/controls.h"
#include "platform/memory_registry.h"
#include "platform/platform.h"
#include "windows/about_box.h"
#include "windows/text_viewer.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillpost::test {

// A choice box's answer: the player pressed Enter.
inline const std::string kEnter = "Enter";

// A platform that records what the logic did, with switches that force the failures a real
// desktop produces.
class FakePlatform : public Platform
{
public:
    struct Box
    {
        std::string prompt;
        MsgStyle style;
    };
    // The `atSend`-th sendKeys call (from 1) fails with `kind` after typing `typed` strokes.
    struct SendFailure
    {
        int atSend;
        ErrorKind kind;
        std::size_t typed = 0;
    };
    // Changes to a file show in the readers that have it open, as on a real disk.
    struct File
    {
        std::string contents;
        std::size_t failAfter = std::string::npos; // reading fails once this many bytes are read
        std::size_t bytesRead = 0; // over all opens
        int open = 0;
    };

    // --- what the logic did
    std::string arrived; // the text that arrived in the client, Enter as '\r'
    std::vector<std::string> activated; // every appActivate title, found or not
    std::vector<Box> boxes;
    std::vector<std::pair<std::string, std::vector<std::string>>> choices; // prompt, offered
    std::vector<std::string> started; // programs started with shell(), then opened addresses
    int ownActivations = 0;
    bool ended = false;

    // --- the desktop
    bool clientOpen = true;
    std::string clientTitle = "zMUD"; // found by a title it begins with, ignoring case
    std::string clientClass = "XTerm";
    WindowId client { 0x2a }; // a reopened client is another window; a chosen one too
    std::optional<SendFailure> sendFailure;
    std::deque<std::string> inputAnswers;
    // The caption to choose, or kEnter for the one Enter takes; none left closes the box.
    std::deque<std::string> choiceAnswers;
    std::vector<std::string> existingFiles; // what dir(), shell() and openUrl() find
    MemoryRegistry reg;
    AppIdentity app { "Quillpost", 1, 2, 6 };
    std::map<std::string, File> files; // what openInput() finds
    std::function<void()> whileBoxOpen; // runs while a message box is "open"
    std::function<void()> beforeOpen; // runs before each openInput

    void addFile(
        const std::string &path, std::string contents, std::size_t failAfter = std::string::npos)
    {
        files[path].contents = std::move(contents);
        files[path].failAfter = failAfter;
    }
    int openFiles() const;
    void reopenClient()
    {
        clientOpen = true;
        ++client.value;
    }

    Result<WindowId> appActivate(std::string_view title) override;
    Outcome activate(WindowId window) override;
    Result<WindowId> findWindow(std::string_view title) override;
    Result<WindowInfo> describeWindow(WindowId window) override;
    Result<PickedWindow> pickWindow() override
    {
        if (picked)
            return *picked;
        return Error { ErrorKind::Cancelled, "No window was chosen." };
    }
    std::optional<PickedWindow> picked; // what a click picks; none: Esc
    void activateOwnWindow() override { ++ownActivations; }
    Outcome sendKeys(WindowId target, std::span<const KeyStroke> strokes) override;
    bool msgBox(std::string_view prompt, MsgStyle style) override;
    int choiceBox(std::string_view prompt, const std::vector<std::string> &choices,
        std::size_t preferred) override;
    std::string inputBox(std::string_view prompt, std::string_view title) override;
    Result<std::unique_ptr<LineReader>> openInput(const std::string &path) override;
    Outcome shell(const std::string &program, const std::vector<std::string> &args,
        ShellStyle style) override;
    Outcome openUrl(std::string_view url) override;
    std::string dir(std::string_view path) override;
    Registry &registry() override { return reg; }
    AppIdentity identity() const override { return app; }
    void end() override { ended = true; }

private:
    int sends_ = 0;
};

class FakeTextBox : public TextBox
{
public:
    std::string value;
    void setText(std::string_view text) override { value = text; }
};

class FakeMenuItem : public MenuItem
{
public:
    std::string captionValue;
    bool checkedValue = false, enabledValue = true;
    void setCaption(std::string_view c) override { captionValue = c; }
    bool checked() const override { return checkedValue; }
    void setChecked(bool c) override { checkedValue = c; }
    void setEnabled(bool e) override { enabledValue = e; }
};

class FakeTimer : public Timer
{
public:
    int value = 1000;
    int interval() const override { return value; }
    void setInterval(int ms) override { value = ms; }
};

// Each showOpen takes the next answer; none left, or "", is Cancel.
class FakeFileDialog : public FileDialog
{
public:
    std::deque<std::string> answers;
    std::string name;
    std::string fileName() const override { return name; }
    void setFileName(std::string_view n) override { name = n; }
    void setDialogTitle(std::string_view) override { }
    void showOpen() override;
};

// The viewer window and its host in one: `used` once the logic asked the host for it.
class FakeViewer : public ViewerHost, public ViewerWindow
{
public:
    FakeTextBox box;
    bool used = false, shown = false;
    ViewerWindow &textviewer() override
    {
        used = true;
        return *this;
    }
    TextBox &text1() override { return box; }
    void show() override { shown = true; }
    void hide() override { shown = false; }
};

class FakeAboutWindow : public AboutWindow
{
public:
    bool loaded = false;
    std::map<AboutLabel, FakeTextBox> labels;
    bool isLoaded() const override { return loaded; }
    void load() override
    {
        loaded = true;
        labels.clear();
    }
    void setCaption(std::string_view) override { }
    TextBox &label(AboutLabel which) override { return labels[which]; }
    void show() override { }
    void unload() override { loaded = false; }
};

class FakeWindow : public Window
{
public:
    int w = 4650, h = 1410;
    WindowState state = WindowState::Normal;
    int width() const override { return w; }
    int height() const override { return h; }
    void setWidth(int twips) override { w = twips; }
    void setHeight(int twips) override { h = twips; }
    WindowState windowState() const override { return state; }
};

} // namespace quillpost::test
