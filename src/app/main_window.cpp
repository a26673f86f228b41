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

MainWindow::MainWindow()
    : text1_(nullptr),
      n_(nullptr),
      timer1_(new QTimer(this)),
      text1Adapter_(nullptr),
      timerAdapter_(timer1_),
      cdAdapter_(this),
      windowAdapter_(this)
{
    const layout::MainWindowLayout &l = layout::kMainWindow;
    setObjectName(qt::toQt(l.name));
    setWindowTitle(qt::toQt(l.caption));
    setWindowIcon(programIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(fontOf(layout::kTextFont));

    auto *client = new QWidget(this);
    setCentralWidget(client);
    const Twips twips(this);

    // Created first and parked below the client area: never seen, never focused.
    n_ = new QPushButton(qt::toQt(l.n.caption), client);
    n_->setGeometry(twips.rect(l.n.rect));
    n_->setEnabled(false);
    n_->setFocusPolicy(Qt::NoFocus);

    text1_ = new QPlainTextEdit(client);
    text1_->setObjectName(qt::toQt(l.text1.name));
    text1_->setGeometry(twips.rect(l.text1.rect));
    text1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text1_->setPlainText(qt::toQt(l.text1.caption));
    text1_->setTabChangesFocus(true);
    text1Adapter_ = qt::TextBoxAdapter(text1_);
    setTabOrder(text1_, n_);
    text1_->setFocus();

    timer1_->setTimerType(Qt::PreciseTimer);
    timer1_->setInterval(1000);
    timer1_->start();

    buildMenus();
    const QSize area = twips.size(l.client);
    resize(area.width(), area.height() + menuBar()->sizeHint().height());
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
    viewerHost_.attach(app);
    frmAbout_.attach(app);
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

int MainWindow::exec()
{
    return QApplication::exec();
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
