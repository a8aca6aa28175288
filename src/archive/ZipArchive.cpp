#include "archive/ZipArchive.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include <zip.h>

#include <sys/stat.h>

namespace {

// Passwords that opened a member, per archive (by absolute path), for this
// run only: the reader types a password once per archive, not once per page.
// Shared by every instance on every thread, hence the mutex.
struct PasswordStore {
    QMutex mutex;
    QHash<QString, QByteArray> passwords;
};

PasswordStore &passwordStore()
{
    static PasswordStore store;
    return store;
}

std::optional<QByteArray> rememberedPassword(const QString &archivePath)
{
    PasswordStore &store = passwordStore();
    const QMutexLocker lock(&store.mutex);
    const auto found = store.passwords.constFind(QFileInfo(archivePath).absoluteFilePath());
    if (found == store.passwords.cend())
        return std::nullopt;
    return *found;
}

void rememberPassword(const QString &archivePath, const QByteArray &password)
{
    PasswordStore &store = passwordStore();
    const QMutexLocker lock(&store.mutex);
    store.passwords.insert(QFileInfo(archivePath).absoluteFilePath(), password);
}

// Most members are pages of a few MiB: start with room for that and grow
// only as bytes actually arrive, so a member merely declaring a huge size
// costs nothing.
constexpr quint64 InitialBuffer = 8 * 1024 * 1024;

struct MemberCloser {
    void operator()(zip_file_t *file) const { zip_fclose(file); }
};

QString libzipText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

bool encrypted(const zip_stat_t &stat)
{
    return (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE;
}

} // namespace

void ZipArchive::Closer::operator()(zip *archive) const
{
    zip_discard(archive);
}

bool ZipArchive::fail(Error error, const QString &text)
{
    m_error = error;
    m_errorText = text;
    return false;
}

bool ZipArchive::open(const QString &path)
{
    m_archive.reset();
    m_path = path;
    m_error = Error::None;
    m_errorText.clear();
    int code = ZIP_ER_OK;
    m_archive.reset(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code));
    if (m_archive)
        return true;
    if (QFileInfo(path).isDir())
        return fail(Error::CannotOpen,
                    QStringLiteral("cannot open archive %1 (it is a folder)").arg(path));
    if (code == ZIP_ER_NOZIP)
        return fail(Error::CannotOpen,
                    QStringLiteral("%1: not a zip archive, or a damaged one").arg(path));
    if (code == ZIP_ER_INCONS || code == ZIP_ER_MULTIDISK)
        return fail(Error::CannotOpen,
                    QStringLiteral("%1: damaged zip archive (%2)").arg(path, libzipText(code)));
    return fail(Error::CannotOpen,
                QStringLiteral("cannot open archive %1 (%2)").arg(path, libzipText(code)));
}

qint64 ZipArchive::memberCount() const
{
    return m_archive ? qMax<zip_int64_t>(0, zip_get_num_entries(m_archive.get(), 0)) : 0;
}

qint64 ZipArchive::indexOf(const QString &name) const
{
    if (!m_archive)
        return -1;
    return zip_name_locate(m_archive.get(), name.toUtf8().constData(), 0);
}

std::optional<ZipMemberInfo> ZipArchive::memberInfo(qint64 index) const
{
    zip_stat_t stat;
    if (!m_archive || index < 0
        || zip_stat_index(m_archive.get(), zip_uint64_t(index), 0, &stat) != 0 || !stat.name)
        return std::nullopt;
    ZipMemberInfo info;
    info.name = QByteArray(stat.name);
    info.sizeKnown = stat.valid & ZIP_STAT_SIZE;
    info.size = stat.size;
    info.compressedSize = stat.comp_size;
    info.modified = stat.mtime;
    info.compressionMethod = stat.comp_method;
    info.crc = stat.crc;
    info.encryptionMethod = encrypted(stat) ? stat.encryption_method : ZIP_EM_NONE;
    return info;
}

std::optional<QByteArray> ZipArchive::comment() const
{
    int length = 0;
    const char *text = m_archive ? zip_get_archive_comment(m_archive.get(), &length, 0) : nullptr;
    if (!text)
        return std::nullopt;
    return QByteArray(text, length);
}

