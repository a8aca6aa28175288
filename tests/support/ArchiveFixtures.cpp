#include "ArchiveFixtures.h"

#include <QFile>
#include <QtEndian>

#include <archive.h>
#include <archive_entry.h>

namespace ArchiveFixtures {

static bool failed(const QString &what)
{
    qWarning("archive fixture: %s", qPrintable(what));
    return false;
}

static quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

static mode_t modeOf(Member::Kind kind)
{
    switch (kind) {
    case Member::Kind::Folder: return AE_IFDIR | 0755;
    case Member::Kind::Symlink: return AE_IFLNK | 0777;
    default: return AE_IFREG | 0644;
    }
}

bool write7z(const QString &path, const QList<Member> &members)
{
    archive *writer = archive_write_new();
    bool written = archive_write_set_format_7zip(writer) == ARCHIVE_OK
                   && archive_write_open_filename(writer, QFile::encodeName(path).constData())
                          == ARCHIVE_OK;
    for (const Member &m : members) {
        archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname(entry, m.name.constData());
        archive_entry_set_mode(entry, modeOf(m.kind));
        const bool file = m.kind == Member::Kind::File;
        archive_entry_set_size(entry, file ? m.content.size() : 0);
        if (m.kind == Member::Kind::Symlink)
            archive_entry_set_symlink(entry, m.content.constData());
        written = written && archive_write_header(writer, entry) == ARCHIVE_OK
                  && (!file
                      || archive_write_data(writer, m.content.constData(), size_t(m.content.size()))
                             == m.content.size());
        archive_entry_free(entry);
    }
    written = written && archive_write_close(writer) == ARCHIVE_OK;
    if (!written)
        failed(path + ": " + QString::fromLocal8Bit(archive_error_string(writer)));
    archive_write_free(writer);
    return written;
}

// One RAR 4 block: its CRC (the low half of the CRC-32 of everything after
// the CRC field), then type, flags, the header's size and the fields given.
static QByteArray block(quint8 type, quint16 flags, const QByteArray &fields)
{
    QByteArray header(5, '\0');
    header[0] = char(type);
    qToLittleEndian<quint16>(flags, header.data() + 1);
    qToLittleEndian<quint16>(quint16(2 + 5 + fields.size()), header.data() + 3);
    header += fields;
    QByteArray crc(2, '\0');
    qToLittleEndian<quint16>(quint16(crc32(header)), crc.data());
    return crc + header;
}

static QByteArray le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian<quint32>(value, bytes.data());
    return bytes;
}

bool writeRar(const QString &path, const QList<Member> &members)
{
    constexpr quint16 WithData = 0x8000, IsFolder = 0x00E0;
    constexpr char HostUnix = 3, VersionNeeded = 20, Stored = 0x30;
    QByteArray rar("Rar!\x1a\x07\x00", 7);
    rar += block(0x73, 0, QByteArray(6, '\0'));
    for (const Member &m : members) {
        const bool folder = m.kind == Member::Kind::Folder;
        // RAR keeps folders without a closing "/"; a link's data is its target.
        const QByteArray name = folder && m.name.endsWith('/') ? m.name.chopped(1) : m.name;
        const QByteArray data = folder ? QByteArray() : m.content;
        QByteArray fields = le32(quint32(data.size())) + le32(quint32(data.size()));
        fields += HostUnix;
        fields += le32(crc32(data));
        fields += le32(0x5A210000); // a DOS date and time
        fields += VersionNeeded;
        fields += Stored;
        fields += QByteArray(2, '\0');
        qToLittleEndian<quint16>(quint16(name.size()), fields.data() + fields.size() - 2);
        fields += le32(quint32(modeOf(m.kind)));
        rar += block(0x74, WithData | (folder ? IsFolder : 0), fields + name) + data;
    }
    rar += block(0x7B, 0x4000, {});
    return ZipFixtures::writeBytes(path, rar);
}

} // namespace ArchiveFixtures
