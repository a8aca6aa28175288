#pragma once

#include <QString>
#include <QStringList>

// Which entries of a series folder are chapters, and in which order.
namespace ChapterCatalogue {

// Follows an archive's file name through the sort; it takes part in the key.
inline const QString ArchiveMarker = QStringLiteral("Z!!Z");

// Chapter kinds as the chapter list carries them in each item's data.
inline constexpr int FolderKind = 0;
inline constexpr int ArchiveKind = 1;

// The most chapters (or pages) a list holds; counts are 16-bit.
inline constexpr qsizetype MaxEntries = 32767;

// Sub-folder names, then archive names each followed by the marker, sorted
// by the name order, and one empty entry after the last. Hidden sub-folders
// (names starting with ".") are left out. Beyond MaxEntries
// the rest is left out: sub-folders first, then archives, in the order given.
QStringList chapterEntries(const QStringList &subFolderNames, const QStringList &archiveNames);

struct ChapterItem {
    QString text;
    int kind = FolderKind;
};

// The list item of an entry: the marker (its last four characters) removed
// and the kind set to archive, otherwise the entry as it is.
ChapterItem chapterItem(const QString &entry);

} // namespace ChapterCatalogue
