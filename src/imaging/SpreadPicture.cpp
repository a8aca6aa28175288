#include "imaging/SpreadPicture.h"

#include <QPainter>

#include <cmath>

namespace SpreadPicture {

namespace {

// The width of a page of `size` scaled to `height`.
double widthAt(QSize size, double height)
{
    return size.height() > 0 ? size.width() * height / size.height() : 0.0;
}

} // namespace

QSize naturalSize(QSize first, QSize second)
{
    const int height = std::max(first.height(), second.height());
    return {int(std::lround(widthAt(first, height) + widthAt(second, height))), height};
}

std::pair<QSize, QSize> partSizes(QSize first, QSize second, QSize shown)
{
    const double a = widthAt(first, shown.height());
    const double b = widthAt(second, shown.height());
    const int firstWidth = a + b > 0 ? int(std::lround(shown.width() * a / (a + b))) : 0;
    return {QSize(firstWidth, shown.height()),
            QSize(shown.width() - firstWidth, shown.height())};
}

QImage compose(const QImage &left, QSize leftSize, const QImage &right, QSize rightSize)
{
    // Opaque pages are copied as they are; a page with transparency keeps it.
    const bool alpha = left.hasAlphaChannel() || right.hasAlphaChannel();
    QImage spread(leftSize.width() + rightSize.width(),
                  std::max(leftSize.height(), rightSize.height()),
                  alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (spread.isNull())
        return spread;
    spread.fill(alpha ? Qt::transparent : Qt::white);
    QPainter painter(&spread);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // A picture already at its part size is copied; any other is scaled.
    painter.drawImage(QRect(QPoint(0, 0), leftSize), left);
    painter.drawImage(QRect(QPoint(leftSize.width(), 0), rightSize), right);
    return spread;
}

} // namespace SpreadPicture
