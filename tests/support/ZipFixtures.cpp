#include "ZipFixtures.h"

#include <QFile>
#include <QtEndian>

#include <zip.h>

#include <sys/stat.h>

namespace ZipFixtures {

namespace {

bool failed(const QString &what)
{
    qWarning("zip fixture: %s", qPrintable(what));
    return false;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

quint16 le16(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 le32(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

// Where a member's records lie: its central directory entry and local header.
struct Records {
    qsizetype central = -1;
    qsizetype local = -1;
};

Records recordsOf(const QByteArray &bytes, const QByteArray &name)
{
    const qsizetype end = bytes.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0 || end + 22 > bytes.size())
        return {};
    qsizetype at = le32(bytes, end + 16);
    for (int i = 0, count = le16(bytes, end + 10); i < count && at + 46 <= bytes.size(); ++i) {
        const int nameLength = le16(bytes, at + 28);
        if (bytes.mid(at + 46, nameLength) == name)
            return {at, qsizetype(le32(bytes, at + 42))};
        at += 46 + nameLength + le16(bytes, at + 30) + le16(bytes, at + 32);
    }
    return {};
}

} // namespace

QByteArray pageBytes(const QByteArray &name)
{
    return ("page " + name + "\n").repeated(40);
}

Member file(const QByteArray &name)
{
    return file(name, pageBytes(name));
}

Member file(const QByteArray &name, const QByteArray &content)
{
    return {name, content, Member::Kind::File, 0, {}};
}

Member folder(const QByteArray &name)
{
    return {name, {}, Member::Kind::Folder, 0, {}};
}

Member symlink(const QByteArray &name, const QByteArray &target)
{
    return {name, target, Member::Kind::Symlink, 0, {}};
}

Member encrypted(const QByteArray &name, quint16 method, const QByteArray &password)
{
    return {name, pageBytes(name), Member::Kind::File, method, password};
}

QList<Member> members(const QList<QByteArray> &names)
{
    QList<Member> list;
    for (const QByteArray &name : names)
        list.append(name.endsWith('/') ? folder(name) : file(name));
    return list;
}

bool write(const QString &path, const QList<Member> &members)
{
    // libzip writes no file at all for an archive without members.
    if (members.isEmpty())
        return writeBytes(path, QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
    int code = 0;
    zip_t *archive =
        zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive)
        return failed(QStringLiteral("cannot create %1 (error %2)").arg(path).arg(code));
    bool ok = true;
    for (const Member &member : members) {
        zip_int64_t index = -1;
        if (member.kind == Member::Kind::Folder) {
            // zip_dir_add adds the closing "/" when the name lacks it.
            index = zip_dir_add(archive, member.name.constData(), ZIP_FL_ENC_UTF_8);
        } else {
            // The source copies nothing: the data must live until zip_close.
            zip_source_t *source = zip_source_buffer(archive, member.content.constData(),
                                                     zip_uint64_t(member.content.size()), 0);
            index = source ? zip_file_add(archive, member.name.constData(), source,
                                          ZIP_FL_ENC_UTF_8)
                           : -1;
            if (index < 0 && source)
                zip_source_free(source);
        }
        if (index < 0) {
            ok = failed(QStringLiteral("cannot add %1: %2")
                            .arg(QString::fromUtf8(member.name), zip_strerror(archive)));
            break;
        }
        if (member.kind == Member::Kind::Symlink)
            ok = zip_file_set_external_attributes(archive, zip_uint64_t(index), 0,
                                                  ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16)
                 == 0;
        if (ok && member.encryption)
            ok = zip_file_set_encryption(archive, zip_uint64_t(index), member.encryption,
                                         member.password.constData())
                 == 0;
        if (!ok) {
            failed(QString::fromUtf8(zip_strerror(archive)));
            break;
        }
    }
    if (!ok) {
        zip_discard(archive);
        return false;
    }
    if (zip_close(archive) != 0) {
        failed(QString::fromUtf8(zip_strerror(archive)));
        zip_discard(archive);
        return false;
    }
    return true;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(bytes) != bytes.size())
        return failed(QStringLiteral("cannot write %1").arg(path));
    return true;
}

bool setDeclaredSize(const QString &path, const QByteArray &name, quint32 size)
{
    QByteArray bytes = readAll(path);
    const Records records = recordsOf(bytes, name);
    if (records.central < 0 || records.local < 0 || records.local + 30 > bytes.size())
        return failed(QStringLiteral("no member %1 in %2").arg(QString::fromUtf8(name), path));
    // The uncompressed size: offset 24 of a central entry, 22 of a local header.
    qToLittleEndian<quint32>(size, bytes.data() + records.central + 24);
    qToLittleEndian<quint32>(size, bytes.data() + records.local + 22);
    return writeBytes(path, bytes);
}

bool damageData(const QString &path, const QByteArray &name)
{
    QByteArray bytes = readAll(path);
    const Records records = recordsOf(bytes, name);
    if (records.central < 0 || records.local < 0 || records.local + 30 > bytes.size())
        return failed(QStringLiteral("no member %1 in %2").arg(QString::fromUtf8(name), path));
    const qsizetype data =
        records.local + 30 + le16(bytes, records.local + 26) + le16(bytes, records.local + 28);
    const qsizetype length = le32(bytes, records.central + 20);
    if (length < 8 || data + length > bytes.size())
        return failed(QStringLiteral("member %1 too short to damage").arg(QString::fromUtf8(name)));
    for (qsizetype i = data + length / 2 - 2; i < data + length / 2 + 2; ++i)
        bytes[i] = char(bytes[i] ^ 0x5A);
    return writeBytes(path, bytes);
}

QByteArray passwordPassingCheck(const QString &path, const QByteArray &name,
                                const QByteArray &right)
{
    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!archive)
        return {};
    QByteArray found;
    // One check byte: about one password in 256 gets through.
    for (int i = 0; i < 100000 && found.isEmpty(); ++i) {
        const QByteArray candidate = "wrong-" + QByteArray::number(i);
        if (candidate == right)
            continue;
        if (zip_file_t *member =
                zip_fopen_encrypted(archive, name.constData(), 0, candidate.constData())) {
            zip_fclose(member);
            found = candidate;
        }
    }
    zip_discard(archive);
    return found;
}

} // namespace ZipFixtures
