#include "app_harness.h"

#include "app/menu_tree.h"

#include <stdexcept>

namespace quillpost::test {

AppHarness::AppHarness()
{
    text1.value = "Status:";
    const auto rows = menuTree();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (isSeparator(rows[i]) || opensSubmenu(rows, i))
            continue;
        auto item = std::make_unique<FakeMenuItem>();
        item->captionValue = rows[i].caption;
        item->checkedValue = rows[i].checked;
        item->enabledValue = rows[i].enabled;
        items_.emplace(std::string(rows[i].name), std::move(item));
    }
    app = std::make_unique<Application>(
        platform, Form1 { window, text1, timer1, cd, *this }, OtherWindows { viewer, frmAbout });
    app->Form_Load();
}

MenuItem &AppHarness::item(std::string_view name)
{
    return itemNamed(items_, name);
}

void AppHarness::openToSend(const std::string &path)
{
    cd.answers.push_back(path);
    click("openfile");
}

void AppHarness::send(const std::string &contents)
{
    platform.addFile("f.txt", contents);
    openToSend("f.txt");
}

void AppHarness::click(std::string_view name)
{
    if (!app->click(name))
        throw std::logic_error("no handler for " + std::string(name));
}

void AppHarness::tick(int times)
{
    for (int i = 0; i < times; ++i)
        app->Timer1_Timer();
}

} // namespace quillpost::test
