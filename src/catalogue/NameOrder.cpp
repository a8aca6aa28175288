#include "catalogue/NameOrder.h"

#include <algorithm>
#include <vector>

namespace NameOrder {

QString sortKey(const QString &name)
{
    return name.toUpper();
}

int compareKeys(const QString &a, const QString &b)
{
    // QString's default comparison is ordinal over UTF-16 code units, with a
    // prefix ordered first.
    return QString::compare(a, b, Qt::CaseSensitive);
}

void sort(QStringList &names)
{
    const qsizetype count = names.size();
    if (count < 2)
        return;
    // Upper-case each name once, then a stable sort on the keys: an exchange
    // sort that swaps only strictly greater neighbours is stable too, so both
    // give the same order.
    struct Entry {
        QString key;
        QString name;
    };
    std::vector<Entry> entries;
    entries.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        entries.push_back({sortKey(names[i]), names[i]});
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry &a, const Entry &b) { return compareKeys(a.key, b.key) < 0; });
    for (qsizetype i = 0; i < count; ++i)
        names[i] = std::move(entries[i].name);
}

} // namespace NameOrder
