#include "settings/SavedPosition.h"

namespace {
const QString kSeparator = QStringLiteral("^^");
}

qint16 pageFromText(const QString &text)
{
    qsizetype at = 0;
    while (at < text.size() && (text[at] == QLatin1Char(' ') || text[at] == QLatin1Char('\t')))
        ++at;
    qsizetype end = at;
    if (end < text.size() && (text[end] == QLatin1Char('+') || text[end] == QLatin1Char('-')))
        ++end;
    while (end < text.size() && text[end].isDigit() && text[end].unicode() < 128)
        ++end;
    bool ok = false;
    const qint64 number = text.mid(at, end - at).toLongLong(&ok);
    if (!ok || number < 1 || number > 32767)
        return 1;
    return static_cast<qint16>(number);
}

SavedPosition parseSavedPosition(const QString &value)
{
    // At the last mark: a chapter's own name may hold one.
    const qsizetype split = value.lastIndexOf(kSeparator);
    if (split < 0)
        return {value, 1};
    return {value.left(split), pageFromText(value.mid(split + kSeparator.size()))};
}

QString formatSavedPosition(const QString &chapter, qint16 page)
{
    // The number carries a blank before it when it is not negative.
    const QString number = page >= 0 ? QLatin1Char(' ') + QString::number(page)
                                     : QString::number(page);
    return chapter + kSeparator + number;
}
