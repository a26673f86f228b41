#include "spools.h"

#include "sending/text_check.h"

namespace quillpost {

std::string customPrompt()
{
    const std::string lb(kLineBreak);
    return "Please enter the custom note spool name.  This will" + lb
        + "allow you to tailor this for other muds note-spools" + lb + lb
        + "Example: onote instead of oocn";
}

Spools::Spools(SendSettings &settings, Platform &platform, TextBox &text1, MenuItems &menu)
    : settings_(settings), platform_(platform), text1_(text1), menu_(menu)
{
}

void Spools::checkOnly(std::string_view item)
{
    for (const SpoolRow &row : kSpoolRows)
        menu_.item(row.item).setChecked(row.item == item);
    menu_.item(kCustomItem).setChecked(item == kCustomItem);
}

void Spools::spool_Click(const SpoolRow &row)
{
    checkOnly(row.item);
    settings_.noteSpool = row.word;
    text1_.setText(row.status);
}

void Spools::N_Click()
{
    platform_.msgBox(kDisabledCommand, MsgStyle::Ok);
}

void Spools::custom_Click()
{
    const std::string answer = platform_.inputBox(customPrompt(), kCustomTitle);
    if (answer.empty())
        return;
    // The word is typed before every line: a pasted line break would send it as a command of its
    // own, and other characters cannot be typed at all.
    if (auto bad = firstUntypable(answer)) {
        platform_.msgBox("The spool name was not changed: character " + std::to_string(bad->column)
                + " of it cannot be typed (code " + std::to_string(bad->byte)
                + "). Use letters, digits and punctuation on one line.",
            MsgStyle::Exclamation);
        return;
    }
    checkOnly(kCustomItem);
    settings_.noteSpool = answer;
    text1_.setText(std::string(kCustomPrefix) + settings_.noteSpool);
}

void Spools::displaycustom_Click()
{
    if (menu_.item(kCustomItem).checked())
        text1_.setText(std::string(kCustomPrefix) + settings_.noteSpool);
    else
        text1_.setText(kCustomNotSet);
}

} // namespace quillpost
