#include "imaging/PageSizing.h"

#include <cmath>

namespace PageSizing {

namespace {

qint32 nearest(double value)
{
    return static_cast<qint32>(std::nearbyint(value));
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

} // namespace PageSizing
