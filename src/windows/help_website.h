#pragma once

#include "platform/controls.h"
#include "platform/platform.h"

#include <string>
#include <string_view>

namespace quillpost {

inline constexpr std::string_view kWebsite = "http://hollowmere.example.org";
inline constexpr std::string_view kWebsiteStatus
    = "Status: Internet Explorer executed and pointed to ";

std::string helpText(std::string_view lineBreak);

class HelpWebsite
{
public:
    HelpWebsite(Platform &platform, TextBox &status, const std::string &lineBreak)
        : platform_(platform), status_(status), lineBreak_(lineBreak)
    {
    }

    void help_Click();
    void website_Click();

private:
    Platform &platform_;
    TextBox &status_;
    const std::string &lineBreak_;
};

} // namespace quillpost
