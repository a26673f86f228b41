#pragma once

#include "other_windows.h"
#include "start_up.h"

#include "platform/qt_x11/qt_controls.h"

#include <QMainWindow>

#include <map>
#include <memory>
#include <string>

class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace quillpost {

// The main window `Form1`: builds its controls and the menu tree, and forwards every event to the
// Application. It holds the other windows.
class MainWindow : public QMainWindow, public MenuItems, public Desktop
{
    Q_OBJECT

public:
    MainWindow();
    ~MainWindow() override;

    Form1 controls() override;
    OtherWindows otherWindows() override { return { viewerHost_, frmAbout_ }; }
    MenuItem &item(std::string_view name) override;
    void attach(Application &app) override;
    void showMainWindow() override { show(); }
    int exec() override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();

    Application *app_ = nullptr;
    QPlainTextEdit *text1_;
    QPushButton *n_;
    QTimer *timer1_;
    qt::TextBoxAdapter text1Adapter_;
    qt::TimerAdapter timerAdapter_;
    qt::FileDialogAdapter cdAdapter_;
    qt::WindowAdapter windowAdapter_;
    std::map<std::string, std::unique_ptr<qt::MenuItemAdapter>, std::less<>> items_;
    QtViewerHost viewerHost_;
    QtAboutWindow frmAbout_;
};

} // namespace quillpost
