#include "imaging/PageSizing.h"

#include <cmath>

namespace PageSizing {

namespace {

qint32 nearest(double value)
{
    return static_cast<qint32>(std::nearbyint(value));
}

// The page shrunk, if it is wider than `limit`, to that width.
Size narrowedTo(Size page, qint32 limit)
{
    if (page.width <= limit || page.width == 0)
        return page;
    return {limit, nearest(double(page.height) * limit / page.width)};
}

Size loweredTo(Size page, qint32 limit)
{
    if (page.height <= limit || page.height == 0)
        return page;
    return {nearest(double(page.width) * limit / page.height), limit};
}

} // namespace

Size zoomed(double naturalWidth, double naturalHeight, double zoom)
{
    return {nearest(naturalWidth * zoom), nearest(naturalHeight * zoom)};
}

Size fitted(Size page, qint32 viewportWidth, qint32 viewportHeight)
{
    if (page.height == 0)
        return page;
    const double aspect = double(page.width) / page.height;
    if (viewportHeight < page.height) {
        page.height = nearest(viewportHeight);
        page.width = nearest(page.height * aspect);
    }
    if (viewportWidth < page.width) {
        page.width = nearest(viewportWidth);
        page.height = nearest(page.width / aspect);
    }
    return page;
}

Size shown(double naturalWidth, double naturalHeight, double zoom, Fit fit, const Viewport &view)
{
    const Size page = zoomed(naturalWidth, naturalHeight, fit == Fit::None ? zoom : 1.0);
    const qint32 innerW = view.width - view.frameWidth;
    const qint32 innerH = view.height - view.frameHeight;
    switch (fit) {
    case Fit::None: return page;
    case Fit::Window: return fitted(page, view.width, view.height);
    case Fit::Width:
        // Room for the vertical bar when the page, as wide as the viewport,
        // is still taller than it.
        return narrowedTo(page, narrowedTo(page, innerW).height > innerH
                                    ? innerW - view.verticalBarWidth
                                    : innerW);
    case Fit::Height:
        return loweredTo(page, loweredTo(page, innerH).width > innerW
                                   ? innerH - view.horizontalBarHeight
                                   : innerH);
    }
    return page;
}

Bars barsFor(Size page, Fit fit, const Viewport &view)
{
    // The page shows inside the viewport's frame: a page larger than that
    // needs a bar.
    const bool framed = fit != Fit::Window;
    const qint32 fullW = view.width - (framed ? view.frameWidth : 0);
    const qint32 fullH = view.height - (framed ? view.frameHeight : 0);
    const qint32 barW = view.verticalBarWidth;
    const qint32 barH = view.horizontalBarHeight;
    bool needV = page.height > fullH;
    bool needH = page.width > (needV ? fullW - barW : fullW);
    needV = page.height > (needH ? fullH - barH : fullH);
    needH = page.width > (needV ? fullW - barW : fullW);
    return {needV, needH};
}

} // namespace PageSizing
