#pragma once

#include "platform/controls.h"
#include "platform/platform.h"

#include <string>
#include <string_view>

namespace quillpost {

inline constexpr std::string_view kWebsite = "http://hollowmere.example.org";
inline constexpr std::string_view kWebsiteStatus
    = "Status: Internet Explorer executed and pointed to ";

std::string helpText();

class HelpWebsite
{
public:
    HelpWebsite(Platform &platform, TextBox &text1) : platform_(platform), text1_(text1) { }

    void help_Click();
    void website_Click();

private:
    Platform &platform_;
    TextBox &text1_;
};

} // namespace quillpost
