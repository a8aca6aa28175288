#include "archive/LibarchiveChapter.h"

#include <QFile>
#include <QHash>

#include <archive.h>
#include <archive_entry.h>

namespace {

// Most pages are a few MiB: room for that is made at once, more only as
// bytes actually arrive, so a member merely declaring a huge size costs
// nothing.
constexpr qint64 InitialBuffer = qint64(8) << 20;
constexpr qsizetype ChunkSize = 256 * 1024;

QString reasonOf(archive *reader)
{
    const char *text = archive_error_string(reader);
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("unknown error");
}

// The entry's name as stored; empty when it has none that can be read.
QString nameOf(archive_entry *entry)
{
    if (const char *utf8 = archive_entry_pathname_utf8(entry))
        return QString::fromUtf8(utf8);
    if (const char *local = archive_entry_pathname(entry))
        return QString::fromLocal8Bit(local);
    return {};
}

bool isRegular(archive_entry *entry)
{
    return archive_entry_filetype(entry) == AE_IFREG && !archive_entry_symlink(entry)
           && !archive_entry_hardlink(entry);
}

} // namespace

void LibarchiveChapter::Closer::operator()(archive *reader) const
{
    archive_read_free(reader);
}

bool LibarchiveChapter::fail(const QString &text)
{
    m_errorText = text;
    return false;
}

LibarchiveChapter::Reader LibarchiveChapter::start()
{
    if (m_opened)
        return std::move(m_opened);
    Reader reader(archive_read_new());
    if (!reader) {
        fail(QStringLiteral("cannot open archive %1 (out of memory)").arg(m_path));
        return reader;
    }
    // The formats these chapters come in; a ".cbr" that is really a zip is
    // read as well. No compression filters: none of these formats needs one.
    archive_read_support_format_rar(reader.get());
    archive_read_support_format_rar5(reader.get());
    archive_read_support_format_7zip(reader.get());
    archive_read_support_format_zip(reader.get());
    if (archive_read_open_filename(reader.get(), QFile::encodeName(m_path).constData(), 64 * 1024)
        != ARCHIVE_OK) {
        fail(QStringLiteral("cannot open archive %1 (%2)").arg(m_path, reasonOf(reader.get())));
        reader.reset();
    }
    return reader;
}

bool LibarchiveChapter::open(const QString &path)
{
    m_path = path;
    m_errorText.clear();
    m_opened.reset();
    m_opened = start();
    return bool(m_opened);
}

LibarchiveChapter::Next LibarchiveChapter::next(archive *reader, archive_entry *&entry)
{
    const int status = archive_read_next_header(reader, &entry);
    if (status == ARCHIVE_EOF)
        return Next::End;
    if (status < ARCHIVE_WARN) {
        fail(QStringLiteral("cannot read archive %1 (%2)").arg(m_path, reasonOf(reader)));
        return Next::Failed;
    }
    return Next::Entry;
}

QStringList LibarchiveChapter::memberNames()
{
    m_errorText.clear();
    QStringList names;
    const Reader reader = start();
    if (!reader)
        return names;
    archive_entry *entry = nullptr;
    while (next(reader.get(), entry) == Next::Entry) {
        const QString name = nameOf(entry);
        if (isRegular(entry) && !name.isEmpty())
            names.append(name);
        archive_read_data_skip(reader.get());
    }
    return names;
}

std::optional<QByteArray> LibarchiveChapter::read(const QString &memberName,
                                                  const ZipArchive::PasswordPrompt &,
                                                  qint64 sizeLimit)
{
    sizeLimit = qBound<qint64>(0, sizeLimit, ZipArchive::MemberSizeLimit);
    m_errorText.clear();
    const Reader reader = start();
    if (!reader)
        return std::nullopt;
    archive_entry *entry = nullptr;
    QString refused; // a link or folder of that name, unless a file follows
    for (;;) {
        const Next step = next(reader.get(), entry);
        if (step == Next::End)
            fail(refused.isEmpty() ? QStringLiteral("caution: no member matches %1").arg(memberName)
                                   : refused);
        if (step != Next::Entry)
            return std::nullopt;
        if (nameOf(entry) == memberName) {
            if (isRegular(entry))
                break;
            refused = archive_entry_symlink(entry)
                          ? QStringLiteral("  skipping: %1  (refused: symbolic link)")
                          : QStringLiteral("  skipping: %1  (refused: not a regular file)");
            refused = refused.arg(memberName);
        }
        // Passed over without being unpacked, where the format allows.
        archive_read_data_skip(reader.get());
    }

    const bool sizeKnown = archive_entry_size_is_set(entry);
    const qint64 declared = archive_entry_size(entry);
    if (sizeKnown && declared > sizeLimit) {
        fail(QStringLiteral("  skipping: %1  too large (%2 bytes, the limit is %3)")
                 .arg(memberName)
                 .arg(declared)
                 .arg(sizeLimit));
        return std::nullopt;
    }
    QByteArray bytes;
    bytes.reserve(
        qsizetype(qBound<qint64>(0, sizeKnown ? declared : InitialBuffer, InitialBuffer)));
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    for (;;) {
        const la_ssize_t got = archive_read_data(reader.get(), chunk.data(), size_t(chunk.size()));
        if (got < 0) {
            fail(QStringLiteral("  error: %1  not read (%2)")
                     .arg(memberName, reasonOf(reader.get())));
            return std::nullopt;
        }
        if (got == 0)
            return bytes;
        // An entry stating no size, or another than it has, stops at the limit.
        if (bytes.size() + got > sizeLimit) {
            fail(QStringLiteral("  skipping: %1  too large (more than the limit of %2 bytes)")
                     .arg(memberName)
                     .arg(sizeLimit));
            return std::nullopt;
        }
        bytes.append(chunk.constData(), qsizetype(got));
    }
}

QList<QSize> LibarchiveChapter::pageSizes(const QStringList &memberNames)
{
    m_errorText.clear();
    QList<QSize> sizes(memberNames.size());
    // Where each name wanted stands in the list; a name is dropped once
    // met, so the first regular member of that name counts, as read() has it.
    QHash<QString, QList<qsizetype>> wanted;
    for (qsizetype i = 0; i < memberNames.size(); ++i)
        wanted[memberNames[i]].append(i);
    const Reader reader = start();
    if (!reader)
        return sizes;
    QByteArray head(qsizetype(PageHeadBytes), Qt::Uninitialized);
    archive_entry *entry = nullptr;
    while (!wanted.isEmpty() && next(reader.get(), entry) == Next::Entry) {
        const auto found = wanted.constFind(nameOf(entry));
        if (found == wanted.cend() || !isRegular(entry)) {
            archive_read_data_skip(reader.get());
            continue;
        }
        if (archive_entry_is_data_encrypted(entry)) {
            wanted.erase(found); // unknown: no password is ever asked
            continue;
        }
        // Only the head is unpacked, its first part first; the next header
        // passes over the rest.
        qint64 filled = 0;
        QSize size;
        for (const qint64 length : {FirstHeadBytes, PageHeadBytes}) {
            la_ssize_t got = 1;
            while (filled < length && got > 0) {
                got = archive_read_data(reader.get(), head.data() + filled,
                                        size_t(length - filled));
                filled += qMax<la_ssize_t>(got, 0);
            }
            size = got < 0 ? QSize() : pageSizeIn(head.left(qsizetype(filled)));
            if (size.isValid() || got <= 0)
                break;
        }
        for (const qsizetype at : *found)
            sizes[at] = size;
        wanted.erase(found);
    }
    return sizes;
}
