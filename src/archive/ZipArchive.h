#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <optional>

struct zip_stat;

struct zip;

// Facts about one member, as its central directory entry states them.
struct ZipMemberInfo {
    QByteArray name; // UTF-8, as libzip hands it out
    bool sizeKnown = false;
    quint64 size = 0; // declared uncompressed size
    quint64 compressedSize = 0;
    qint64 modified = 0; // seconds since the epoch
    qint32 compressionMethod = 0;
    quint32 crc = 0;
    quint16 encryptionMethod = 0; // 0 = not encrypted
};

// One zip archive opened read-only on libzip: its member names and the bytes
// of one member at a time, checked for size and password.
//
// Threads: an instance belongs to one thread at a time and owns its own
// libzip handle, so a worker opens its own instance and never shares one
// with the user-interface thread. The only state shared between instances is
// the remembered passwords, which a mutex guards; it is touched only for
// encrypted members. A read without a prompt never asks anybody anything.
class ZipArchive {
public:
    // No member is ever read into memory beyond this size, whatever it
    // declares, so a hostile archive cannot exhaust memory or disk.
    static constexpr qint64 MemberSizeLimit = qint64(512) << 20; // 512 MiB

    // Asked for the password of an encrypted member whose password is not
    // yet known (memberName as stored); nullopt declines.
    using PasswordPrompt = std::function<std::optional<QByteArray>(const QString &memberName)>;

    enum class Error {
        None,
        CannotOpen, // missing, a folder, not a zip, damaged directory
        NoSuchMember,
        SymbolicLink, // a link is never content
        NoSize,       // the entry states no size
        TooLarge,     // declared over MemberSizeLimit
        UnsupportedEncryption,
        NoPassword, // encrypted, password unknown and not given
        WrongPassword,
        WrongPasswordOrDamaged, // opened with a password, then failed its check
        Damaged,                // bad data, or more or fewer bytes than declared
        NotRead,                // compression method unknown, out of memory
    };

    ZipArchive() = default;
    explicit ZipArchive(const QString &path) { open(path); }
    ZipArchive(ZipArchive &&) noexcept = default;
    ZipArchive &operator=(ZipArchive &&) noexcept = default;
    ~ZipArchive() = default;

    // Opens path, closing whatever was open. False, with the error set, when
    // it is no readable zip archive.
    bool open(const QString &path);
    bool isOpen() const { return bool(m_archive); }
    QString path() const { return m_path; }

    qint64 memberCount() const;
    // The index of the member stored under exactly this name, or -1.
    qint64 indexOf(const QString &name) const;
    std::optional<ZipMemberInfo> memberInfo(qint64 index) const;
    // The archive comment; nullopt when the archive has none.
    std::optional<QByteArray> comment() const;

    // The member's bytes, or nullopt with the error set. An encrypted member
    // is tried with the password remembered for this archive; when there is
    // none, or it fails at once, ask is asked (a null ask declines at once)
    // and a password that reads the member is remembered for the run.
    // A member declared larger than sizeLimit is refused unread.
    std::optional<QByteArray> read(qint64 index, const PasswordPrompt &ask = {},
                                   qint64 sizeLimit = MemberSizeLimit);

    // At most the first maxBytes of the member (all of a shorter one), or
    // nullopt with the error set. Never asks for a password: an encrypted
    // member fails unread. The data is not checked, as it is not read to
    // its end.
    std::optional<QByteArray> readStart(qint64 index, qint64 maxBytes);

    Error error() const { return m_error; }
    // What failed, as one line for the archive message: the archive's path or
    // the member's name, and why. Empty after a success.
    QString errorText() const { return m_errorText; }

private:
    struct Closer {
        void operator()(zip *archive) const;
    };
    enum class Attempt { Read, WrongPassword, Damaged, NotRead };

    bool fail(Error error, const QString &text);
    bool isSymbolicLink(qint64 index) const;
    // Starts a read: clears the error, then gives the member's facts and
    // name; false, with the error set, when there is no such member or it
    // is a symbolic link.
    bool statMember(qint64 index, struct zip_stat &stat, QString &name);
    Attempt attempt(qint64 index, const char *password, quint64 declared, QByteArray &bytes,
                    QString &reason);

    std::unique_ptr<zip, Closer> m_archive;
    QString m_path;
    Error m_error = Error::None;
    QString m_errorText;
};
