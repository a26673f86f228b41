#pragma once

#include "window_layout.h"

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace quillpost {

// Twips (1/1440 inch) to pixels at a widget's logical resolution.
class Twips
{
public:
    explicit Twips(const QWidget *widget);
    int x(int twips) const;
    int y(int twips) const;
    QPoint point(layout::Point point) const;
    QRect rect(layout::Rect rect) const;
    QSize size(layout::Size size) const;

private:
    int dpiX_;
    int dpiY_;
};

// The font where it is installed, else the desktop's sans-serif.
QFont fontOf(const layout::Font &font);

} // namespace quillpost
