#include "app_harness.h"

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

} // namespace quillpost::test
