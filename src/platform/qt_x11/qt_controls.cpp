#include "qt_controls.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>

namespace quillpost::qt {

QString toQt(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString toQtLines(std::string_view text)
{
    return toQt(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

std::string fromQt(const QString &text)
{
    return text.toUtf8().toStdString();
}

void TextBoxAdapter::setText(std::string_view text)
{
    edit_->setPlainText(toQtLines(text));
}

MenuItemAdapter::MenuItemAdapter(QAction *action) : action_(action), checked_(action->isChecked())
{
}

void MenuItemAdapter::setCaption(std::string_view caption)
{
    action_->setText(toQt(caption));
}

void MenuItemAdapter::setChecked(bool checked)
{
    checked_ = checked;
    action_->setChecked(checked);
}

void MenuItemAdapter::setEnabled(bool enabled)
{
    action_->setEnabled(enabled);
}

void MenuItemAdapter::undoAutomaticToggle()
{
    action_->setChecked(checked_);
}

int TimerAdapter::interval() const
{
    return timer_->interval();
}

void TimerAdapter::setInterval(int milliseconds)
{
    timer_->setInterval(milliseconds);
}

FileDialogAdapter::FileDialogAdapter(QWidget *parent) : parent_(parent) { }

FileDialogAdapter::~FileDialogAdapter() = default; // the dialog belongs to its parent widget

void FileDialogAdapter::showOpen()
{
    if (!dialog_) {
        dialog_ = new QFileDialog(parent_);
        dialog_->setFileMode(QFileDialog::ExistingFile);
        dialog_->setAcceptMode(QFileDialog::AcceptOpen);
        // Qt's own dialog behaves the same on every desktop and takes a typed path.
        dialog_->setOption(QFileDialog::DontUseNativeDialog);
        dialog_->setDirectory(QDir::home());
        dialog_->setModal(true);
    }
    dialog_->setWindowTitle(toQt(title_));
    if (fileName_.empty())
        dialog_->selectFile(QString());
    else
        dialog_->selectFile(toQt(fileName_));
    fileName_.clear();
    if (dialog_->exec() == QDialog::Accepted && !dialog_->selectedFiles().isEmpty())
        fileName_ = fromQt(QDir::toNativeSeparators(dialog_->selectedFiles().constFirst()));
    // Return in the name completer can accept the dialog and leave the completer's popup open.
    // A popup grabs the keyboard, and the next line typed for the client would land in it.
    while (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
}

int twipsToPixels(int twips, int dpi)
{
    return (twips * dpi + 720) / 1440;
}

int pixelsToTwips(int pixels, int dpi)
{
    return pixels * 1440 / dpi;
}

int WindowAdapter::width() const
{
    return pixelsToTwips(widget_->width(), widget_->logicalDpiX());
}

int WindowAdapter::height() const
{
    return pixelsToTwips(widget_->height(), widget_->logicalDpiY());
}

void WindowAdapter::setWidth(int twips)
{
    const int px = twipsToPixels(twips, widget_->logicalDpiX());
    if (px != widget_->width())
        widget_->resize(px, widget_->height());
}

void WindowAdapter::setHeight(int twips)
{
    const int px = twipsToPixels(twips, widget_->logicalDpiY());
    if (px != widget_->height())
        widget_->resize(widget_->width(), px);
}

WindowState WindowAdapter::windowState() const
{
    if (widget_->isMinimized())
        return WindowState::Minimized;
    if (widget_->isMaximized())
        return WindowState::Maximized;
    return WindowState::Normal;
}

} // namespace quillpost::qt

#include <QLabel>

namespace quillpost::qt {

void LabelAdapter::setText(std::string_view text)
{
    label_->setText(toQtLines(text));
}

} // namespace quillpost::qt
