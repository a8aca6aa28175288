#include "catalogue/PageList.h"

#include "catalogue/ChapterCatalogue.h"
#include "catalogue/NameOrder.h"

namespace PageList {

bool isFolderPageName(const QString &fileName)
{
    const QString tail = fileName.right(4).toUpper();
    return tail == QLatin1String(".BMP") || tail == QLatin1String(".JPG")
           || tail == QLatin1String(".GIF") || tail == QLatin1String(".PNG")
           || fileName.endsWith(QLatin1String(".WEBP"), Qt::CaseInsensitive);
}

QStringList folderPageNames(const QStringList &fileNames)
{
    QStringList pages;
    for (const QString &name : fileNames) {
        if (pages.size() >= ChapterCatalogue::MaxEntries)
            break;
        if (isFolderPageName(name))
            pages.append(name);
    }
    NameOrder::sort(pages);
    return pages;
}

} // namespace PageList
