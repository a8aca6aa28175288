#pragma once

#include <QtGlobal>

class QWidget;

// The windows are laid out in twips, 15 to the pixel. Widgets hold pixels;
// these helpers read and write a widget's Left/Top/Width/Height in twips,
// relative to its parent, rounding to whole pixels, halves to even.
namespace Twips {

inline constexpr int PerPixel = 15;

// A value rounded to the nearest whole number, halves to even.
qint32 nearest(double value);

int toPixels(double twips);
qint32 fromPixels(int pixels);

qint32 left(const QWidget *w);
qint32 top(const QWidget *w);
qint32 width(const QWidget *w);
qint32 height(const QWidget *w);

// Each setter returns false and leaves the widget alone when the window
// system would refuse the value: a negative width or height.
bool setLeft(QWidget *w, double twips);
bool setTop(QWidget *w, double twips);
bool setWidth(QWidget *w, double twips);
bool setHeight(QWidget *w, double twips);
bool move(QWidget *w, double left, double top, double width, double height);

} // namespace Twips
