#include "archive/ZipPages.h"

#include "archive/modUnZip.h"
#include "catalogue/NameOrder.h"
#include "platform/FileSystem.h"

namespace {

// Page numbers are 16-bit: a chapter holds at most this many pages.
constexpr qsizetype MaxPages = 32767;

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

// A read-only file can be neither deleted nor moved through the file-system layer.
void clearReadOnly(FsFile &file)
{
    const int attributes = file.attributes();
    if (attributes & FileAttribute::ReadOnly)
        file.setAttributes(attributes - FileAttribute::ReadOnly);
}

} // namespace

QString ReplaceChars(const QString &text, const QString &pairs)
{
    QString result = text;
    for (qsizetype i = 0; i + 1 < pairs.size(); i += 2)
        result.replace(pairs[i], pairs[i + 1], Qt::CaseSensitive);
    return result;
}

QStringList zipPageNames(const QString &listText)
{
    QString text = listText;
    while (text.endsWith(QLatin1Char('\t')))
        text.chop(1);
    QStringList pages;
    if (text.isEmpty())
        return pages;
    const QStringList names = text.split(QLatin1Char('\t'));
    for (const QString &name : names) {
        if (pages.size() == MaxPages)
            break;
        // A folder entry is no page, even one named like "Vol.1/".
        if (name.contains(QLatin1Char('.')) && !name.endsWith(QLatin1Char('/')))
            pages.append(name);
    }
    NameOrder::sort(pages);
    return pages;
}

QStringList listZipPages(const QString &archivePath)
{
    using namespace modUnZip;
    ZipListText.clear();
    ZipCommentFlag = 0;
    ZipListFlag = 1;
    ZipIncludeNames[0].reset();
    ZipIncludeCount = 0;
    ZipExcludeNames[0].reset();
    ZipExcludeCount = 0;
    ZipFileName = archivePath;
    RunUnzip();
    return zipPageNames(ZipListText);
}

QString extractZipPage(FileSystem &fs, const QString &archivePath, const QString &memberName,
                       const QString &appFolder)
{
    using namespace modUnZip;
    const QString folder = withoutTrailingSlash(appFolder);
    ZipMessageText.clear();
    ZipOverwriteAllFlag = 0;
    ZipCommentFlag = 0;
    ZipListFlag = 0;
    ZipKeepPathsFlag = 0;
    // The engine takes "?" as any one character, so brackets in a name can't
    // disturb the match.
    ZipIncludeNames[0] = ReplaceChars(memberName, QStringLiteral("[?]?(?)?{?}?<?>?"));
    ZipIncludeCount = 1;
    ZipExcludeNames[0].reset();
    ZipExcludeCount = 0;
    ZipFileName = archivePath;
    ZipExtractDir = folder;
    RunUnzip();

    // The extension comes from the last "." of the bare name: neither a "."
    // in a folder part ("Vol.1/01.jpg") nor an earlier one in the name
    // ("Sorvik.01.jpg") makes one.
    const QString bare = memberName.mid(memberName.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = bare.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : bare.mid(dot + 1, 3);
    if (ext.isEmpty())
        return {};
    const QString temp = folder + QStringLiteral("/TempImage.") + ext;
    const QString extracted = folder + QLatin1Char('/') + bare;
    // A member named like the temporary file was just written in its place.
    if (extracted == temp)
        return fs.fileExists(temp) ? ext : QString();
    if (fs.fileExists(temp)) {
        FsFile old = fs.getFile(temp);
        clearReadOnly(old);
        old.remove();
    }
    if (!fs.fileExists(extracted))
        return {};
    FsFile page = fs.getFile(extracted);
    clearReadOnly(page);
    page.move(temp);
    return ext;
}
