#pragma once

#include "platform/controls.h"

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillpost {

// One row of the main window's menu tree, in menu order. Level 1 stands on the menu bar; an item
// followed by a deeper row opens a submenu; the caption "-" is a separator.
struct MenuRow
{
    int level;
    std::string_view name;
    std::string_view caption;
    bool checked = false;
    bool enabled = true;
    std::string_view shortcut = {}; // in QKeySequence's portable text form
    bool checkable = false; // shows a check mark when checked
};

std::span<const MenuRow> menuTree();

bool isSeparator(const MenuRow &row);

// A window's menu item by its name in the tree; any other name is a mistake in the program.
template <class Items> MenuItem &itemNamed(Items &items, std::string_view name)
{
    const auto it = items.find(name);
    if (it == items.end())
        throw std::logic_error("no menu item named " + std::string(name));
    return *it->second;
}

// Whether the row opens a submenu, judged by the row after it.
bool opensSubmenu(std::span<const MenuRow> rows, std::size_t index);

} // namespace quillpost
