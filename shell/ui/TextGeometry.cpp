#include "shell/ui/TextGeometry.h"

#include <QFontMetricsF>
#include <algorithm>

namespace textgeometry {

QSizeF sizeForWidth(const QString& text, double width, double height, const QFont& font)
{
    QString laid = text;
    if (laid.endsWith(QLatin1Char('\n')))
        laid.chop(1);
    if (text.isEmpty())
        return {};
    // QRectF cannot hold the unlimited float; a large finite box lays out the same.
    const double w = std::min(width, 1.0e7);
    const double h = std::min(height, 1.0e7);
    const QRectF used = QFontMetricsF(font).boundingRect(QRectF(0, 0, w, h), Qt::TextWordWrap, laid);
    return used.size();
}

double heightForWidth(const QString& text, double width, const QFont& font)
{
    return sizeForWidth(text, width, kUnlimited, font).height();
}

double widthForHeight(const QString& text, double height, const QFont& font)
{
    return sizeForWidth(text, kUnlimited, height, font).width();
}

} // namespace textgeometry
