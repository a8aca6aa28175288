#pragma once

#include <QRect>
#include <QtGlobal>
#include <array>

// Where the main window's controls go for a size of the window, in twips
// (QRect(left, top, width, height), relative to each control's parent).
// Pure arithmetic: the window measures its design geometry once at load and
// applies the result at every change of size.
namespace WindowLayout {

// The window and its controls as laid out at load.
struct Design {
    qint32 width = 0; // the window's size at load
    qint32 height = 0;
    QPoint viewport; // the viewport's corner; it reaches to the scroll bars
    QRect horizontalBar;
    QRect verticalBar;
    QRect panel; // the top panel, and the controls on it
    QRect folderList;
    QRect browse;
    QRect chapterList;
    QRect chapterLabel;
    QRect fitToWindow;
    QRect firstPageButton; // the other three page buttons follow it
    QRect pageLabel;
};

// Which scroll bars show: a hidden bar leaves its room to the viewport
// and to the other bar.
struct Bars {
    bool vertical = true;
    bool horizontal = true;
};

struct Layout {
    QRect viewport;
    QRect horizontalBar;
    QRect verticalBar;
    QRect panel;
    QRect folderList;
    QRect browse;
    QRect chapterList;
    QRect chapterLabel;
    QRect fitToWindow;
    std::array<QRect, 4> pageButtons;
    QRect pageLabel;
};

// Every value is whole pixels, as the controls will hold it. A width or
// height may come out negative for a very small window; the window system
// refuses it, and the control keeps its size.
Layout arrange(const Design &design, qint32 width, qint32 height, Bars bars = {});

} // namespace WindowLayout
