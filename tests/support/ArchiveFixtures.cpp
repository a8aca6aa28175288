#include "ArchiveFixtures.h"

#include <QFile>
#include <QtEndian>

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

namespace ArchiveFixtures {

// The CRC-32 that RAR 4 headers and members carry.
static quint32 crc32(const QByteArray &bytes)
{
    return quint32(
        ::crc32(0, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size())));
}

static mode_t modeOf(Member::Kind kind)
{
    return kind == Member::Kind::Folder    ? AE_IFDIR | 0755
           : kind == Member::Kind::Symlink ? AE_IFLNK | 0777
                                           : AE_IFREG | 0644;
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
        qWarning("archive fixture: %s: %s", qPrintable(path), archive_error_string(writer));
    archive_write_free(writer);
    return written;
}

// The values, each little-endian in its own width, as RAR 4 headers hold them.
template <typename... T> static QByteArray le(T... values)
{
    QByteArray bytes;
    ((bytes += QByteArray(sizeof(T), '\0'),
      qToLittleEndian<T>(values, bytes.data() + bytes.size() - sizeof(T))),
     ...);
    return bytes;
}

// One RAR 4 block: the low half of the CRC-32 of the rest, then type, flags, size and fields.
static QByteArray block(quint8 type, quint16 flags, const QByteArray &fields)
{
    const QByteArray header = le(type, flags, quint16(2 + 5 + fields.size())) + fields;
    return le(quint16(crc32(header))) + header;
}

bool writeRar(const QString &path, const QList<Member> &members)
{
    QByteArray rar = QByteArray("Rar!\x1a\x07\x00", 7) + block(0x73, 0, QByteArray(6, '\0'));
    for (const Member &m : members) {
        const bool folder = m.kind == Member::Kind::Folder;
        // RAR keeps folders without a closing "/"; a link's data is its target.
        const QByteArray name = folder && m.name.endsWith('/') ? m.name.chopped(1) : m.name;
        const QByteArray data = folder ? QByteArray() : m.content;
        // Packed and unpacked sizes, a Unix host, the CRC, a DOS time, version 2.0, stored.
        const QByteArray fields = le(quint32(data.size()), quint32(data.size()), quint8(3),
                                     crc32(data), quint32(0x5A210000), quint8(20), quint8(0x30),
                                     quint16(name.size()), quint32(modeOf(m.kind)));
        // Flags: data follows; a folder's dictionary bits.
        rar += block(0x74, 0x8000 | (folder ? 0x00E0 : 0), fields + name) + data;
    }
    return ZipFixtures::writeBytes(path, rar + block(0x7B, 0x4000, {}));
}

} // namespace ArchiveFixtures
