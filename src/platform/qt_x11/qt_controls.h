#pragma once

#include "platform/controls.h"

#include <QString>

class QAction;
class QFileDialog;
class QPlainTextEdit;
class QTimer;
class QWidget;

// Qt widgets behind the control interfaces the command logic uses.
namespace quillpost::qt {

QString toQt(std::string_view text);
// Text whose lines end in CR LF, as the logic writes them, with LF alone as Qt's controls want.
QString toQtLines(std::string_view text);
std::string fromQt(const QString &text);

class TextBoxAdapter : public TextBox
{
public:
    explicit TextBoxAdapter(QPlainTextEdit *edit) : edit_(edit) { }
    void setText(std::string_view text) override;

private:
    QPlainTextEdit *edit_;
};

// Holds the item's checked state itself: Qt flips a checkable action before its handler runs,
// and the handler alone decides what is checked.
class MenuItemAdapter : public MenuItem
{
public:
    explicit MenuItemAdapter(QAction *action);
    void setCaption(std::string_view caption) override;
    bool checked() const override { return checked_; }
    void setChecked(bool checked) override;
    void setEnabled(bool enabled) override;

    // Called first thing when the item is chosen.
    void undoAutomaticToggle();

private:
    QAction *action_;
    bool checked_;
};

class TimerAdapter : public Timer
{
public:
    explicit TimerAdapter(QTimer *timer) : timer_(timer) { }
    int interval() const override;
    void setInterval(int milliseconds) override;

private:
    QTimer *timer_;
};

class FileDialogAdapter : public FileDialog
{
public:
    explicit FileDialogAdapter(QWidget *parent);
    ~FileDialogAdapter() override;
    std::string fileName() const override { return fileName_; }
    void setFileName(std::string_view name) override { fileName_ = name; }
    void setDialogTitle(std::string_view title) override { title_ = title; }
    void showOpen() override;

private:
    QWidget *parent_;
    QFileDialog *dialog_ = nullptr; // kept, so the next use starts in the last folder
    std::string fileName_;
    std::string title_ = "Open File";
};

// Sizes in twips through the screen's logical resolution.
class WindowAdapter : public Window
{
public:
    explicit WindowAdapter(QWidget *widget) : widget_(widget) { }
    int width() const override;
    int height() const override;
    void setWidth(int twips) override;
    void setHeight(int twips) override;
    WindowState windowState() const override;

private:
    QWidget *widget_;
};

int twipsToPixels(int twips, int dpi);
int pixelsToTwips(int pixels, int dpi);

} // namespace quillpost::qt

class QLabel;

namespace quillpost::qt {

class LabelAdapter : public TextBox
{
public:
    explicit LabelAdapter(QLabel *label) : label_(label) { }
    void setText(std::string_view text) override;

private:
    QLabel *label_;
};

} // namespace quillpost::qt
