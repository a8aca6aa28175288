#pragma once

#include "platform/Twips.h"

#include <QFont>
#include <QString>
#include <QWidget>

// What every window of the reader shares: the small type of its controls
// and the way a control is named and put at its twips geometry.
namespace WindowStyle {

// The captions were measured for a narrow 8.25 pt sans-serif type; most
// sans-serif faces here are wider, so they are set a little condensed.
inline QFont controlFont(bool bold = false)
{
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    font.setFamily(QStringLiteral("Sans Serif"));
    font.setPointSizeF(8.25);
    font.setStretch(QFont::SemiCondensed);
    font.setBold(bold);
    return font;
}

// Names the control (tests find it by that name) and places it in twips.
template <typename W>
W *placed(W *widget, const QString &name, int left, int top, int width, int height)
{
    widget->setObjectName(name);
    Twips::move(widget, left, top, width, height);
    return widget;
}

} // namespace WindowStyle
