#pragma once

#include <QList>
#include <QSize>

// Two pages side by side: how a chapter falls into spreads. The first page
// stands alone (the cover), a page wider than it is tall stands alone, the
// last page stands alone when it has no partner, and every other page is
// paired with the next. A page whose size is unknown (invalid) counts as tall.
namespace Spreads {

struct Spread {
    int first = 0; // 0-based page index
    int count = 1; // 1 or 2
    bool operator==(const Spread &) const = default;
};

// The spreads of a chapter of `pageCount` pages (all of them when -1) whose
// first pages have these sizes: as far as those sizes decide them.
QList<Spread> split(const QList<QSize> &pageSizes, int pageCount = -1);

// The index in `spreads` of the spread holding 0-based `page`; -1 if none does.
int holding(const QList<Spread> &spreads, int page);

} // namespace Spreads
