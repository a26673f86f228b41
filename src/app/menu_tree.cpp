#include "menu_tree.h"

#include <array>

namespace quillpost {
namespace {

constexpr std::array kMenuTree = {
    MenuRow { 1, "file", "&File" },
    MenuRow { 2, "openfile", "&Open file to Send", false, true, "Ctrl+O" },
    MenuRow { 2, "sep1", "-" },
    MenuRow { 2, "openview", "Open file to View" },
    MenuRow { 2, "abcdf", "-" },
    MenuRow { 2, "exit", "E&xit", false, true, "F7" },
    MenuRow { 1, "notetype", "&Note Type" },
    MenuRow { 2, "note", "&note", true, true, {}, true },
    MenuRow { 2, "oocn", "&oocn", false, true, {}, true },
    MenuRow { 2, "quest", "&quest", false, true, {}, true },
    MenuRow { 2, "news", "&news", false, true, {}, true },
    MenuRow { 2, "immn", "&immn", false, true, {}, true },
    MenuRow { 2, "code", "&code", false, true, {}, true },
    MenuRow { 2, "storyn", "&storyn", false, true, {}, true },
    MenuRow { 2, "history", "&history", false, true, {}, true },
    MenuRow { 2, "anote", "&anote", false, true, {}, true },
    MenuRow { 2, "background", "&background", false, true, {}, true },
    MenuRow { 2, "description", "&description", false, true, {}, true },
    MenuRow { 2, "abc", "-" },
    MenuRow { 2, "custom", "Custom Note Spool Name (For Mud Variations)", false, true, {}, true },
    MenuRow { 2, "displaycustom", "Display set Custom Value" },
    MenuRow { 1, "options", "&Options" },
    MenuRow { 2, "settimerinterval", "&Set Timer Interval" },
    MenuRow { 3, "one", "&1 second" },
    MenuRow { 3, "two", "&2 seconds" },
    MenuRow { 3, "three", "&3 seconds" },
    MenuRow { 3, "four", "&4 seconds" },
    MenuRow { 3, "five", "&5 seconds" },
    MenuRow { 2, "showtimerinterval", "Show Timer Interval" },
    MenuRow { 2, "sep3", "-" },
    MenuRow { 2, "chooseclient", "Choose &Client Window..." },
    MenuRow { 1, "pause", "&Pause", false, false },
    MenuRow { 1, "helpmenu", "&Help" },
    MenuRow { 2, "about", "&About" },
    MenuRow { 2, "website", "The Hollowmere Website" },
    MenuRow { 2, "sep2", "-" },
    MenuRow { 2, "help", "&Help" },
};

} // namespace

std::span<const MenuRow> menuTree()
{
    return kMenuTree;
}

bool isSeparator(const MenuRow &row)
{
    return row.caption == "-";
}

bool opensSubmenu(std::span<const MenuRow> rows, std::size_t index)
{
    return index + 1 < rows.size() && rows[index + 1].level > rows[index].level;
}

} // namespace quillpost
