#include "imaging/SpreadPicture.h"

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
    return {QSize(firstWidth, shown.height()), QSize(shown.width() - firstWidth, shown.height())};
}

} // namespace SpreadPicture
