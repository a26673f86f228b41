#include "qt_platform.h"

#include "platform/send_keys.h"
#include "qt_controls.h"
#include "x11_typist.h"
#include "x11_windows.h"

#include <QApplication>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QWidget>
#include <QWindow>

#include <chrono>

namespace quillpost::qt {
namespace {

// How long a line waits for the client to take the focus before it is held back.
constexpr std::chrono::milliseconds kFocusWait { 500 };

const Error kNoX11 { ErrorKind::NoWindow,
    "Typing into another window needs an X11 session (XWayland on a Wayland "
    "desktop). This desktop offers none, so nothing was typed." };

QWidget *mainWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("Form1"))
            return w;
    return nullptr;
}

bool isOwnWindow(std::uint64_t id)
{
    for (QWindow *w : QGuiApplication::allWindows())
        if (w->handle() && static_cast<std::uint64_t>(w->winId()) == id)
            return true;
    return false;
}

} // namespace

QtPlatform::QtPlatform()
{
    if (auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
        if (_XDisplay *display = x11->display()) {
            windows_ = std::make_unique<x11::Windows>(display, isOwnWindow);
            typist_ = std::make_unique<x11::Typist>(display);
        }
    }
}

QtPlatform::~QtPlatform() = default;

Result<WindowId> QtPlatform::appActivate(std::string_view title)
{
    if (!windows_)
        return kNoX11;
    auto window = windows_->find(title);
    if (!window)
        return window.error();
    if (auto activated = windows_->activate(window.value()); !activated)
        return activated.error();
    return window.value();
}

void QtPlatform::activateOwnWindow()
{
    QWidget *w = mainWindow();
    if (!w)
        return;
    if (w->isMinimized())
        w->showNormal();
    w->raise();
    w->activateWindow();
    // Qt asks as an application, which window managers may refuse to a window in the background.
    if (windows_)
        (void)windows_->activate(WindowId { static_cast<std::uint64_t>(w->winId()) });
}

Outcome QtPlatform::sendKeys(WindowId target, std::string_view keys)
{
    if (!windows_)
        return kNoX11;
    auto strokes = parseSendKeys(keys);
    if (!strokes)
        return strokes.error();
    if (auto focus = windows_->waitForFocus(target, kFocusWait); !focus)
        return focus.error();
    return typist_->type(strokes.value());
}

void QtPlatform::msgBox(std::string_view prompt, MsgStyle style)
{
    QMessageBox box(style == MsgStyle::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
        QGuiApplication::applicationDisplayName(), toQt(prompt), QMessageBox::Ok, mainWindow());
    box.setWindowModality(Qt::ApplicationModal);
    QString text = box.text();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

std::string QtPlatform::inputBox(std::string_view prompt, std::string_view title)
{
    QString label = toQt(prompt);
    label.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    bool ok = false;
    const QString answer = QInputDialog::getText(
        mainWindow(), toQt(title), label, QLineEdit::Normal, QString(), &ok);
    return ok ? fromQt(answer) : std::string();
}

Result<std::unique_ptr<LineReader>> QtPlatform::openInput(const std::string &path)
{
    return openLineReader(path);
}

void QtPlatform::end()
{
    QCoreApplication::exit(0);
}

} // namespace quillpost::qt
