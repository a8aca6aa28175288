// The engine behind modUnZip: SingleEntryUnzip lists or extracts one archive
// through ZipArchive and reports through the request's callbacks.

#include "archive/ZipArchive.h"
#include "archive/modUnZip.h"
#include "platform/Wildcard.h"

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace modUnZip {
namespace {

static_assert(ZipMemberSizeLimit == ZipArchive::MemberSizeLimit);

// Room the password callback gets: 256 bytes and the closing zero.
constexpr int PasswordBufferSize = 257;

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
            patterns.append({text, wildcardExpression(text, caseInsensitive ? Qt::CaseInsensitive
                                                                            : Qt::CaseSensitive)});
        }
    }
    return patterns;
}

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
    int list();
    int extract();
    bool extractMember(qint64 index, const QString &name);
    bool writeFile(const QString &name, const QString &target, const QByteArray &bytes);

    const UnzipOptions &m_options;
    UnzipCallbacks &m_callbacks;
    ZipArchive m_archive;
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
    m_folder = QFile::decodeName(m_options.extractFolder ? m_options.extractFolder : "");
    while (m_folder.size() > 1 && m_folder.endsWith(QLatin1Char('/')))
        m_folder.chop(1);
    if (!m_options.listMembers && m_folder.isEmpty()) {
        say(QStringLiteral("no folder to extract into"));
        return UnzipCannotOpen;
    }
    if (!m_archive.open(QFile::decodeName(m_options.archivePath ? m_options.archivePath : ""))) {
        say(m_archive.errorText());
        return UnzipCannotOpen;
    }
    return m_options.listMembers ? list() : extract();
}

int Request::list()
{
    if (m_options.showComment) {
        if (const std::optional<QByteArray> comment = m_archive.comment()) {
            m_callbacks.commentLength = quint16(qMin<qsizetype>(comment->size(), 0xFFFF));
            say(QString::fromUtf8(*comment));
        }
    }
    const qint64 count = m_archive.memberCount();
    for (qint64 i = 0; i < count; ++i) {
        const std::optional<ZipMemberInfo> member = m_archive.memberInfo(i);
        if (!member)
            continue;
        const char *name = member->name.constData();
        if (m_callbacks.service && m_callbacks.service(name, member->size) != 0)
            return UnzipStopped;
        const QDateTime time = QDateTime::fromSecsSinceEpoch(member->modified);
        const quint64 size = member->size, packed = member->compressedSize;
        const int percent = size ? int(100 - qMin<quint64>(100, packed * 100 / size)) : 0;
        const qint32 method = member->compressionMethod;
        const QByteArray methodName = method == ZIP_CM_STORE ? QByteArray("Stored")
                                      : method == ZIP_CM_DEFLATE
                                          ? QByteArray("Deflated")
                                          : "Method " + QByteArray::number(method);
        const char encrypted = member->encryptionMethod != ZIP_EM_NONE ? 1 : 0;
        if (m_callbacks.memberReport)
            m_callbacks.memberReport(size, packed, percent, time.date().month(), time.date().day(),
                                     time.date().year(), time.time().hour(), time.time().minute(),
                                     encrypted ? '*' : ' ', name, methodName.constData(),
                                     member->crc, encrypted);
        m_callbacks.compressedTotal += packed;
        m_callbacks.uncompressedTotal += size;
        ++m_callbacks.memberCount;
    }
    const quint64 total = m_callbacks.uncompressedTotal;
    m_callbacks.compressionPercent =
        total ? int(100 - qMin<quint64>(100, m_callbacks.compressedTotal * 100 / total)) : 0;
    return UnzipOk;
}

int Request::extract()
{
    const qint64 count = m_archive.memberCount();
    bool allWritten = true;
    for (qint64 i = 0; i < count; ++i) {
        const std::optional<ZipMemberInfo> member = m_archive.memberInfo(i);
        if (!member)
            continue;
        const QString name = QString::fromUtf8(member->name);
        bool wanted = m_include.isEmpty();
        for (Pattern &pattern : m_include) {
            if (pattern.expression.match(name).hasMatch())
                wanted = pattern.matched = true;
        }
        for (const Pattern &pattern : std::as_const(m_exclude))
            wanted = wanted && !pattern.expression.match(name).hasMatch();
        if (!wanted)
            continue;
        if (m_callbacks.service && m_callbacks.service(member->name.constData(), member->size) != 0)
            return UnzipStopped;
        allWritten = extractMember(i, name) && allWritten;
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

bool Request::extractMember(qint64 index, const QString &name)
{
    // Only the bare name ever reaches the file system: "../x.jpg" and
    // "/abs.jpg" land as x.jpg and abs.jpg inside the folder. What is left
    // of a name after that must be a plain file name.
    const QString bare = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    if (bare.isEmpty() || bare == QLatin1String(".") || bare == QLatin1String("..")) {
        say(QStringLiteral("  skipping: %1  (refused name: no file name to write)").arg(name));
        return false;
    }
    const PasswordFunction password = m_callbacks.password;
    const std::optional<QByteArray> bytes = m_archive.read(
        index, [password](const QString &member) { return ZipAskPassword(password, member); });
    if (!bytes) {
        say(m_archive.errorText());
        return false;
    }
    // The extraction folder is the reader's private run folder: whatever lies
    // there under this bare name is a leftover of an earlier extraction, maybe
    // of another chapter, and keeping it would show the wrong page. So an
    // existing file is always replaced without asking.
    return writeFile(name, m_folder + QLatin1Char('/') + bare, *bytes);
}

bool Request::writeFile(const QString &name, const QString &target, const QByteArray &bytes)
{
    const auto failed = [&](const QString &reason) {
        say(QStringLiteral("  error: %1  not extracted (%2)").arg(name, reason));
        return false;
    };
    // Write beside the target and rename into place only when every byte is
    // down, so a failed write leaves no partial file behind.
    QTemporaryFile file(m_folder + QStringLiteral("/.unzip-XXXXXX"));
    if (!file.open())
        return failed(QStringLiteral("cannot write into %1: %2").arg(m_folder, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.flush())
        return failed(file.errorString());
    // The temporary may have no name yet (O_TMPFILE): asking for it gives it one.
    const QString written = file.fileName();
    file.close();
    // rename() replaces whatever is at the target, a link included, without
    // following it; Qt's rename would refuse an existing target.
    if (std::rename(QFile::encodeName(written).constData(), QFile::encodeName(target).constData())
        != 0)
        return failed(QString::fromLocal8Bit(std::strerror(errno)));
    file.setAutoRemove(false);
    return true;
}

} // namespace

std::optional<QByteArray> ZipAskPassword(PasswordFunction password, const QString &memberName)
{
    if (!password)
        return std::nullopt;
    char buffer[PasswordBufferSize] = {};
    const QByteArray member = memberName.toUtf8();
    const QByteArray prompt = "Enter the password for " + member;
    if (password(buffer, PasswordBufferSize, prompt.constData(), member.constData())
        != ZipPasswordGiven)
        return std::nullopt;
    return QByteArray(buffer, qsizetype(strnlen(buffer, sizeof buffer - 1)));
}

int SingleEntryUnzip(qint32 includeCount, const char *const *includeNames, qint32 excludeCount,
                     const char *const *excludeNames, const UnzipOptions &options,
                     UnzipCallbacks &callbacks)
{
    return Request(options, callbacks).run(includeCount, includeNames, excludeCount, excludeNames);
}

} // namespace modUnZip
