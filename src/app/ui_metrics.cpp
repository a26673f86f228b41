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

QPoint Twips::point(layout::Point point) const
{
    return QPoint(x(point.left), y(point.top));
}

QRect Twips::rect(layout::Rect rect) const
{
    return QRect(x(rect.left), y(rect.top), x(rect.width), y(rect.height));
}

QSize Twips::size(layout::Size size) const
{
    return QSize(x(size.width), y(size.height));
}

QFont fontOf(const layout::Font &font)
{
    const QString face = qt::toQt(font.face);
    QFont qfont(face);
    qfont.setPointSizeF(font.hundredthsOfPoint / 100.0);
    qfont.setWeight(QFont::Normal);
    if (!QFontDatabase::families().contains(face)) {
        qfont.setFamily(QStringLiteral("Sans Serif"));
        qfont.setStyleHint(QFont::SansSerif);
    }
    return qfont;
}

} // namespace quillpost
