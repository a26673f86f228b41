#pragma once

#include "platform/memory_registry.h"
#include "platform/platform.h"

#include <memory>

class QSocketNotifier;

namespace quillpost::x11 {
class Typist;
class Windows;
} // namespace quillpost::x11

namespace quillpost::wl {
class NativeDesktop;
} // namespace quillpost::wl

namespace quillpost::qt {

// The desktop platform on X11 (XWayland included): Qt for boxes and dialogs, Xlib/XTest for other
// programs' X windows and keys. On a wlroots desktop, its native windows too, through Wayland.
class QtPlatform : public Platform
{
public:
    QtPlatform();
    ~QtPlatform() override;

    Result<WindowId> appActivate(std::string_view title) override;
    Outcome activate(WindowId window) override;
    Result<WindowId> findWindow(std::string_view title) override;
    Result<WindowInfo> describeWindow(WindowId window) override;
    Result<PickedWindow> pickWindow() override;
    void activateOwnWindow() override;
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
    Registry &registry() override { return registry_; }
    AppIdentity identity() const override;
    void end() override;

private:
    // The window of `title`: an exact title before a prefix, X11's before Wayland's.
    Result<WindowId> find(std::string_view title);
    Result<WindowId> findOrAdvise(std::string_view title);
    Result<PickedWindow> chooseFromList();

    MemoryRegistry registry_;
    std::unique_ptr<x11::Windows> windows_; // null without an X11 display
    std::unique_ptr<x11::Typist> typist_;
    std::unique_ptr<wl::NativeDesktop> wayland_; // null but on a Wayland desktop that offers a way
    std::unique_ptr<QSocketNotifier> waylandNews_;
    // What the player can do so that native windows are reached, said when a title is not found;
    // the box with it comes once a run.
    std::string waylandAdvice_;
    bool waylandAdviceShown_ = false;
};

} // namespace quillpost::qt
