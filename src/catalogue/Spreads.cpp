#include "catalogue/Spreads.h"

#include <algorithm>

namespace Spreads {

namespace {

bool isWide(QSize size)
{
    return size.isValid() && size.width() > size.height();
}

} // namespace

QList<Spread> split(const QList<QSize> &pageSizes, int pageCount)
{
    QList<Spread> spreads;
    const int known = int(pageSizes.size());
    const int count = pageCount < 0 ? known : pageCount;
    for (int page = 0; page < count;) {
        // A page past the sizes known, or one whose partner's size is not
        // known yet, is left for a longer list.
        if (page >= known || (page > 0 && page + 1 < count && page + 1 >= known))
            break;
        const bool paired = page > 0 && page + 1 < count && !isWide(pageSizes[page])
                            && !isWide(pageSizes[page + 1]);
        spreads.append({page, paired ? 2 : 1});
        page += paired ? 2 : 1;
    }
    return spreads;
}

int holding(const QList<Spread> &spreads, int page)
{
    // Spreads are in page order, so the last one starting at or before the page.
    const auto after = std::upper_bound(spreads.cbegin(), spreads.cend(), page,
                                        [](int p, const Spread &s) { return p < s.first; });
    if (after == spreads.cbegin())
        return -1;
    const auto found = std::prev(after);
    return page < found->first + found->count ? int(found - spreads.cbegin()) : -1;
}

} // namespace Spreads
