#pragma once

#include <QFont>
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
    QRect rect(int left, int top, int width, int height) const;
    QSize size(int width, int height) const;

private:
    int dpiX_;
    int dpiY_;
};

// Verdana 8.25 pt where it is installed, else the desktop's sans-serif.
QFont statusFont();

} // namespace quillpost