bool ZipArchive::isSymbolicLink(qint64 index) const
{
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(m_archive.get(), zip_uint64_t(index), 0, &system,
                                         &attributes)
        != 0)
        return false;
    // Unix keeps the file mode in the high half; other systems have no links.
    return system == ZIP_OPSYS_UNIX && S_ISLNK(attributes >> 16);
}

bool ZipArchive::statMember(qint64 index, zip_stat_t &stat, QString &name)
{
    m_error = Error::None;
    m_errorText.clear();
    if (!m_archive || index < 0
        || zip_stat_index(m_archive.get(), zip_uint64_t(index), 0, &stat) != 0 || !stat.name)
        return fail(Error::NoSuchMember,
                    QStringLiteral("caution: no member matches #%1").arg(index));
    name = QString::fromUtf8(stat.name);
    if (isSymbolicLink(index))
        return fail(Error::SymbolicLink,
                    QStringLiteral("  skipping: %1  (refused: symbolic link)").arg(name));
    return true;
}

std::optional<QByteArray> ZipArchive::read(qint64 index, const PasswordPrompt &ask,
                                           qint64 sizeLimit)
{
    sizeLimit = qBound<qint64>(0, sizeLimit, MemberSizeLimit);
    zip_stat_t stat;
    QString name;
    if (!statMember(index, stat, name))
        return std::nullopt;
    if (!(stat.valid & ZIP_STAT_SIZE)) {
        fail(Error::NoSize, QStringLiteral("  error: %1  damaged member (no size)").arg(name));
        return std::nullopt;
    }
    const quint64 declared = stat.size;
    if (declared > quint64(sizeLimit)) {
        fail(Error::TooLarge,
             QStringLiteral("  skipping: %1  too large (%2 bytes, the limit is %3)")
                 .arg(name)
                 .arg(declared)
                 .arg(sizeLimit));
        return std::nullopt;
    }

    QByteArray bytes;
    QString reason;
    if (!encrypted(stat)) {
        switch (attempt(index, nullptr, declared, bytes, reason)) {
        case Attempt::Read: return bytes;
        case Attempt::Damaged:
            fail(Error::Damaged,
                 QStringLiteral("  error: %1  damaged member (%2)").arg(name, reason));
            break;
        default:
            fail(Error::NotRead,
                 QStringLiteral("  error: %1  not extracted (%2)").arg(name, reason));
            break;
        }
        return std::nullopt;
    }

    // No point asking for a password that could not be used.
    if (!zip_encryption_method_supported(stat.encryption_method, 0)) {
        fail(Error::UnsupportedEncryption,
             QStringLiteral("  skipping: %1  unsupported encryption").arg(name));
        return std::nullopt;
    }
    Attempt outcome = Attempt::WrongPassword;
    if (const std::optional<QByteArray> known = rememberedPassword(m_path)) {
        outcome = attempt(index, known->constData(), declared, bytes, reason);
        if (outcome == Attempt::Read)
            return bytes;
    }
    // Nothing remembered, or a password this member refuses at once: ask.
    // A remembered password that opens the member but fails while reading
    // points at damage, and asking would not help.
    if (outcome == Attempt::WrongPassword) {
        const std::optional<QByteArray> given = ask ? ask(name) : std::nullopt;
        if (!given) {
            fail(Error::NoPassword, QStringLiteral("  skipping: %1  no password given").arg(name));
            return std::nullopt;
        }
        outcome = attempt(index, given->constData(), declared, bytes, reason);
        if (outcome == Attempt::Read) {
            rememberPassword(m_path, *given);
            return bytes;
        }
    }
    switch (outcome) {
    case Attempt::WrongPassword:
        fail(Error::WrongPassword, QStringLiteral("  skipping: %1  wrong password").arg(name));
        break;
    case Attempt::Damaged:
        // Traditional encryption lets about one wrong password in 256 past its
        // check byte; the member then fails its CRC like a damaged one.
        fail(Error::WrongPasswordOrDamaged,
             QStringLiteral("  skipping: %1  wrong password or damaged member (%2)")
                 .arg(name, reason));
        break;
    default:
        fail(Error::NotRead, QStringLiteral("  error: %1  not extracted (%2)").arg(name, reason));
        break;
    }
    return std::nullopt;
}

