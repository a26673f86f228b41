#include "qt_platform.h"

#include "qt_controls.h"
#include "x11_typist.h"
#include "x11_windows.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <QVersionNumber>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <chrono>

namespace quillpost::qt {
namespace {

using namespace std::chrono_literals;

// How long a line waits for the client to take the focus before it is held back.
constexpr std::chrono::milliseconds kFocusWait { 500 };

const Error kNoX11 { ErrorKind::NoWindow,
    "Typing into another window needs an X11 session (XWayland on a Wayland "
    "desktop). This desktop offers none, so nothing was typed." };

const Error kClosed { ErrorKind::NoWindow, "The window to type into is no longer open." };

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

// The system information tool: the first of these found on PATH, registered where the About box
// looks for it.
void registerSystemInformation(MemoryRegistry &registry)
{
    for (const char *tool : { "hardinfo", "hardinfo2", "kinfocenter", "lshw-gtk" }) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(tool));
        if (!path.isEmpty()) {
            registry.setValue(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO",
                "PATH", regSz(fromQt(path)));
            return;
        }
    }
}

} // namespace

QtPlatform::QtPlatform()
{
    registerSystemInformation(registry_);
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

Result<WindowId> QtPlatform::findWindow(std::string_view title)
{
    if (!windows_)
        return kNoX11;
    return windows_->find(title);
}

Result<WindowInfo> QtPlatform::describeWindow(WindowId window)
{
    if (!windows_)
        return kNoX11;
    if (!windows_->isOpen(window))
        return kClosed;
    return windows_->describe(window);
}

Outcome QtPlatform::activate(WindowId window)
{
    if (!windows_)
        return kNoX11;
    if (!windows_->isOpen(window))
        return kClosed;
    return windows_->activate(window);
}

Result<PickedWindow> QtPlatform::pickWindow()
{
    if (!windows_)
        return kNoX11;
    // The prompt in the status box is drawn and the menu closed before the pointer is taken.
    QCoreApplication::processEvents();
    return windows_->pick(std::chrono::minutes(1));
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

Outcome QtPlatform::sendKeys(WindowId target, std::span<const KeyStroke> strokes)
{
    if (!windows_)
        return kNoX11;
    // The typist checks the focus again with the server grabbed, right before the keys go out,
    // so no other program can take it in between. When that check finds it gone, wait for it
    // again within the same bounded time and go on from the first stroke not typed.
    const x11::Target typedFor { windows_->runsUnderWine(target) ? x11::KeyReader::Wine
                                                                 : x11::KeyReader::Native,
        target.value };
    std::size_t done = 0;
    const auto stopped = [&](Error error) -> Outcome {
        if (!windows_->isOpen(target))
            return kClosed;
        error.position = done;
        return error;
    };
    const auto deadline = std::chrono::steady_clock::now() + kFocusWait;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (auto focus = windows_->waitForFocus(target, std::max(left, 0ms)); !focus)
            return stopped(focus.error());
        auto typed = typist_->type(
            strokes.subspan(done), [&] { return windows_->waitForFocus(target, 0ms); }, typedFor);
        if (typed)
            return typed;
        if (typed.error().position != std::string::npos)
            done += typed.error().position;
        if (typed.error().kind != ErrorKind::FocusLost
            || std::chrono::steady_clock::now() >= deadline)
            return stopped(typed.error());
    }
}

void QtPlatform::msgBox(std::string_view prompt, MsgStyle style)
{
    QMessageBox box(style == MsgStyle::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
        QGuiApplication::applicationDisplayName(), toQtLines(prompt), QMessageBox::Ok,
        mainWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

int QtPlatform::choiceBox(std::string_view prompt, const std::vector<std::string> &choices)
{
    QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(),
        toQtLines(prompt), QMessageBox::NoButton, mainWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.setTextFormat(Qt::PlainText);
    std::vector<QAbstractButton *> buttons;
    for (const std::string &choice : choices)
        buttons.push_back(box.addButton(toQt(choice), QMessageBox::AcceptRole));
    if (!buttons.empty()) {
        box.setDefaultButton(static_cast<QPushButton *>(buttons.front()));
        box.setEscapeButton(buttons.back());
    }
    box.exec();
    const auto chosen = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    return chosen == buttons.end() ? -1 : static_cast<int>(chosen - buttons.begin());
}

std::string QtPlatform::inputBox(std::string_view prompt, std::string_view title)
{
    const QString label = toQtLines(prompt);
    bool ok = false;
    const QString answer = QInputDialog::getText(
        mainWindow(), toQt(title), label, QLineEdit::Normal, QString(), &ok);
    return ok ? fromQt(answer) : std::string();
}

Result<std::unique_ptr<LineReader>> QtPlatform::openInput(const std::string &path)
{
    return openLineReader(path);
}

// Window styles have no meaning for a program started on X11; its window manager places it.
Outcome QtPlatform::shell(
    const std::string &program, const std::vector<std::string> &args, ShellStyle)
{
    const QFileInfo info(toQt(program));
    if (program.empty() || !info.isFile() || !info.isExecutable())
        return Error { ErrorKind::Launch, "There is no program " + program + " to start." };
    QStringList qargs;
    for (const std::string &a : args)
        qargs << toQt(a);
    if (!QProcess::startDetached(info.absoluteFilePath(), qargs))
        return Error { ErrorKind::Launch, "Could not start " + program + "." };
    return Ok {};
}

Outcome QtPlatform::openUrl(std::string_view url)
{
    if (!QDesktopServices::openUrl(QUrl(toQt(url))))
        return Error { ErrorKind::Launch,
            "No web browser could be started: the desktop's opener (xdg-open) is "
            "missing or failed." };
    return Ok {};
}

std::string QtPlatform::dir(std::string_view path)
{
    QString p = toQt(path);
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QFileInfo info(p);
    if (!info.isFile() || info.isHidden())
        return {};
    return fromQt(info.fileName());
}

AppIdentity QtPlatform::identity() const
{
    const QVersionNumber v = QVersionNumber::fromString(QCoreApplication::applicationVersion());
    return AppIdentity { fromQt(QCoreApplication::applicationName()), v.majorVersion(),
        v.minorVersion(), v.microVersion() };
}

void QtPlatform::end()
{
    QCoreApplication::exit(0);
}

} // namespace quillpost::qt
