#pragma once

#include "fake_platform.h"

#include "app/application.h"
#include "app/menu_tree.h"

#include <map>
#include <memory>
#include <stdexcept>
#include <string>

namespace quillpost::test {

using Lines = std::vector<std::string>;

inline bool contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

// The main window's controls as fakes, in their start-up states, and the Application on top:
// a test reads like the user's story ("choose this file, tick three times").
class AppHarness : public MenuItems
{
public:
    AppHarness();

    MenuItem &item(std::string_view name) override { return itemNamed(items_, name); }
    FakeMenuItem &menu(std::string_view name) { return static_cast<FakeMenuItem &>(item(name)); }

    // Runs `item` ("Open file to Send" or "to View"), choosing `path` in its open-file dialog.
    void open(const std::string &path, std::string_view item = "openfile")
    {
        cd.answers.push_back(path);
        click(item);
    }
    // Chooses f.txt, holding `contents`, to send.
    void send(const std::string &contents)
    {
        platform.addFile("f.txt", contents);
        open("f.txt");
    }
    // Runs what a menu item, or the N button, runs: a handler under a name no item has would
    // never run.
    void click(std::string_view name)
    {
        if (name != "N")
            item(name); // throws for a name no item has
        if (!app->click(name))
            throw std::logic_error("no handler for " + std::string(name));
    }
    void tick(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            app->Timer1_Timer();
    }

    const std::string &status() const { return text1.value; }

    FakePlatform platform;
    FakeWindow window;
    FakeTextBox text1;
    FakeTimer timer1;
    FakeFileDialog cd;
    FakeViewer viewer;
    FakeAboutWindow frmAbout;
    std::unique_ptr<Application> app;

private:
    std::map<std::string, std::unique_ptr<FakeMenuItem>, std::less<>> items_;
};

} // namespace quillpost::test
