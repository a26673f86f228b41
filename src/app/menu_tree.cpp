#include "menu_tree.h"

#include "sending/intervals.h"
#include "spools/spools.h"

#include <algorithm>
#include <array>

namespace quillpost {
namespace {

// Menu order, up to the first spool item.
constexpr std::array kFileMenu = {
    MenuRow { 1, "file", "&File" },
    MenuRow { 2, "openfile", "&Open file to Send", false, true, "Ctrl+O" },
    MenuRow { 2, "sep1", "-" },
    MenuRow { 2, "openview", "Open file to View" },
    MenuRow { 2, "abcdf", "-" },
    MenuRow { 2, "exit", "E&xit", false, true, "F7" },
    MenuRow { 1, "notetype", "&Note Type" },
};

// After the spool items, up to the first interval item.
constexpr std::array kAfterSpools = {
    MenuRow { 2, "abc", "-" },
    MenuRow { 2, "custom", "Custom Note Spool Name (For Mud Variations)", false, true, {}, true },
    MenuRow { 2, "displaycustom", "Display set Custom Value" },
    MenuRow { 1, "options", "&Options" },
    MenuRow { 2, "settimerinterval", "&Set Timer Interval" },
};

constexpr std::array kAfterIntervals = {
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

constexpr auto kSpoolItems = [] {
    std::array<MenuRow, kSpoolRows.size()> rows {};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        // The first spool, note, is the one in use at start.
        rows[i] = { 2, kSpoolRows[i].item, kSpoolRows[i].caption, i == 0, true, {}, true };
    }
    return rows;
}();

constexpr auto kIntervalItems = [] {
    std::array<MenuRow, kIntervalRows.size()> rows {};
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = { 3, kIntervalRows[i].item, kIntervalRows[i].caption };
    return rows;
}();

template <class... Parts> constexpr auto joined(const Parts &...parts)
{
    std::array<MenuRow, (std::tuple_size_v<Parts> + ...)> rows {};
    auto out = rows.begin();
    ((out = std::ranges::copy(parts, out).out), ...);
    return rows;
}

constexpr auto kMenuTree
    = joined(kFileMenu, kSpoolItems, kAfterSpools, kIntervalItems, kAfterIntervals);

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
