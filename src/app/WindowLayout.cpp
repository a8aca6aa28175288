#include "app/WindowLayout.h"

#include "platform/Twips.h"

#include <algorithm>

namespace WindowLayout {

namespace {

// A value in twips as a control holds it: whole pixels, halves to even.
qint32 onPixels(double twips)
{
    return Twips::fromPixels(Twips::toPixels(twips));
}

QRect withLeft(QRect r, qint32 left)
{
    r.moveLeft(left);
    return r;
}

qint32 right(const QRect &r)
{
    return r.left() + r.width();
}

} // namespace

Layout arrange(const Design &design, qint32 width, qint32 height, Bars bars)
{
    Layout out;

    // The scroll bars and the viewport follow the whole change of size. The
    // horizontal bar runs under the vertical one; a hidden bar's room goes
    // to the viewport and the other bar.
    const qint32 dW = width - design.width;
    const qint32 dH = height - design.height;
    const qint32 spareW = bars.vertical ? 0 : design.verticalBar.width();
    const qint32 spareH = bars.horizontal ? 0 : design.horizontalBar.height();
    out.horizontalBar = design.horizontalBar;
    out.horizontalBar.moveTop(design.horizontalBar.top() + dH);
    out.horizontalBar.setWidth(design.horizontalBar.width() + dW + spareW);
    out.verticalBar = design.verticalBar;
    out.verticalBar.moveLeft(design.verticalBar.left() + dW);
    out.verticalBar.setHeight(design.verticalBar.height() + dH + spareH);
    out.viewport = QRect(design.viewport,
                         QSize(design.verticalBar.left() - design.viewport.x() + dW + spareW,
                               design.horizontalBar.top() - design.viewport.y() + dH + spareH));

    // The top panel follows the width alone: as at load at or below the load
    // width; above it, the page buttons move by the extra width and the two
    // lists share it half and half, each half rounded to whole pixels.
    const qint32 extra = std::max(0, dW);
    const double half = extra / 2.0;
    out.panel = design.panel;
    out.panel.setWidth(design.panel.width() + extra);
    out.chapterList = design.chapterList;
    out.chapterList.moveLeft(onPixels(design.chapterList.left() + half));
    out.chapterList.setWidth(onPixels(design.chapterList.width() + half));
    out.folderList = design.folderList;
    out.folderList.setWidth(onPixels(design.folderList.width() + half));

    out.chapterLabel = withLeft(design.chapterLabel, out.chapterList.left());
    out.browse = withLeft(design.browse, right(out.folderList) - design.browse.width());
    out.fitToWindow = withLeft(design.fitToWindow,
                               right(out.chapterList) - design.fitToWindow.width());
    const qint32 navLeft = design.firstPageButton.left() + extra;
    // Each page button overlaps its left neighbour by one pixel.
    for (int k = 0; k < 4; ++k)
        out.pageButtons[k] = withLeft(design.firstPageButton,
                                      navLeft
                                          + k * (design.firstPageButton.width() - Twips::PerPixel));
    out.pageLabel = withLeft(design.pageLabel, navLeft);
    return out;
}

} // namespace WindowLayout
