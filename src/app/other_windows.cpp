#include "other_windows.h"

#include "program_icon.h"
#include "ui_metrics.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace quillpost {

ViewerWidget::ViewerWidget(Application *&app)
    : QWidget(nullptr,
        Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      text1_(nullptr),
      command1_(nullptr),
      text1Adapter_(nullptr)
{
    setObjectName(QStringLiteral("textviewer"));
    setWindowTitle(QStringLiteral("Text Viewer"));
    setWindowIcon(programIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    const Twips twips(this);
    setFixedSize(twips.size(6360, 4785));

    // Created in this order so Tab goes from the text to the button.
    command1_ = new QPushButton(QStringLiteral("Close"), this);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setGeometry(twips.rect(2280, 4200, 1815, 495));
    command1_->setAutoDefault(false);
    text1_ = new QPlainTextEdit(this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setGeometry(twips.rect(0, 0, 6375, 4095));
    text1_->setFont(statusFont());
    text1_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text1_->setTabChangesFocus(true);
    text1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabOrder(text1_, command1_);
    text1Adapter_ = qt::TextBoxAdapter(text1_);

    connect(command1_, &QPushButton::clicked, this, [&app] {
        if (app)
            app->textviewer_Command1_Click();
    });
}

void ViewerWidget::show()
{
    QWidget::show();
    raise();
    activateWindow();
}

QtViewerHost::~QtViewerHost()
{
    delete viewer_.data();
}

ViewerWindow &QtViewerHost::textviewer()
{
    if (viewer_.isNull())
        viewer_ = new ViewerWidget(app_);
    return *viewer_;
}

AboutDialog::AboutDialog(Application *&app)
    : QDialog(nullptr,
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      app_(app)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowIcon(programIcon());
    setModal(false);
    const Twips twips(this);
    setFixedSize(twips.size(5730, 3555));

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setGeometry(twips.rect(4245, 2625, 1260, 345));
    ok->setDefault(true);
    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("picIcon"));
    icon->setGeometry(twips.rect(240, 240, 540, 540));
    icon->setPixmap(programIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignCenter);
    auto *sysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    sysInfo->setGeometry(twips.rect(4260, 3075, 1245, 345));
    sysInfo->setAutoDefault(false);
    setTabOrder(ok, sysInfo);

    auto label = [&](AboutLabel which, const char *name, QRect rect) {
        auto *l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(rect);
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        labels[which] = std::make_unique<qt::LabelAdapter>(l);
        return l;
    };
    QLabel *title = label(AboutLabel::lblTitle, "lblTitle", twips.rect(1050, 240, 3885, 480));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    title->setFont(big);
    label(AboutLabel::lblVersion, "lblVersion", twips.rect(1050, 780, 3885, 225));
    label(AboutLabel::lblDescription, "lblDescription", twips.rect(1050, 1125, 3885, 1170));
    label(AboutLabel::lblDisclaimer, "lblDisclaimer", twips.rect(255, 2625, 3870, 825));

    // The etched separator: a gray line with a white one just below it.
    auto line = [&](QColor color, int left, int top, int height) {
        auto *f = new QFrame(this);
        f->setGeometry(twips.rect(left, top, 5654 - left, height));
        f->setAutoFillBackground(true);
        QPalette pal = f->palette();
        pal.setColor(QPalette::Window, color);
        f->setPalette(pal);
    };
    line(QColor(128, 128, 128), 90, 2445, 15);
    line(Qt::white, 105, 2460, 30);

    connect(ok, &QPushButton::clicked, this, [&app] {
        if (app)
            app->frmAbout_cmdOK_Click();
    });
    connect(sysInfo, &QPushButton::clicked, this, [&app] {
        if (app)
            app->frmAbout_cmdSysInfo_Click();
    });
}

void AboutDialog::reject()
{
    if (app_)
        app_->frmAbout_cmdOK_Click();
}

QtAboutWindow::~QtAboutWindow()
{
    delete dialog_.data();
}

void QtAboutWindow::load()
{
    dialog_ = new AboutDialog(app_);
    const Twips twips(dialog_);
    dialog_->setGeometry(QRect(twips.rect(2340, 1935, 0, 0).topLeft(), dialog_->size()));
}

void QtAboutWindow::setCaption(std::string_view caption)
{
    dialog_->setWindowTitle(qt::toQt(caption));
}

TextBox &QtAboutWindow::label(AboutLabel which)
{
    return *dialog_->labels.at(which);
}

void QtAboutWindow::show()
{
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

// Not close(): closing asks reject(), which comes back here.
void QtAboutWindow::unload()
{
    dialog_->hide();
    dialog_->deleteLater();
    dialog_ = nullptr;
}

} // namespace quillpost
