#pragma once

#include "platform/controls.h"
#include "platform/platform.h"

#include <string>
#include <string_view>

namespace quillpost {

inline constexpr std::string_view kServerHost = "hollowmere.example.org";
inline constexpr std::string_view kSysInfoUnavailable
    = "System Information Is Unavailable At This Time";
inline constexpr std::string_view kMsinfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr std::string_view kMsinfoLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
// Query value, set value, create sub-key, enumerate sub-keys, notify, create link, read control.
inline constexpr std::uint32_t kAboutKeyAccess = 0x2003F;

enum class AboutLabel { lblTitle, lblVersion, lblDescription, lblDisclaimer };

// The `frmAbout` window. Loading builds its controls; unloading destroys them, and the next show
// loads it again.
class AboutWindow
{
public:
    virtual ~AboutWindow() = default;
    virtual bool isLoaded() const = 0;
    virtual void load() = 0;
    virtual void setCaption(std::string_view caption) = 0;
    virtual TextBox &label(AboutLabel which) = 0;
    virtual void show() = 0; // modeless, no owner; brings it forward when shown
    virtual void unload() = 0;
};

std::string versionLine(const AppIdentity &app);
std::string descriptionText();

// The About box: title, version, description, and the system information tool.
class AboutBox
{
public:
    AboutBox(Platform &platform, TextBox &text1, AboutWindow &window);

    void about_Click();
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click() { StartSysInfo(); }
    void StartSysInfo();

    // True when the value was read (and, for text and numbers, put in keyVal); false when the key
    // or value cannot be read. An error is a run-time failure, such as a value of size 0; the key
    // is closed on every way out.
    Result<bool> GetKeyValue(std::uint32_t keyRoot, std::string_view keyName,
        std::string_view subKeyRef, std::string &keyVal);

private:
    Platform &platform_;
    TextBox &text1_;
    AboutWindow &window_;
};

} // namespace quillpost
