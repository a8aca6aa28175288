#include "platform/Twips.h"

#include <QWidget>
#include <cmath>

namespace Twips {

namespace {

bool setRect(QWidget *w, double left, double top, double width, double height)
{
    if (width < 0 || height < 0)
        return false;
    w->setGeometry(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
    return true;
}

} // namespace

qint32 nearest(double value)
{
    return static_cast<qint32>(std::nearbyint(value));
}

int toPixels(double twips)
{
    return nearest(twips / PerPixel);
}

qint32 fromPixels(int pixels)
{
    return static_cast<qint32>(pixels) * PerPixel;
}

qint32 left(const QWidget *w)
{
    return fromPixels(w->x());
}
qint32 top(const QWidget *w)
{
    return fromPixels(w->y());
}
qint32 width(const QWidget *w)
{
    return fromPixels(w->width());
}
qint32 height(const QWidget *w)
{
    return fromPixels(w->height());
}

bool setLeft(QWidget *w, double twips)
{
    return setRect(w, twips, top(w), width(w), height(w));
}

bool setTop(QWidget *w, double twips)
{
    return setRect(w, left(w), twips, width(w), height(w));
}

bool setWidth(QWidget *w, double twips)
{
    return setRect(w, left(w), top(w), twips, height(w));
}

bool setHeight(QWidget *w, double twips)
{
    return setRect(w, left(w), top(w), width(w), twips);
}

bool move(QWidget *w, double left, double top, double width, double height)
{
    return setRect(w, left, top, width, height);
}

} // namespace Twips
