#pragma once

#include <QString>
#include <QStringList>

// The one order of chapter and page lists: ascending by the upper-cased name,
// compared code unit by code unit (no locale collation), a name that is a
// prefix of another first, equal keys keeping the order they came in.
namespace NameOrder {

QString sortKey(const QString &name);

// Ordinal comparison of two keys: negative, zero or positive.
int compareKeys(const QString &a, const QString &b);

// Sorts the names. Gives exactly the order of repeated passes of adjacent
// exchanges that swap only when the left key is greater, in n log n.
void sort(QStringList &names);

} // namespace NameOrder
