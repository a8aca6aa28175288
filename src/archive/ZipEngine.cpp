// The libzip side of modUnZip: SingleEntryUnzip lists or extracts one archive.

#include "archive/modUnZip.h"
#include "platform/Wildcard.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace modUnZip {
namespace {

// Passwords that opened a member, per archive, for this run only: the reader
// types a password once per archive, not once per page.
QHash<QString, QByteArray> &rememberedPasswords()
{
    static QHash<QString, QByteArray> passwords;
    return passwords;
}

// Room the password callback gets: 256 bytes and the closing zero.
constexpr int PasswordBufferSize = 257;
constexpr qint64 ReadChunk = 64 * 1024;

struct ArchiveCloser {
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
struct MemberCloser {
    void operator()(zip_file_t *file) const { zip_fclose(file); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;
using MemberFile = std::unique_ptr<zip_file_t, MemberCloser>;

QString libzipText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

struct Pattern {
    QString text;
    QRegularExpression expression;
    bool matched = false;
};

QList<Pattern> patternsOf(qint32 count, const char *const *names, bool caseInsensitive)
{
    QList<Pattern> patterns;
    for (qint32 i = 0; names && i < qMin(count, qint32(ZipNameSlots)); ++i) {
        if (names[i]) {
            const QString text = QString::fromUtf8(names[i]);
            patterns.append({text, wildcardExpression(text, caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive)});
        }
    }
    return patterns;
}

// How reading one member into the extraction folder ended.
enum class Outcome { Written, WrongPassword, Damaged, NotWritten };

struct ReadResult {
    Outcome outcome;
    QString reason;
};

class Request {
public:
    Request(const UnzipOptions &options, UnzipCallbacks &callbacks)
        : m_options(options), m_callbacks(callbacks)
    {
    }

    int run(qint32 includeCount, const char *const *includeNames, qint32 excludeCount,
            const char *const *excludeNames);

private:
    void say(const QString &line);
    bool open();
    int list();
    int extract();
    bool extractMember(zip_uint64_t index, const QString &name);
    bool extractEncrypted(zip_uint64_t index, const QString &name, const QString &target,
                          zip_uint64_t declaredSize);
    ReadResult readInto(zip_uint64_t index, const char *password, const QString &target,
                        zip_uint64_t declaredSize);
    bool isSymbolicLink(zip_uint64_t index);

    const UnzipOptions &m_options;
    UnzipCallbacks &m_callbacks;
    Archive m_archive;
    QString m_archivePath;
    QString m_folder;
    QList<Pattern> m_include;
    QList<Pattern> m_exclude;
};

void Request::say(const QString &line)
{
    if (!m_callbacks.print)
        return;
    const QByteArray bytes = line.toUtf8();
    m_callbacks.print(bytes.constData(), static_cast<unsigned long>(bytes.size()));
    // The line end goes on its own, as the print callback turns it into CR LF.
    m_callbacks.print("\n", 1);
}

int Request::run(qint32 includeCount, const char *const *includeNames, qint32 excludeCount,
                 const char *const *excludeNames)
{
    const bool caseInsensitive = m_options.caseInsensitive != 0;
    m_include = patternsOf(includeCount, includeNames, caseInsensitive);
    m_exclude = patternsOf(excludeCount, excludeNames, caseInsensitive);
    m_archivePath = QFile::decodeName(m_options.archivePath ? m_options.archivePath : "");
    m_folder = QFile::decodeName(m_options.extractFolder ? m_options.extractFolder : "");
    while (m_folder.size() > 1 && m_folder.endsWith(QLatin1Char('/')))
        m_folder.chop(1);
    if (!m_options.listMembers && m_folder.isEmpty()) {
        say(QStringLiteral("no folder to extract into"));
        return UnzipCannotOpen;
    }
    if (!open())
        return UnzipCannotOpen;
    return m_options.listMembers ? list() : extract();
}

bool Request::open()
{
    int code = ZIP_ER_OK;
    m_archive.reset(zip_open(QFile::encodeName(m_archivePath).constData(), ZIP_RDONLY, &code));
    if (m_archive)
        return true;
    if (QFileInfo(m_archivePath).isDir())
        say(QStringLiteral("cannot open archive %1 (it is a folder)").arg(m_archivePath));
    else if (code == ZIP_ER_NOZIP)
        say(QStringLiteral("%1: not a zip archive, or a damaged one").arg(m_archivePath));
    else if (code == ZIP_ER_INCONS || code == ZIP_ER_MULTIDISK)
        say(QStringLiteral("%1: damaged zip archive (%2)").arg(m_archivePath, libzipText(code)));
    else
        say(QStringLiteral("cannot open archive %1 (%2)").arg(m_archivePath, libzipText(code)));
    return false;
}

int Request::list()
{
    const zip_int64_t count = zip_get_num_entries(m_archive.get(), 0);
    if (m_options.showComment) {
        int length = 0;
        if (const char *comment = zip_get_archive_comment(m_archive.get(), &length, 0)) {
            m_callbacks.commentLength = quint16(qMin(length, 0xFFFF));
            say(QString::fromUtf8(comment, length));
        }
    }
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        if (zip_stat_index(m_archive.get(), zip_uint64_t(i), 0, &stat) != 0 || !stat.name)
            continue;
        if (m_callbacks.service && m_callbacks.service(stat.name, stat.size) != 0)
            return UnzipStopped;
        const QDateTime time = QDateTime::fromSecsSinceEpoch(stat.mtime);
        const int percent =
            stat.size ? int(100 - qMin<quint64>(100, stat.comp_size * 100 / stat.size)) : 0;
        const QByteArray method = stat.comp_method == ZIP_CM_STORE ? QByteArray("Stored")
                                  : stat.comp_method == ZIP_CM_DEFLATE
                                      ? QByteArray("Deflated")
                                      : "Method " + QByteArray::number(stat.comp_method);
        const char encrypted = stat.encryption_method != ZIP_EM_NONE ? 1 : 0;
        if (m_callbacks.memberReport)
            m_callbacks.memberReport(stat.size, stat.comp_size, percent, time.date().month(),
                                     time.date().day(), time.date().year(),
                                     time.time().hour(), time.time().minute(),
                                     encrypted ? '*' : ' ', stat.name, method.constData(),
                                     stat.crc, encrypted);
        m_callbacks.compressedTotal += stat.comp_size;
        m_callbacks.uncompressedTotal += stat.size;
        ++m_callbacks.memberCount;
    }
    const quint64 total = m_callbacks.uncompressedTotal;
    m_callbacks.compressionPercent =
        total ? int(100 - qMin<quint64>(100, m_callbacks.compressedTotal * 100 / total)) : 0;
    return UnzipOk;
}

int Request::extract()
{
    const zip_int64_t count = zip_get_num_entries(m_archive.get(), 0);
    bool allWritten = true;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *raw = zip_get_name(m_archive.get(), zip_uint64_t(i), 0);
        if (!raw)
            continue;
        const QString name = QString::fromUtf8(raw);
        bool wanted = m_include.isEmpty();
        for (Pattern &pattern : m_include) {
            if (pattern.expression.match(name).hasMatch())
                wanted = pattern.matched = true;
        }
        for (const Pattern &pattern : std::as_const(m_exclude))
            wanted = wanted && !pattern.expression.match(name).hasMatch();
        if (!wanted)
            continue;
        zip_stat_t stat;
        zip_stat_init(&stat);
        zip_stat_index(m_archive.get(), zip_uint64_t(i), 0, &stat);
        if (m_callbacks.service && m_callbacks.service(raw, stat.size) != 0)
            return UnzipStopped;
        allWritten = extractMember(zip_uint64_t(i), name) && allWritten;
    }
    bool allMatched = true;
    for (const Pattern &pattern : std::as_const(m_include)) {
        if (!pattern.matched) {
            say(QStringLiteral("caution: no member matches %1").arg(pattern.text));
            allMatched = false;
        }
    }
    if (!allMatched)
        return UnzipNothingMatched;
    return allWritten ? UnzipOk : UnzipWarning;
}

bool Request::isSymbolicLink(zip_uint64_t index)
{
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(m_archive.get(), index, 0, &system, &attributes) != 0)
        return false;
    // Unix keeps the file mode in the high half; other systems have no links.
    return system == ZIP_OPSYS_UNIX && S_ISLNK(attributes >> 16);
}

bool Request::extractMember(zip_uint64_t index, const QString &name)
{
    // Only the bare name ever reaches the file system: "../x.jpg" and
    // "/abs.jpg" land as x.jpg and abs.jpg inside the folder. What is left
    // of a name after that must be a plain file name.
    const QString bare = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    if (bare.isEmpty() || bare == QLatin1String(".") || bare == QLatin1String("..")) {
        say(QStringLiteral("  skipping: %1  (refused name: no file name to write)").arg(name));
        return false;
    }
    if (isSymbolicLink(index)) {
        say(QStringLiteral("  skipping: %1  (refused: symbolic link)").arg(name));
        return false;
    }
    zip_stat_t stat;
    if (zip_stat_index(m_archive.get(), index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) {
        say(QStringLiteral("  error: %1  damaged member (no size)").arg(name));
        return false;
    }
    const zip_uint64_t declared = stat.size;
    if (declared > zip_uint64_t(ZipMemberSizeLimit)) {
        say(QStringLiteral("  skipping: %1  too large (%2 bytes, the limit is %3)")
                .arg(name)
                .arg(declared)
                .arg(ZipMemberSizeLimit));
        return false;
    }
    const bool encrypted =
        (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE;
    // No point asking for a password that could not be used.
    if (encrypted && !zip_encryption_method_supported(stat.encryption_method, 0)) {
        say(QStringLiteral("  skipping: %1  unsupported encryption").arg(name));
        return false;
    }
    // The extraction folder is the reader's private run folder: whatever lies
    // there under this bare name is a leftover of an earlier extraction, maybe
    // of another chapter, and keeping it would show the wrong page. So an
    // existing file is always replaced and the replace callback never asked.
    const QString target = m_folder + QLatin1Char('/') + bare;
    if (encrypted)
        return extractEncrypted(index, name, target, declared);

    const ReadResult result = readInto(index, nullptr, target, declared);
    if (result.outcome == Outcome::Written)
        return true;
    if (result.outcome == Outcome::Damaged)
        say(QStringLiteral("  error: %1  damaged member (%2)").arg(name, result.reason));
    else
        say(QStringLiteral("  error: %1  not extracted (%2)").arg(name, result.reason));
    return false;
}

bool Request::extractEncrypted(zip_uint64_t index, const QString &name, const QString &target,
                               zip_uint64_t declared)
{
    const QString key = QFileInfo(m_archivePath).absoluteFilePath();
    auto &remembered = rememberedPasswords();
    ReadResult result{Outcome::WrongPassword, {}};
    if (remembered.contains(key)) {
        result = readInto(index, remembered.value(key).constData(), target, declared);
        if (result.outcome == Outcome::Written)
            return true;
    }
    // Nothing remembered, or a password this member refuses at once: ask.
    // A remembered password that opens the member but fails while reading
    // points at damage, and asking would not help.
    if (result.outcome == Outcome::WrongPassword) {
        char buffer[PasswordBufferSize] = {};
        const QByteArray prompt = "Enter the password for " + name.toUtf8();
        const QByteArray member = name.toUtf8();
        if (!m_callbacks.password
            || m_callbacks.password(buffer, PasswordBufferSize, prompt.constData(),
                                    member.constData())
                   != ZipPasswordGiven) {
            say(QStringLiteral("  skipping: %1  no password given").arg(name));
            return false;
        }
        const QByteArray password(buffer, qsizetype(strnlen(buffer, sizeof buffer - 1)));
        result = readInto(index, password.constData(), target, declared);
        if (result.outcome == Outcome::Written) {
            remembered.insert(key, password);
            return true;
        }
    }
    switch (result.outcome) {
    case Outcome::WrongPassword:
        say(QStringLiteral("  skipping: %1  wrong password").arg(name));
        break;
    case Outcome::Damaged:
        // Traditional encryption lets about one wrong password in 256 past its
        // check byte; the member then fails its CRC like a damaged one.
        say(QStringLiteral("  skipping: %1  wrong password or damaged member (%2)")
                .arg(name, result.reason));
        break;
    default:
        say(QStringLiteral("  error: %1  not extracted (%2)").arg(name, result.reason));
        break;
    }
    return false;
}

ReadResult Request::readInto(zip_uint64_t index, const char *password, const QString &target,
                             zip_uint64_t declared)
{
    MemberFile member(password ? zip_fopen_index_encrypted(m_archive.get(), index, 0, password)
                               : zip_fopen_index(m_archive.get(), index, 0));
    if (!member) {
        const int code = zip_error_code_zip(zip_get_error(m_archive.get()));
        zip_error_clear(m_archive.get());
        switch (code) {
        case ZIP_ER_WRONGPASSWD:
        case ZIP_ER_NOPASSWD: return {Outcome::WrongPassword, libzipText(code)};
        case ZIP_ER_COMPNOTSUPP:
        case ZIP_ER_ENCRNOTSUPP:
        case ZIP_ER_MEMORY: return {Outcome::NotWritten, libzipText(code)};
        default: return {Outcome::Damaged, libzipText(code)};
        }
    }

    // Write beside the target and rename into place only when every byte
    // checked out, so a damaged member leaves no partial file behind.
    QTemporaryFile file(m_folder + QStringLiteral("/.unzip-XXXXXX"));
    if (!file.open())
        return {Outcome::NotWritten, QStringLiteral("cannot write into %1: %2")
                                         .arg(m_folder, file.errorString())};
    // libzip does not hold a member to its declared size: count what comes.
    QByteArray chunk(ReadChunk, Qt::Uninitialized);
    zip_uint64_t total = 0;
    for (;;) {
        const zip_int64_t got = zip_fread(member.get(), chunk.data(), zip_uint64_t(chunk.size()));
        if (got < 0) {
            const int code = zip_error_code_zip(zip_file_get_error(member.get()));
            return {Outcome::Damaged, libzipText(code)};
        }
        if (got == 0)
            break;
        total += zip_uint64_t(got);
        if (total > declared)
            return {Outcome::Damaged, QStringLiteral("more data than its declared %1 bytes")
                                          .arg(declared)};
        if (file.write(chunk.constData(), got) != got)
            return {Outcome::NotWritten, file.errorString()};
    }
    if (total < declared)
        return {Outcome::Damaged,
                QStringLiteral("%1 bytes instead of the declared %2").arg(total).arg(declared)};
    if (!file.flush())
        return {Outcome::NotWritten, file.errorString()};
    // The temporary may have no name yet (O_TMPFILE): asking for it gives it one.
    const QString written = file.fileName();
    file.close();
    // rename() replaces whatever is at the target, a link included, without
    // following it; Qt's rename would refuse an existing target.
    if (std::rename(QFile::encodeName(written).constData(),
                    QFile::encodeName(target).constData())
        != 0)
        return {Outcome::NotWritten, QString::fromLocal8Bit(std::strerror(errno))};
    file.setAutoRemove(false);
    return {Outcome::Written, {}};
}

} // namespace

int SingleEntryUnzip(qint32 includeCount, const char *const *includeNames, qint32 excludeCount,
                     const char *const *excludeNames, const UnzipOptions &options,
                     UnzipCallbacks &callbacks)
{
    return Request(options, callbacks).run(includeCount, includeNames, excludeCount, excludeNames);
}

} // namespace modUnZip
