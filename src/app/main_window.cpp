#include "main_window.h"

#include "menu_tree.h"
#include "program_icon.h"
#include "ui_metrics.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

namespace quillpost {
namespace {

constexpr int kClientWidth = 4530; // twips
constexpr int kClientHeight = 765;

} // namespace

MainWindow::MainWindow()
    : text1_(nullptr),
      n_(nullptr),
      timer1_(new QTimer(this)),
      text1Adapter_(nullptr),
      timerAdapter_(timer1_),
      cdAdapter_(this),
      windowAdapter_(this)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quillpost"));
    setWindowIcon(programIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(statusFont());

    auto *client = new QWidget(this);
    setCentralWidget(client);
    const Twips twips(this);

    // Created first and parked below the client area: never seen, never focused.
    n_ = new QPushButton(QStringLiteral("No Note Type"), client);
    n_->setGeometry(twips.rect(1440, 840, 1695, 375));
    n_->setEnabled(false);
    n_->setFocusPolicy(Qt::NoFocus);

    text1_ = new QPlainTextEdit(client);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setGeometry(twips.rect(0, 0, 4575, 765));
    text1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text1_->setPlainText(QStringLiteral("Status:"));
    text1_->setTabChangesFocus(true);
    text1Adapter_ = qt::TextBoxAdapter(text1_);
    setTabOrder(text1_, n_);
    text1_->setFocus();

    timer1_->setTimerType(Qt::PreciseTimer);
    timer1_->setInterval(1000);
    timer1_->start();

    buildMenus();
    resize(twips.x(kClientWidth), twips.y(kClientHeight) + menuBar()->sizeHint().height());
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenus()
{
    const auto rows = menuTree();
    QMenu *menus[4] = { nullptr, nullptr, nullptr, nullptr }; // the open menu at each level
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const MenuRow &row = rows[i];
        const QString caption = qt::toQt(row.caption);
        if (quillpost::isSeparator(row)) {
            menus[row.level - 1]->addSeparator();
            continue;
        }
        if (opensSubmenu(rows, i)) {
            menus[row.level] = row.level == 1 ? menuBar()->addMenu(caption)
                                              : menus[row.level - 1]->addMenu(caption);
            menus[row.level]->setObjectName(qt::toQt(row.name));
            continue;
        }
        QAction *action = row.level == 1 ? menuBar()->addAction(caption)
                                         : menus[row.level - 1]->addAction(caption);
        action->setObjectName(qt::toQt(row.name));
        action->setCheckable(row.checkable);
        action->setChecked(row.checked);
        action->setEnabled(row.enabled);
        if (!row.shortcut.empty()) {
            action->setShortcut(QKeySequence(qt::toQt(row.shortcut)));
            // An open menu is a window of its own, which a window shortcut does not reach.
            action->setShortcutContext(Qt::ApplicationShortcut);
        }
        auto adapter = std::make_unique<qt::MenuItemAdapter>(action);
        qt::MenuItemAdapter *raw = adapter.get();
        const std::string name(row.name);
        connect(action, &QAction::triggered, this, [this, raw, name] {
            raw->undoAutomaticToggle();
            if (app_)
                app_->click(name);
        });
        items_.emplace(name, std::move(adapter));
    }
}

Form1 MainWindow::controls()
{
    return Form1 { windowAdapter_, text1Adapter_, timerAdapter_, cdAdapter_, *this };
}

MenuItem &MainWindow::item(std::string_view name)
{
    return itemNamed(items_, name);
}

void MainWindow::attach(Application &app)
{
    app_ = &app;
    connect(timer1_, &QTimer::timeout, this, [this] {
        // While one of our modal boxes, dialogs or menus is open, a line would pull the focus away
        // from it, and what the user types there would go to the client. An open menu also holds
        // the keyboard grab, so the line's keys would go to the menu.
        if (QApplication::activeModalWidget() || QApplication::activePopupWidget())
            return;
        app_->Timer1_Timer();
    });
    connect(n_, &QPushButton::clicked, this, [this] { app_->click("N"); });
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (app_)
        app_->Form_Resize();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The logic decides: it ends the whole program, other windows included, or keeps it going.
    event->ignore();
    if (app_)
        app_->Form_QueryUnload();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && app_)
        app_->Form_Resize();
}

} // namespace quillpost
