#pragma once

#include <QtGlobal>

// The size a page is shown at, in twips: its natural size times the zoom,
// or in a fit mode its natural size shrunk (never enlarged) into the
// viewport, keeping its aspect. Whole twips, halves to even.
namespace PageSizing {

struct Size {
    qint32 width = 0;
    qint32 height = 0;
    bool operator==(const Size &) const = default;
};

enum class Fit {
    None,   // the natural size times the zoom
    Window, // the whole page in the whole viewport, no bars
    Width,  // the page as wide as the viewport inside its frame; never a horizontal bar
    Height, // the page as high as the viewport inside its frame; never a vertical bar
};

// The viewport as it is with no bar shown, its frame (both sides together)
// and the thickness of each bar, in twips.
struct Viewport {
    qint32 width = 0;
    qint32 height = 0;
    qint32 frameWidth = 0;
    qint32 frameHeight = 0;
    qint32 verticalBarWidth = 0;
    qint32 horizontalBarHeight = 0;
};

struct Bars {
    bool vertical = false;
    bool horizontal = false;
    bool operator==(const Bars &) const = default;
};

Size zoomed(double naturalWidth, double naturalHeight, double zoom);
// First by the height, then by the width.
Size fitted(Size page, qint32 viewportWidth, qint32 viewportHeight);

// The size a page of this natural size is shown at. The zoom counts only
// when no fit mode is on.
Size shown(double naturalWidth, double naturalHeight, double zoom, Fit fit, const Viewport &view);
// The bars a page shown at this size needs. Both are decided together, so
// that one bar's thickness never leaves a strip of the page out of reach. A
// page fitted to the window was sized to the whole viewport, frame and all,
// and never needs one.
Bars barsFor(Size page, Fit fit, const Viewport &view);

} // namespace PageSizing
