#include "catalogue/ChapterCatalogue.h"

#include "catalogue/NameOrder.h"

namespace ChapterCatalogue {

QStringList chapterEntries(const QStringList &subFolderNames, const QStringList &archiveNames)
{
    QStringList entries;
    const qsizetype folders = std::min(subFolderNames.size(), MaxEntries);
    const qsizetype archives = std::min(archiveNames.size(), MaxEntries - folders);
    entries.reserve(folders + archives + 1);
    for (qsizetype i = 0; i < folders; ++i)
        entries.append(subFolderNames[i]);
    for (qsizetype i = 0; i < archives; ++i)
        entries.append(archiveNames[i] + ArchiveMarker);
    NameOrder::sort(entries);
    entries.append(QString());
    return entries;
}

ChapterItem chapterItem(const QString &entry)
{
    if (entry.endsWith(ArchiveMarker))
        return {entry.chopped(ArchiveMarker.size()), ArchiveKind};
    return {entry, FolderKind};
}

} // namespace ChapterCatalogue
