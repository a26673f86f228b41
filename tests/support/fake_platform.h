#pragma once

#include "platform/controls.h"
#include "platform/platform.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillpost::test {

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

    // --- what the logic did
    std::vector<std::string> keys; // each sendKeys text, as handed in
    std::vector<std::string> activated; // every appActivate title, found or not
    std::vector<Box> boxes;
    std::vector<std::pair<std::string, std::string>> prompts; // inputBox prompt, title
    int ownActivations = 0;
    bool ended = false;

    // The text that arrived in the client: every sendKeys parsed, Enter as '\r'.
    std::string arrived;

    // --- the desktop
    bool clientOpen = true;
    int clientMissingChecks = 0; // appActivate fails this many more times
    std::optional<int> focusLostAtSend; // the n-th sendKeys call (from 1) finds the focus elsewhere
    std::optional<int> typingFailsAtSend;
    std::deque<std::string> inputAnswers;
    std::function<void(const Box &)> whileBoxOpen; // runs while a message box is "open"
    std::function<void(const std::string &)> beforeOpen; // runs before each openInput

    // --- files
    void addFile(const std::string &path, std::string contents);
    // Reading `path` fails once `bytes` bytes of it have been read.
    void failReadAfter(const std::string &path, std::size_t bytes);
    // An endless file; bytesRead() tells how much of it the logic read.
    void addEndlessFile(const std::string &path, char fill);
    std::size_t bytesRead(const std::string &path) const;
    int openFiles() const;

    Result<WindowId> appActivate(std::string_view title) override;
    void activateOwnWindow() override { ++ownActivations; }
    Outcome sendKeys(WindowId target, std::string_view keys) override;
    void msgBox(std::string_view prompt, MsgStyle style) override;
    std::string inputBox(std::string_view prompt, std::string_view title) override;
    Result<std::unique_ptr<LineReader>> openInput(const std::string &path) override;
    void end() override { ended = true; }

    static constexpr WindowId kClient { 0x2a };

private:
    struct File
    {
        std::string contents;
        std::optional<std::size_t> failAfter;
        std::optional<char> endlessFill;
        std::shared_ptr<std::size_t> bytesRead = std::make_shared<std::size_t>(0);
        std::shared_ptr<int> openCount = std::make_shared<int>(0);
    };
    std::map<std::string, File> files_;
    int sends_ = 0;
};

class FakeTextBox : public TextBox
{
public:
    std::string value;
    std::string text() const override { return value; }
    void setText(std::string_view text) override { value = text; }
};

class FakeMenuItem : public MenuItem
{
public:
    std::string captionValue;
    bool checkedValue = false;
    bool enabledValue = true;
    std::string caption() const override { return captionValue; }
    void setCaption(std::string_view c) override { captionValue = c; }
    bool checked() const override { return checkedValue; }
    void setChecked(bool c) override { checkedValue = c; }
    bool enabled() const override { return enabledValue; }
    void setEnabled(bool e) override { enabledValue = e; }
};

class FakeTimer : public Timer
{
public:
    int value = 1000;
    int interval() const override { return value; }
    void setInterval(int ms) override { value = ms; }
};

// Each showOpen takes the next answer ("" is Cancel) and records the title it was shown with.
class FakeFileDialog : public FileDialog
{
public:
    std::deque<std::string> answers;
    std::vector<std::string> titles;
    std::string name;
    std::string title;
    std::function<void()> whileOpen;
    std::string fileName() const override { return name; }
    void setFileName(std::string_view n) override { name = n; }
    std::string dialogTitle() const override { return title; }
    void setDialogTitle(std::string_view t) override { title = t; }
    void showOpen() override;
};

class FakeWindow : public Window
{
public:
    int w = 4650, h = 1410;
    WindowState state = WindowState::Normal;
    bool shown = false;
    int width() const override { return w; }
    int height() const override { return h; }
    void setWidth(int twips) override { w = twips; }
    void setHeight(int twips) override { h = twips; }
    WindowState windowState() const override { return state; }
    void show() override { shown = true; }
    void hide() override { shown = false; }
};

} // namespace quillpost::test