std::optional<QByteArray> ZipArchive::readStart(qint64 index, qint64 maxBytes)
{
    zip_stat_t stat;
    QString name;
    if (!statMember(index, stat, name))
        return std::nullopt;
    if (encrypted(stat)) {
        fail(Error::NoPassword, QStringLiteral("  skipping: %1  no password given").arg(name));
        return std::nullopt;
    }
    const std::unique_ptr<zip_file_t, MemberCloser> member(
        zip_fopen_index(m_archive.get(), zip_uint64_t(index), 0));
    if (!member) {
        const int code = zip_error_code_zip(zip_get_error(m_archive.get()));
        zip_error_clear(m_archive.get());
        fail(Error::NotRead,
             QStringLiteral("  error: %1  not extracted (%2)").arg(name, libzipText(code)));
        return std::nullopt;
    }
    QByteArray bytes(qsizetype(qBound<qint64>(0, maxBytes, MemberSizeLimit)), Qt::Uninitialized);
    qint64 total = 0;
    while (total < bytes.size()) {
        const zip_int64_t got = zip_fread(member.get(), bytes.data() + total,
                                          zip_uint64_t(bytes.size() - total));
        if (got < 0) {
            fail(Error::Damaged,
                 QStringLiteral("  error: %1  damaged member (%2)")
                     .arg(name, libzipText(zip_error_code_zip(zip_file_get_error(member.get())))));
            return std::nullopt;
        }
        if (got == 0)
            break;
        total += got;
    }
    bytes.truncate(qsizetype(total));
    return bytes;
}

ZipArchive::Attempt ZipArchive::attempt(qint64 index, const char *password, quint64 declared,
                                        QByteArray &bytes, QString &reason)
{
    zip_t *archive = m_archive.get();
    std::unique_ptr<zip_file_t, MemberCloser> member(
        password ? zip_fopen_index_encrypted(archive, zip_uint64_t(index), 0, password)
                 : zip_fopen_index(archive, zip_uint64_t(index), 0));
    if (!member) {
        const int code = zip_error_code_zip(zip_get_error(archive));
        zip_error_clear(archive);
        reason = libzipText(code);
        switch (code) {
        case ZIP_ER_WRONGPASSWD:
        case ZIP_ER_NOPASSWD: return Attempt::WrongPassword;
        case ZIP_ER_COMPNOTSUPP:
        case ZIP_ER_ENCRNOTSUPP:
        case ZIP_ER_MEMORY: return Attempt::NotRead;
        default: return Attempt::Damaged;
        }
    }
    const auto readError = [&] {
        reason = libzipText(zip_error_code_zip(zip_file_get_error(member.get())));
        return Attempt::Damaged;
    };

    // libzip does not hold a member to its declared size: read at most that
    // many bytes, then make sure the data ends there.
    QByteArray data(qsizetype(qMin(declared, InitialBuffer)), Qt::Uninitialized);
    quint64 total = 0;
    while (total < declared) {
        if (total == quint64(data.size()))
            data.resize(qsizetype(qMin(declared, total * 2)));
        const zip_int64_t got = zip_fread(member.get(), data.data() + total,
                                          zip_uint64_t(data.size()) - total);
        if (got < 0)
            return readError();
        if (got == 0)
            break;
        total += quint64(got);
    }
    if (total < declared) {
        reason = QStringLiteral("%1 bytes instead of the declared %2").arg(total).arg(declared);
        return Attempt::Damaged;
    }
    // Reading on at the end also runs libzip's own check of the data.
    char extra = 0;
    const zip_int64_t more = zip_fread(member.get(), &extra, 1);
    if (more < 0)
        return readError();
    if (more > 0) {
        reason = QStringLiteral("more data than its declared %1 bytes").arg(declared);
        return Attempt::Damaged;
    }
    bytes = std::move(data);
    return Attempt::Read;
}
