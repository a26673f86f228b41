#include "qt_platform.h"

#include "qt_controls.h"
#include "x11_typist.h"
#include "x11_windows.h"

#include "platform/titles.h"
#include "platform/wayland/native_desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QUrl>
#include <QVersionNumber>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>

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

bool sameTitle(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && startsWithIgnoringCase(a, b);
}

// Types `strokes` once the window holds the keyboard, and again from the first stroke not typed
// when it loses the keyboard part way and gets it back within the same bounded time.
template <class WaitForFocus, class TypeSome, class IsOpen>
Outcome typeWhileFocused(
    std::span<const KeyStroke> strokes, WaitForFocus waitForFocus, TypeSome typeSome, IsOpen isOpen)
{
    std::size_t done = 0;
    const auto stopped = [&](Error error) -> Outcome {
        if (!isOpen())
            return kClosed;
        error.position = done;
        return error;
    };
    const auto deadline = std::chrono::steady_clock::now() + kFocusWait;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (auto focus = waitForFocus(std::max(left, 0ms)); !focus)
            return stopped(focus.error());
        auto typed = typeSome(strokes.subspan(done));
        if (typed)
            return typed;
        if (typed.error().position != std::string::npos)
            done += typed.error().position;
        if (typed.error().kind != ErrorKind::FocusLost
            || std::chrono::steady_clock::now() >= deadline)
            return stopped(typed.error());
    }
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
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::string lacking;
        wayland_ = wl::connectNativeDesktop(&lacking, &waylandAdvice_);
        // The client warning cannot say why a native window is not found; a terminal can.
        if (!wayland_)
            std::fprintf(stderr,
                "Quillpost: only X windows can be typed into on this desktop: %s.\n",
                lacking.c_str());
        if (wayland_ && wayland_->fd() >= 0) {
            waylandNews_ = std::make_unique<QSocketNotifier>(wayland_->fd(), QSocketNotifier::Read);
            QObject::connect(waylandNews_.get(), &QSocketNotifier::activated,
                [this] { wayland_->readEvents(); });
        }
    }
}

QtPlatform::~QtPlatform() = default;

Result<WindowId> QtPlatform::find(std::string_view title)
{
    auto x11 = windows_->find(title);
    if (!wayland_ || (x11 && sameTitle(windows_->describe(x11.value()).title, title)))
        return x11;
    const auto x11Titles = windows_->titles();
    auto native = wayland_->find(title, [&](const wl::Toplevel &window) {
        return std::find(x11Titles.begin(), x11Titles.end(), window.title) != x11Titles.end();
    });
    if (native && (!x11 || sameTitle(wayland_->describe(native.value())->title, title)))
        return native;
    return x11;
}

Result<WindowId> QtPlatform::findOrAdvise(std::string_view title)
{
    auto found = find(title);
    if (found || waylandAdvice_.empty())
        return found;
    return Error { ErrorKind::NoWindow, found.error().message + "\n" + waylandAdvice_ };
}

Result<WindowId> QtPlatform::appActivate(std::string_view title)
{
    if (!windows_)
        return kNoX11;
    auto window = findOrAdvise(title);
    // The client warning that follows cannot say why a native client is not seen.
    if (!window && !waylandAdvice_.empty() && !waylandAdviceShown_) {
        waylandAdviceShown_ = true;
        msgBox(window.error().message, MsgStyle::Exclamation);
    }
    if (!window)
        return window.error();
    if (auto activated = activate(window.value()); !activated)
        return activated.error();
    return window.value();
}

Result<WindowId> QtPlatform::findWindow(std::string_view title)
{
    if (!windows_)
        return kNoX11;
    return findOrAdvise(title);
}

Result<WindowInfo> QtPlatform::describeWindow(WindowId window)
{
    if (wayland_ && wl::NativeDesktop::owns(window))
        return wayland_->describe(window);
    if (!windows_)
        return kNoX11;
    if (!windows_->isOpen(window))
        return kClosed;
    return windows_->describe(window);
}

Outcome QtPlatform::activate(WindowId window)
{
    if (wayland_ && wl::NativeDesktop::owns(window))
        return wayland_->activate(window);
    if (!windows_)
        return kNoX11;
    if (!windows_->isOpen(window))
        return kClosed;
    // sway only marks an X window urgent when X asks for it; its own window list activates it.
    if (wayland_)
        wayland_->activateTitled(windows_->describe(window).title);
    return windows_->activate(window);
}

