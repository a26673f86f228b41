#pragma once

#include "platform/platform.h"
#include "win32_registry.h"
#include "win32_typist.h"

namespace quillpost::win32 {

// The platform on Windows: Win32 boxes and dialogs, SendInput for the client's keys, the
// system's registry and shell.
class Win32Platform : public Platform
{
public:
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
    SystemRegistry registry_;
    Typist typist_;
};

} // namespace quillpost::win32
