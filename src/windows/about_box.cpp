#include "about_box.h"

#include "credit.h"

#include <array>
#include <cstdio>

namespace quillpost {

std::string versionLine(const AppIdentity &app)
{
    return "Version " + std::to_string(app.major) + "." + std::to_string(app.minor) + "."
        + std::to_string(app.revision);
}

std::string descriptionText()
{
    return "This program was written for Hollowmere at " + std::string(kServerHost)
        + " port 4000.  It can be and is intended to be tailorable to be used on any ROM "
          "derivitive using ROM 2.4 style notes.";
}

AboutBox::AboutBox(Platform &platform, TextBox &text1, AboutWindow &window)
    : platform_(platform), text1_(text1), window_(window)
{
}

void AboutBox::about_Click()
{
    if (!window_.isLoaded()) {
        window_.load();
        Form_Load();
    }
    window_.show();
    text1_.setText(kCreditLine);
}

void AboutBox::Form_Load()
{
    const AppIdentity app = platform_.identity();
    window_.setCaption("About " + app.title);
    window_.label(AboutLabel::lblVersion).setText(versionLine(app));
    window_.label(AboutLabel::lblTitle).setText(app.title);
    window_.label(AboutLabel::lblDescription).setText(descriptionText());
    window_.label(AboutLabel::lblDisclaimer).setText("");
}

void AboutBox::cmdOK_Click()
{
    window_.unload();
}

void AboutBox::StartSysInfo()
{
    auto unavailable = [this] { platform_.msgBox(kSysInfoUnavailable, MsgStyle::Ok); };
    std::string toolPath;
    auto first = GetKeyValue(kHkeyLocalMachine, kMsinfoKey, "PATH", toolPath);
    if (!first)
        return unavailable();
    if (!first.value()) {
        auto second = GetKeyValue(kHkeyLocalMachine, kMsinfoLocationKey, "MSINFO", toolPath);
        if (!second || !second.value())
            return unavailable();
        if (platform_.dir(toolPath + "\\MSINFO32.EXE").empty())
            return unavailable();
        toolPath += "\\MSINFO32.EXE";
    }
    if (!platform_.shell(toolPath, {}, ShellStyle::NormalFocus))
        unavailable();
}

Result<bool> AboutBox::GetKeyValue(std::uint32_t keyRoot, std::string_view keyName,
    std::string_view subKeyRef, std::string &keyVal)
{
    Registry &reg = platform_.registry();
    RegHandle key = 0;
    if (reg.RegOpenKeyExA(keyRoot, keyName, 0, kAboutKeyAccess, &key) != kErrorSuccess) {
        keyVal.clear();
        (void)reg.RegCloseKey(key);
        return false;
    }
    struct CloseKey
    {
        Registry &reg;
        RegHandle key;
        ~CloseKey() { (void)reg.RegCloseKey(key); }
    } closeKey { reg, key };

    std::array<std::uint8_t, 1024> buffer {};
    std::uint32_t size = buffer.size();
    std::uint32_t type = 0;
    if (reg.RegQueryValueExA(key, subKeyRef, &type, buffer, &size) != kErrorSuccess) {
        keyVal.clear();
        return false;
    }
    if (size == 0)
        return Error { ErrorKind::Registry,
            "The registry value " + std::string(subKeyRef) + " is empty." };
    const std::size_t kept = buffer[size - 1] == 0 ? size - 1 : size;

    if (type == kRegSz) {
        keyVal.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(kept));
    } else if (type == kRegDword) {
        std::string digits = keyVal;
        for (std::size_t i = kept; i > 0; --i) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", buffer[i - 1]);
            digits += hex;
        }
        // Formatting "&h" and hex digits with no pattern gives the number in decimal, as far as
        // a number holds it.
        if (digits.size() > 16
            || digits.find_first_not_of("0123456789ABCDEF") != std::string::npos) {
            keyVal = "&h" + digits;
        } else {
            unsigned long long value = 0;
            for (char c : digits)
                value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'A' + 10);
            keyVal = std::to_string(value);
        }
    }
    return true;
}

} // namespace quillpost