// A click on a native window never reaches an X program, so a Wayland desktop's windows are
// chosen from its list, with the same meaning as the click.
Result<PickedWindow> QtPlatform::chooseFromList()
{
    QStringList own;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible())
            own << w->windowTitle();
    std::vector<wl::Toplevel> windows;
    QStringList items;
    QHash<QString, int> seen;
    for (wl::Toplevel &w : wayland_->windows()) {
        if (own.contains(toQt(w.title)))
            continue;
        // The choice comes back as its text: windows alike are numbered apart.
        const QString item = toQt(w.title + (w.appId.empty() ? "" : "   (" + w.appId + ")"));
        const int alike = ++seen[item];
        items << (alike == 1 ? item : item + QStringLiteral("   #%1").arg(alike));
        windows.push_back(std::move(w));
    }
    if (windows.empty())
        return Error { ErrorKind::NoWindow, "No other program has a window open." };
    bool ok = false;
    const QString item = QInputDialog::getItem(mainWindow(), QStringLiteral("Choose Client Window"),
        QStringLiteral("Your MUD client's window:"), items, 0, false, &ok);
    if (!ok)
        return Error { ErrorKind::Cancelled, "" };
    const wl::Toplevel &chosen = windows.at(static_cast<std::size_t>(items.indexOf(item)));
    // An X window is known to the desktop's list by its title alone.
    const auto x11Titles = windows_->titles();
    const auto x11Alike = std::count(x11Titles.begin(), x11Titles.end(), chosen.title);
    const auto listed = std::count_if(windows.begin(), windows.end(),
        [&](const wl::Toplevel &w) { return w.title == chosen.title; });
    if (x11Alike > 1 || (x11Alike == 1 && listed > 1))
        return Error { ErrorKind::NoWindow,
            std::to_string(std::max(listed, x11Alike)) + " windows are titled \"" + chosen.title
                + "\", and on this desktop Quillpost cannot tell which of them you chose. Close "
                  "the others, or give your client's window a title of its own, and choose "
                  "again." };
    if (x11Alike == 1)
        if (auto x11 = windows_->find(chosen.title);
            x11 && windows_->describe(x11.value()).title == chosen.title)
            return PickedWindow { x11.value(), chosen.title };
    return PickedWindow { chosen.id, chosen.title };
}

Result<PickedWindow> QtPlatform::pickWindow()
{
    if (!windows_)
        return kNoX11;
    if (wayland_)
        return chooseFromList();
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
    if (wayland_)
        wayland_->activateTitled(fromQt(w->windowTitle()));
}

Outcome QtPlatform::sendKeys(WindowId target, std::span<const KeyStroke> strokes)
{
    if (wayland_ && wl::NativeDesktop::owns(target))
        return typeWhileFocused(
            strokes, [&](auto limit) { return wayland_->waitForActivated(target, limit); },
            [&](auto some) { return wayland_->type(target, some); },
            [&] { return wayland_->isOpen(target); });
    if (!windows_)
        return kNoX11;
    // The typist checks the focus again with the server grabbed, right before the keys go out,
    // so no other program can take it in between.
    const x11::Target typedFor { windows_->runsUnderWine(target) ? x11::KeyReader::Wine
                                                                 : x11::KeyReader::Native,
        target.value };
    return typeWhileFocused(
        strokes, [&](auto limit) { return windows_->waitForFocus(target, limit); },
        [&](auto some) {
            return typist_->type(
                some, [&] { return windows_->waitForFocus(target, 0ms); }, typedFor);
        },
        [&] { return windows_->isOpen(target); });
}

bool QtPlatform::msgBox(std::string_view prompt, MsgStyle style)
{
    QMessageBox box(style == MsgStyle::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
        QGuiApplication::applicationDisplayName(), toQtLines(prompt), QMessageBox::Ok,
        mainWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    // Ending the program ends every event loop, this box's too, with no button clicked.
    return box.clickedButton() != nullptr;
}

int QtPlatform::choiceBox(
    std::string_view prompt, const std::vector<std::string> &choices, std::size_t preferred)
{
    QMessageBox box(QMessageBox::Warning, QGuiApplication::applicationDisplayName(),
        toQtLines(prompt), QMessageBox::NoButton, mainWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.setTextFormat(Qt::PlainText);
    std::vector<QAbstractButton *> buttons;
    for (const std::string &choice : choices)
        buttons.push_back(box.addButton(toQt(choice), QMessageBox::AcceptRole));
    if (!buttons.empty()) {
        box.setDefaultButton(
            static_cast<QPushButton *>(buttons[std::min(preferred, buttons.size() - 1)]));
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
