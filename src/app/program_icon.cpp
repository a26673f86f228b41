#include "program_icon.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace quillpost {
namespace {

QPixmap render(const QString &svg, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QSvgRenderer(svg).render(&painter);
    return pixmap;
}

} // namespace

QIcon programIcon()
{
    QIcon icon;
    // src/app/CMakeLists.txt names each drawing by the size it is made for.
    for (QDirIterator it(QStringLiteral(":/icon")); it.hasNext();) {
        const QString svg = it.next();
        icon.addPixmap(render(svg, QFileInfo(svg).baseName().toInt()));
    }
    return icon;
}

} // namespace quillpost
