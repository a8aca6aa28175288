#pragma once

#include <QtGlobal>

// The size a page is shown at, in twips: its natural size times the zoom,
// or in fit mode its natural size shrunk (never enlarged) into the viewport,
// keeping its aspect. Whole twips, halves to even.
namespace PageSizing {

struct Size {
    qint32 width = 0;
    qint32 height = 0;
};

Size zoomed(double naturalWidth, double naturalHeight, double zoom);
// First by the height, then by the width.
Size fitted(Size page, qint32 viewportWidth, qint32 viewportHeight);

} // namespace PageSizing
