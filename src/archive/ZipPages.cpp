#include "archive/ZipPages.h"

#include "archive/ChapterArchive.h"
#include "archive/modUnZip.h"
#include "catalogue/NameOrder.h"
#include "platform/FileSystem.h"

#include <QFileDevice>
#include <QTemporaryFile>

#include <thread>

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

void say(const QString &line)
{
    sayInZipMessage(line);
}

// Writes every byte, or fails with the system's reason: a write cut short
// (the disk filled up) sets no error, so the rest is tried to learn why.
bool writeWhole(QFileDevice &file, const QByteArray &bytes)
{
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return file.flush();
}

} // namespace

void sayInZipMessage(const QString &line)
{
    const QByteArray bytes = line.toUtf8();
    modUnZip::ZipPrintCallback(bytes.constData(), static_cast<unsigned long>(bytes.size()));
    // The line end goes on its own, as the print callback turns it into CR LF.
    modUnZip::ZipPrintCallback("\n", 1);
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
    if (!ChapterArchive::isZipKind(archivePath)) {
        // The same names a zip listing would keep, in the same order.
        const std::unique_ptr<ChapterArchive> archive = ChapterArchive::forPath(archivePath);
        QString listText;
        if (archive->open(archivePath)) {
            // A name holding a TAB would split into names the archive does not hold.
            for (const QString &name : archive->memberNames())
                if (!name.contains(QLatin1Char('\t')))
                    listText += name + QLatin1Char('\t');
        }
        if (!archive->errorText().isEmpty())
            say(archive->errorText());
        return zipPageNames(listText);
    }
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

std::optional<QByteArray> readZipPage(const QString &archivePath, const QString &memberName,
                                      const ZipArchive::PasswordPrompt &ask, QString *message,
                                      qint64 sizeLimit)
{
    const auto failed = [message](const QString &text) -> std::optional<QByteArray> {
        if (message)
            *message = text;
        return std::nullopt;
    };
    const std::unique_ptr<ChapterArchive> archive = ChapterArchive::forPath(archivePath);
    if (!archive->open(archivePath))
        return failed(archive->errorText());
    std::optional<QByteArray> bytes = archive->read(memberName, ask, sizeLimit);
    if (!bytes)
        return failed(archive->errorText());
    return bytes;
}

QList<QSize> zipPageSizes(const QString &archivePath, const QStringList &memberNames)
{
    const auto sizesOf = [&archivePath](const QStringList &names) {
        const std::unique_ptr<ChapterArchive> archive = ChapterArchive::forPath(archivePath);
        if (!archive->open(archivePath))
            return QList<QSize>(names.size());
        return archive->pageSizes(names);
    };
    // A zip member is opened and its start inflated on its own, so a long
    // chapter is sized on both cores, each half through a handle of its own.
    // The other kinds are read in one pass, which halves would repeat.
    constexpr qsizetype mostOnOneThread = 64;
    if (!ChapterArchive::isZipKind(archivePath) || memberNames.size() < mostOnOneThread)
        return sizesOf(memberNames);
    const qsizetype half = memberNames.size() / 2;
    QList<QSize> secondHalf;
    std::thread second([&] { secondHalf = sizesOf(memberNames.mid(half)); });
    QList<QSize> sizes = sizesOf(memberNames.first(half));
    second.join();
    return sizes + secondHalf;
}

QString extractZipPage(FileSystem &fs, const QString &archivePath, const QString &memberName,
                       const QString &appFolder, QByteArray *pageBytes)
{
    using namespace modUnZip;
    const QString folder = withoutTrailingSlash(appFolder);
    ZipMessageText.clear();
    if (pageBytes)
        pageBytes->clear();
    const QString bare = memberName.mid(memberName.lastIndexOf(QLatin1Char('/')) + 1);
    // A name with nothing to write under it is refused, as extracting it would be.
    if (bare.isEmpty() || bare == QLatin1String(".") || bare == QLatin1String("..")) {
        say(QStringLiteral("  skipping: %1  (refused name: no file name to write)")
                .arg(memberName));
        return {};
    }
    QString message;
    const std::optional<QByteArray> bytes = readZipPage(
        archivePath, memberName,
        [](const QString &member) { return ZipAskPassword(ZipPasswordCallback, member); },
        &message);
    if (!bytes)
        say(message);
    const QString ext = leaveZipPageFile(fs, memberName, appFolder, bytes ? &*bytes : nullptr);
    if (pageBytes && !ext.isEmpty())
        *pageBytes = *bytes;
    return ext;
}

QString zipPageExtension(const QString &memberName)
{
    // From the last "." of the bare name: neither a "." in a folder part
    // ("Vol.1/01.jpg") nor an earlier one in the name ("Sorvik.01.jpg")
    // makes one.
    const QString bare = memberName.mid(memberName.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = bare.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : bare.mid(dot + 1, 3);
}

QString leaveZipPageFile(FileSystem &fs, const QString &memberName, const QString &appFolder,
                         const QByteArray *bytes)
{
    using namespace modUnZip;
    const QString folder = withoutTrailingSlash(appFolder);
    const QString ext = zipPageExtension(memberName);
    if (ext.isEmpty())
        return {};
    // Without the run's own folder the page is written nowhere else.
    if (folder.isEmpty()) {
        say(QStringLiteral("  error: %1  not extracted (no private folder to write it into)")
                .arg(memberName));
        return {};
    }
    // The page file of this extension goes even when the page can't be read:
    // it belongs to another page.
    const QString temp = folder + QStringLiteral("/TempImage.") + ext;
    if (fs.fileExists(temp)) {
        FsFile old = fs.getFile(temp);
        clearReadOnly(old);
        old.remove();
    }
    if (!bytes)
        return {};

    // Write beside the page file and move it into place only when every
    // byte is down, so a failed write leaves no partial page.
    QTemporaryFile written(folder + QStringLiteral("/.unzip-XXXXXX"));
    if (!written.open() || !writeWhole(written, *bytes)) {
        say(QStringLiteral("  error: %1  not extracted (cannot write into %2: %3)")
                .arg(memberName, folder, written.errorString()));
        return {};
    }
    // The temporary may have no name yet (O_TMPFILE): asking for it gives it one.
    const QString writtenName = written.fileName();
    written.close();
    fs.getFile(writtenName).move(temp);
    written.setAutoRemove(false);
    return ext;
}
