#include "catalogue/ChapterCatalogue.h"

#include "catalogue/NameOrder.h"

namespace ChapterCatalogue {

QStringList chapterEntries(const QStringList &subFolderNames, const QStringList &archiveNames)
{
    QStringList entries;
    // Hidden folders (".thumbnails", ".git") hold no chapter, as hidden
    // files hold no archive.
    for (const QString &name : subFolderNames) {
        if (entries.size() == MaxEntries)
            break;
        if (!name.startsWith(QLatin1Char('.')))
            entries.append(name);
    }
    const qsizetype archives = std::min(archiveNames.size(), MaxEntries - entries.size());
    entries.reserve(entries.size() + archives + 1);
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
