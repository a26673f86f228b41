#include "ui_metrics.h"

#include "platform/qt_x11/qt_controls.h"

#include <QFontDatabase>
#include <QWidget>

namespace quillpost {

Twips::Twips(const QWidget *widget) : dpiX_(widget->logicalDpiX()), dpiY_(widget->logicalDpiY()) { }

int Twips::x(int twips) const
{
    return qt::twipsToPixels(twips, dpiX_);
}

int Twips::y(int twips) const
{
    return qt::twipsToPixels(twips, dpiY_);
}

QRect Twips::rect(int left, int top, int width, int height) const
{
    return QRect(x(left), y(top), x(width), y(height));
}

QSize Twips::size(int width, int height) const
{
    return QSize(x(width), y(height));
}

QFont statusFont()
{
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    if (!QFontDatabase::families().contains(QStringLiteral("Verdana"))) {
        font.setFamily(QStringLiteral("Sans Serif"));
        font.setStyleHint(QFont::SansSerif);
    }
    return font;
}

} // namespace quillpost
