#pragma once

#include <string>
#include <string_view>

// The window controls that the command logic reads and writes. Sizes are in twips (1/1440 inch),
// intervals in milliseconds.
namespace quillpost {

// What ends a line in a text the program shows: CR LF.
inline constexpr std::string_view kLineBreak = "\r\n";

class TextBox
{
public:
    virtual ~TextBox() = default;
    virtual void setText(std::string_view text) = 0; // replaces the whole text
};

class MenuItem
{
public:
    virtual ~MenuItem() = default;
    virtual void setCaption(std::string_view caption) = 0; // "&" marks the access key
    virtual bool checked() const = 0;
    virtual void setChecked(bool checked) = 0;
    virtual void setEnabled(bool enabled) = 0;
};

class Timer
{
public:
    virtual ~Timer() = default;
    virtual int interval() const = 0;
    virtual void setInterval(int milliseconds) = 0;
};

// The open-file dialog. showOpen() is modal; afterwards fileName() is the chosen path, or "" after
// Cancel.
class FileDialog
{
public:
    virtual ~FileDialog() = default;
    virtual std::string fileName() const = 0;
    virtual void setFileName(std::string_view name) = 0;
    virtual void setDialogTitle(std::string_view title) = 0;
    virtual void showOpen() = 0;
};

// Shows the dialog afresh under `title`: the path chosen, or "" after Cancel.
inline std::string chooseFile(FileDialog &cd, std::string_view title)
{
    cd.setFileName("");
    cd.setDialogTitle(title);
    cd.showOpen();
    return cd.fileName();
}

// A window's menu items, by their names.
class MenuItems
{
public:
    virtual ~MenuItems() = default;
    virtual MenuItem &item(std::string_view name) = 0;
};

enum class WindowState { Normal = 0, Minimized = 1, Maximized = 2 };

class Window
{
public:
    virtual ~Window() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual void setWidth(int twips) = 0;
    virtual void setHeight(int twips) = 0;
    virtual WindowState windowState() const = 0;
};

} // namespace quillpost
