#pragma once

#include "application.h"

#include "platform/qt_x11/qt_controls.h"
#include "windows/about_box.h"
#include "windows/text_viewer.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>

class QPlainTextEdit;
class QPushButton;

namespace quillpost {

// The `textviewer` window: a fixed tool window with a scrolling, unwrapped text and a Close button.
class ViewerWidget : public QWidget, public ViewerWindow
{
    Q_OBJECT

public:
    explicit ViewerWidget(Application &app);
    TextBox &text1() override { return text1Adapter_; }
    void show() override;
    void hide() override { QWidget::hide(); }

private:
    QPlainTextEdit *text1_;
    QPushButton *command1_;
    qt::TextBoxAdapter text1Adapter_;
};

// Creates the viewer on first use, and again after its close button destroyed it.
class QtViewerHost : public ViewerHost
{
public:
    QtViewerHost() = default;
    QtViewerHost(const QtViewerHost &) = delete;
    QtViewerHost &operator=(const QtViewerHost &) = delete;
    ~QtViewerHost() override;
    void attach(Application &app) { app_ = &app; }
    ViewerWindow &textviewer() override;

private:
    Application *app_ = nullptr;
    QPointer<ViewerWidget> viewer_;
};

class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(Application &app);
    std::map<AboutLabel, std::unique_ptr<qt::LabelAdapter>> labels;

protected:
    void reject() override; // Esc and the title bar's close button unload, as OK does

private:
    Application &app_;
};

// `frmAbout`: loading creates the dialog and its controls, unloading destroys them.
class QtAboutWindow : public AboutWindow
{
public:
    QtAboutWindow() = default;
    QtAboutWindow(const QtAboutWindow &) = delete;
    QtAboutWindow &operator=(const QtAboutWindow &) = delete;
    ~QtAboutWindow() override;
    void attach(Application &app) { app_ = &app; }
    bool isLoaded() const override { return !dialog_.isNull(); }
    void load() override;
    void setCaption(std::string_view caption) override;
    TextBox &label(AboutLabel which) override;
    void show() override;
    void unload() override;

private:
    Application *app_ = nullptr;
    QPointer<AboutDialog> dialog_;
};

} // namespace quillpost
