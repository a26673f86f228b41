#pragma once

#include "platform/controls.h"
#include "platform/platform.h"
#include "sending/send_settings.h"

#include <array>
#include <string>
#include <string_view>

namespace quillpost {

struct SpoolRow
{
    std::string_view item;
    std::string_view caption;
    std::string_view word; // the command word typed before each line
    std::string_view status;
};

inline constexpr std::array<SpoolRow, 11> kSpoolRows { {
    { "note", "&note", "note", "Active Note Type: 'note'" },
    { "oocn", "&oocn", "oocn", "Active Note Type: 'oocn'" },
    { "quest", "&quest", "qnote", "Active Note Type: 'quest'" },
    { "news", "&news", "news", "Active Note Type: 'news'" },
    { "immn", "&immn", "immn", "Active Note Type: 'immn'" },
    { "code", "&code", "code", "Active Note Type: 'code'" },
    { "storyn", "&storyn", "storyn", "Active Note Type: 'storyn'" },
    { "history", "&history", "history", "Active Note Type: 'history'" },
    { "anote", "&anote", "anote", "Active Note Type: 'anote'" },
    { "background", "&background", "background", "Active Note Type: 'background'" },
    { "description", "&description", "description", "Active Note Type: 'description'" },
} };

inline constexpr std::string_view kCustomItem = "custom";
inline constexpr std::string_view kCustomTitle = "Custom Note Spool";
inline constexpr std::string_view kCustomPrefix = "Custom Value: ";
inline constexpr std::string_view kCustomNotSet = "Custom Value: Not Set";
inline constexpr std::string_view kDisabledCommand = "This command has been disabled.";

std::string customPrompt();

// The note spool menu: exactly one of the eleven fixed items and `custom` is checked, and the
// active note spool is the checked item's word.
class Spools
{
public:
    Spools(SendSettings &settings, Platform &platform, TextBox &text1, MenuItems &menu);

    // The click handler of every fixed spool item (note_Click ... description_Click).
    void spool_Click(const SpoolRow &row);
    void N_Click();
    void custom_Click();
    void displaycustom_Click();

private:
    void checkOnly(std::string_view item);

    SendSettings &settings_;
    Platform &platform_;
    TextBox &text1_;
    MenuItems &menu_;
};

} // namespace quillpost
