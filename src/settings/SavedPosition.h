#pragma once

#include <QString>
#include <QtGlobal>

// A folder's saved position is stored as the chapter's text, "^^", and the
// page number with a blank before it ("Ch002^^ 5").
struct SavedPosition {
    QString chapter;
    qint16 page = 1;
};

// Splits at the last "^^", so a chapter named with "^^" keeps its place.
// Without one, the whole value is the chapter and the page is 1.
SavedPosition parseSavedPosition(const QString &value);

QString formatSavedPosition(const QString &chapter, qint16 page);

// A stored page number: blanks skipped, the leading whole number read;
// no number, a number outside 1..32767, or below 1 gives page 1.
qint16 pageFromText(const QString &text);
