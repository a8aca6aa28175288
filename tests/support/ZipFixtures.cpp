#include "ZipFixtures.h"

#include <QFile>
#include <QtEndian>

#include <zip.h>

namespace ZipFixtures {

static bool failed(const QString &what)
{
    qWarning("zip fixture: %s", qPrintable(what));
    return false;
}

// Finds a member's local header and central directory entry as the first and
// the last place its name lies (30 and 46 bytes in), then makes both declare
// `size` as uncompressed size or, without one, garbles the data's middle.
bool patch(const QString &path, const QByteArray &name, std::optional<quint32> size)
{
    QFile file(path);
    QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const qsizetype local = bytes.indexOf(name) - 30, central = bytes.lastIndexOf(name) - 46;
    const char *at = bytes.constData();
    const qsizetype middle = local < 0 || central <= local
                                 ? 0
                                 : local + 30 + name.size()
                                       + qFromLittleEndian<quint16>(at + local + 28)
                                       + qFromLittleEndian<quint32>(at + central + 20) / 2;
    if (middle < local + 34 || middle + 2 > central) // no data of 8 bytes or more
        return failed(QStringLiteral("cannot patch %1 in %2").arg(QString::fromUtf8(name), path));
    if (size) {
        qToLittleEndian<quint32>(*size, bytes.data() + local + 22);
        qToLittleEndian<quint32>(*size, bytes.data() + central + 24);
    }
    for (qsizetype i = middle - 2; !size && i < middle + 2; ++i)
        bytes[i] = char(bytes[i] ^ 0x5A);
    return writeBytes(path, bytes);
}

QByteArray pageBytes(const QByteArray &name)
{
    return ("page " + name + "\n").repeated(40);
}

Member file(const QByteArray &name, const QByteArray &content)
{
    return {name, content.isNull() ? pageBytes(name) : content, Member::Kind::File, 0, {}};
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
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!zip)
        return failed(QStringLiteral("cannot create %1 (error %2)").arg(path).arg(code));
    for (const Member &m : members) {
        const bool dir = m.kind == Member::Kind::Folder;
        // The source copies nothing: the data must live until zip_close.
        zip_source_t *source = zip_source_buffer(zip, m.content.data(), m.content.size(), 0);
        // zip_dir_add adds the closing "/" when the name lacks it.
        const zip_int64_t index = dir ? zip_dir_add(zip, m.name.data(), ZIP_FL_ENC_UTF_8)
                                      : zip_file_add(zip, m.name.data(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0 || dir)
            zip_source_free(source);
        // A symbolic link is a file of mode S_IFLNK | 0777.
        if (index < 0
            || (m.kind == Member::Kind::Symlink
                && zip_file_set_external_attributes(zip, index, 0, ZIP_OPSYS_UNIX, 0120777u << 16))
            || (m.encryption
                && zip_file_set_encryption(zip, index, m.encryption, m.password.data())))
            return failed(QString(m.name + ": " + zip_strerror(zip))), zip_discard(zip), false;
    }
    return zip_close(zip) == 0 || (failed(zip_strerror(zip)), zip_discard(zip), false);
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
           || failed(QStringLiteral("cannot write %1").arg(path));
}

QByteArray passwordPassingCheck(const QString &path, const QByteArray &name,
                                const QByteArray &right)
{
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, nullptr);
    // One check byte: about one password in 256 gets through.
    for (int i = 0; zip && i < 100000; ++i) {
        const QByteArray candidate = "wrong-" + QByteArray::number(i);
        if (zip_file_t *member = zip_fopen_encrypted(zip, name.data(), 0, candidate.data()))
            if (zip_fclose(member), candidate != right)
                return zip_discard(zip), candidate;
    }
    if (zip)
        zip_discard(zip);
    return {};
}

} // namespace ZipFixtures
