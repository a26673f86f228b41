#include "other_windows.h"

#include "program_icon.h"
#include "start_up.h"
#include "ui_metrics.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace quillpost {

ViewerWidget::ViewerWidget(Application &app)
    : QWidget(nullptr,
        Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      text1_(nullptr),
      command1_(nullptr),
      text1Adapter_(nullptr)
{
    const layout::ViewerLayout &l = layout::kViewer;
    setObjectName(qt::toQt(l.name));
    setWindowTitle(qt::toQt(l.caption));
    setWindowIcon(programIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    const Twips twips(this);
    setFixedSize(twips.size(l.client));

    // Created in this order so Tab goes from the text to the button.
    command1_ = new QPushButton(qt::toQt(l.command1.caption), this);
    command1_->setObjectName(qt::toQt(l.command1.name));
    command1_->setGeometry(twips.rect(l.command1.rect));
    command1_->setAutoDefault(false);
    text1_ = new QPlainTextEdit(this);
    text1_->setObjectName(qt::toQt(l.text1.name));
    text1_->setGeometry(twips.rect(l.text1.rect));
    text1_->setFont(fontOf(layout::kTextFont));
    text1_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text1_->setTabChangesFocus(true);
    text1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabOrder(text1_, command1_);
    // The first in the tab order has the focus when the viewer opens, or a Space meant for the
    // text would close it.
    text1_->setFocus();
    text1Adapter_ = qt::TextBoxAdapter(text1_);

    connect(command1_, &QPushButton::clicked, this, [&app] { app.textviewer_Command1_Click(); });
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
        viewer_ = new ViewerWidget(attached(app_));
    return *viewer_;
}

AboutDialog::AboutDialog(Application &app)
    : QDialog(nullptr,
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      app_(app)
{
    const layout::AboutLayout &l = layout::kAbout;
    setObjectName(qt::toQt(l.name));
    setWindowIcon(programIcon());
    setModal(false);
    const Twips twips(this);
    setFixedSize(twips.size(l.client));

    auto button = [&](const layout::Control &c) {
        auto *b = new QPushButton(qt::toQt(c.caption), this);
        b->setObjectName(qt::toQt(c.name));
        b->setGeometry(twips.rect(c.rect));
        return b;
    };
    QPushButton *ok = button(l.cmdOK);
    ok->setDefault(true);
    auto *icon = new QLabel(this);
    icon->setObjectName(qt::toQt(l.picIcon.name));
    icon->setGeometry(twips.rect(l.picIcon.rect));
    icon->setPixmap(programIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignCenter);
    QPushButton *sysInfo = button(l.cmdSysInfo);
    sysInfo->setAutoDefault(false);
    setTabOrder(ok, sysInfo);

    for (const layout::AboutLabelPlace &place : l.labels) {
        auto *label = new QLabel(this);
        label->setObjectName(qt::toQt(place.name));
        label->setGeometry(twips.rect(place.rect));
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (place.which == AboutLabel::lblTitle) {
            QFont big = label->font();
            big.setPointSizeF(big.pointSizeF() * l.titleScale[0] / l.titleScale[1]);
            big.setBold(true);
            label->setFont(big);
        }
        labels[place.which] = std::make_unique<qt::LabelAdapter>(label);
    }

    const layout::Rect etch = l.separator;
    const int half = etch.height / 2;
    auto line = [&](QColor color, layout::Rect rect) {
        auto *f = new QFrame(this);
        f->setGeometry(twips.rect(rect));
        f->setAutoFillBackground(true);
        QPalette pal = f->palette();
        pal.setColor(QPalette::Window, color);
        f->setPalette(pal);
    };
    line(QColor(128, 128, 128), { etch.left, etch.top, etch.width, half });
    line(Qt::white, { etch.left + half, etch.top + half, etch.width - half, etch.height });

    connect(ok, &QPushButton::clicked, this, [&app] { app.frmAbout_cmdOK_Click(); });
    connect(sysInfo, &QPushButton::clicked, this, [&app] { app.frmAbout_cmdSysInfo_Click(); });
}

void AboutDialog::reject()
{
    app_.frmAbout_cmdOK_Click();
}

QtAboutWindow::~QtAboutWindow()
{
    delete dialog_.data();
}

void QtAboutWindow::load()
{
    dialog_ = new AboutDialog(attached(app_));
    const Twips twips(dialog_);
    dialog_->setGeometry(QRect(twips.point(layout::kAbout.origin), dialog_->size()));
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
