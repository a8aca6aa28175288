#include "imaging/PageHeaders.h"

#include <QFile>
#include <QImageReader>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace PageHeaders {

namespace {

// Header bytes are read a page-cache page at a time: one read covers every
// format's size fields, and most JPEG segments that come before the frame.
constexpr qint64 Chunk = 4096;
// A JPEG's walk to its frame header gives up after this many segments, or
// this many bytes passed over one by one (fill and stray bytes), so hostile
// input costs little whatever its length.
constexpr int MostJpegSegments = 4096;
constexpr qint64 MostJpegStrayBytes = 64 * 1024;
// Fewer files than this are not worth starting a second thread for.
constexpr qsizetype MostPathsOnOneThread = 64;

// Where a header's bytes come from.
class Source {
public:
    virtual ~Source() = default;
    // Up to n bytes at pos: how many were read, 0 at the end, -1 on failure.
    virtual qint64 readAt(qint64 pos, char *into, qint64 n) = 0;
};

class FileSource final : public Source {
public:
    explicit FileSource(int fd) : m_fd(fd) {}
    qint64 readAt(qint64 pos, char *into, qint64 n) override
    {
        for (;;) {
            const ssize_t got = ::pread(m_fd, into, size_t(n), off_t(pos));
            if (got >= 0 || errno != EINTR)
                return got;
        }
    }

private:
    int m_fd;
};

// A random-access device is read where asked. A sequential one only
// forwards: its first bytes are peeked, not taken, so a format not read
// here can still be handed whole to QImageReader.
class DeviceSource final : public Source {
public:
    explicit DeviceSource(QIODevice &device)
        : m_device(device), m_size(device.isSequential() ? -1 : device.size())
    {
    }
    qint64 readAt(qint64 pos, char *into, qint64 n) override
    {
        if (!m_device.isSequential()) {
            if (pos >= m_size)
                return 0;
            return m_device.seek(pos) ? m_device.read(into, n) : -1;
        }
        if (pos == 0 && m_taken == 0)
            return m_device.peek(into, n);
        if (pos < m_taken)
            return -1;
        if (pos > m_taken) {
            const qint64 skipped = m_device.skip(pos - m_taken);
            if (skipped < 0)
                return -1;
            m_taken += skipped;
            if (m_taken < pos)
                return 0;
        }
        const qint64 got = m_device.read(into, n);
        m_taken += qMax<qint64>(got, 0);
        return got;
    }

private:
    QIODevice &m_device;
    qint64 m_size;
    qint64 m_taken = 0;
};

// The header bytes seen through a window of one chunk, moved forward as the
// parse asks for bytes further on; what lies between is never read.
class Header {
public:
    explicit Header(Source &source) : m_source(source) {}

    // The n bytes at pos (n at most a chunk), or null when the source ends
    // before them or fails.
    const uchar *at(qint64 pos, qint64 n)
    {
        if (pos < 0 || n > Chunk)
            return nullptr;
        if (pos < m_start || pos + n > m_start + m_filled) {
            qint64 kept = 0;
            if (pos >= m_start && pos < m_start + m_filled) {
                kept = m_start + m_filled - pos;
                std::memmove(m_bytes.data(), m_bytes.data() + (pos - m_start), size_t(kept));
            }
            m_start = pos;
            m_filled = kept;
            while (m_filled < n) {
                const qint64 got = m_source.readAt(pos + m_filled, m_bytes.data() + m_filled,
                                                   Chunk - m_filled);
                if (got <= 0)
                    return nullptr;
                m_filled += got;
            }
        }
        return reinterpret_cast<const uchar *>(m_bytes.data()) + (pos - m_start);
    }

private:
    Source &m_source;
    std::array<char, Chunk> m_bytes{};
    qint64 m_start = 0;
    qint64 m_filled = 0;
};

quint32 bigEndian16(const uchar *b)
{
    return quint32(b[0]) << 8 | b[1];
}

quint32 bigEndian32(const uchar *b)
{
    return bigEndian16(b) << 16 | bigEndian16(b + 2);
}

quint32 littleEndian16(const uchar *b)
{
    return quint32(b[1]) << 8 | b[0];
}

quint32 littleEndian24(const uchar *b)
{
    return quint32(b[2]) << 16 | littleEndian16(b);
}

quint32 littleEndian32(const uchar *b)
{
    return quint32(b[3]) << 24 | littleEndian24(b);
}

QSize positive(qint64 width, qint64 height)
{
    constexpr qint64 largest = std::numeric_limits<int>::max();
    if (width <= 0 || height <= 0 || width > largest || height > largest)
        return {};
    return QSize(int(width), int(height));
}

bool isFrameHeader(uchar code)
{
    // SOF0..SOF15; C4, C8 and CC in that range are tables and a reserved code.
    return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
}

QSize jpegSize(Header &header)
{
    qint64 pos = 2; // past the start-of-image marker
    qint64 passedOver = 0;
    for (int segment = 0; segment < MostJpegSegments; ++segment) {
        // A marker is 0xFF and its code, after any number of 0xFF fill
        // bytes. Stray bytes before it are passed over, as the decoder
        // passes over them with a warning.
        uchar code = 0;
        while (code == 0) {
            const uchar *b = header.at(pos, 2);
            if (!b)
                return {};
            if (b[0] == 0xFF && b[1] != 0xFF && b[1] != 0x00) {
                code = b[1];
            } else {
                const qint64 step = b[0] == 0xFF && b[1] == 0x00 ? 2 : 1;
                pos += step;
                passedOver += step;
                if (passedOver > MostJpegStrayBytes)
                    return {};
            }
        }
        pos += 2;
        // A second start, the end, or the scan before any frame: no size.
        if (code == 0xD8 || code == 0xD9 || code == 0xDA)
            return {};
        if (code == 0x01 || (code >= 0xD0 && code <= 0xD7))
            continue; // stands alone: no length follows
        const uchar *length = header.at(pos, 2);
        if (!length || bigEndian16(length) < 2)
            return {};
        if (isFrameHeader(code)) {
            // Length, precision, height, width.
            const uchar *frame = header.at(pos, 7);
            return frame ? positive(bigEndian16(frame + 5), bigEndian16(frame + 3)) : QSize();
        }
        pos += bigEndian16(length);
    }
    return {};
}

QSize pngSize(Header &header)
{
    // The first chunk must be IHDR, 13 bytes, width and height first.
    const uchar *chunk = header.at(8, 16);
    if (!chunk || bigEndian32(chunk) != 13 || std::memcmp(chunk + 4, "IHDR", 4) != 0)
        return {};
    return positive(bigEndian32(chunk + 8), bigEndian32(chunk + 12));
}

// nullopt for a screen with no extent, whose pictures the decoder sizes by
// their first frame instead.
std::optional<QSize> gifSize(Header &header)
{
    // The logical screen, which the decoder's pictures take as their size.
    const uchar *screen = header.at(6, 4);
    if (!screen)
        return QSize();
    const QSize size = positive(littleEndian16(screen), littleEndian16(screen + 2));
    return size.isValid() ? std::optional<QSize>(size) : std::nullopt;
}

// nullopt for a header size not known here.
std::optional<QSize> bmpSize(Header &header)
{
    const uchar *info = header.at(14, 12);
    if (!info)
        return QSize();
    const quint32 headerSize = littleEndian32(info);
    if (headerSize == 12) { // the old core header: signed 16-bit sides
        const auto width = qint16(littleEndian16(info + 4));
        const auto height = qint16(littleEndian16(info + 6));
        return positive(width, qAbs(qint64(height)));
    }
    if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 64
        || headerSize == 108 || headerSize == 124) {
        // A negative height is a picture stored top row first.
        const auto width = qint32(littleEndian32(info + 4));
        const auto height = qint32(littleEndian32(info + 8));
        return positive(width, qAbs(qint64(height)));
    }
    return std::nullopt;
}

QSize webpSize(Header &header)
{
    const uchar *chunk = header.at(12, 4); // the first chunk's name; its data begins at 20
    if (!chunk)
        return {};
    if (std::memcmp(chunk, "VP8 ", 4) == 0) {
        // A key frame (bit 0 clear), its start code, then 14-bit sides.
        const uchar *data = header.at(20, 10);
        if (!data || (data[0] & 1) != 0 || std::memcmp(data + 3, "\x9D\x01\x2A", 3) != 0)
            return {};
        return positive(littleEndian16(data + 6) & 0x3FFF, littleEndian16(data + 8) & 0x3FFF);
    }
    if (std::memcmp(chunk, "VP8L", 4) == 0) {
        // Its signature, then sides less one in 14 bits each, version 0.
        const uchar *data = header.at(20, 5);
        if (!data || data[0] != 0x2F || (littleEndian32(data + 1) >> 29) != 0)
            return {};
        const quint32 bits = littleEndian32(data + 1);
        return positive((bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1);
    }
    if (std::memcmp(chunk, "VP8X", 4) == 0) {
        // Flags, then the canvas: sides less one in 24 bits each.
        const uchar *data = header.at(20, 10);
        return data ? positive(qint64(littleEndian24(data + 4)) + 1,
                               qint64(littleEndian24(data + 7)) + 1)
                    : QSize();
    }
    return {};
}

// The size from a header read here; nullopt for a format left to Qt.
std::optional<QSize> sizeFromHeader(Header &header)
{
    const uchar *start = header.at(0, 12);
    if (!start)
        return std::nullopt; // too short for any header read here
    const auto startsWith = [start](const char *magic, qint64 at = 0) {
        return std::memcmp(start + at, magic, std::strlen(magic)) == 0;
    };
    if (startsWith("\xFF\xD8"))
        return jpegSize(header);
    if (startsWith("\x89PNG\r\n\x1A\n"))
        return pngSize(header);
    if (startsWith("GIF87a") || startsWith("GIF89a"))
        return gifSize(header);
    if (startsWith("BM"))
        return bmpSize(header);
    if (startsWith("RIFF") && startsWith("WEBP", 8))
        return webpSize(header);
    return std::nullopt;
}

QSize sizeByQt(QIODevice &device)
{
    if (!device.isSequential() && !device.seek(0))
        return {};
    QImageReader reader(&device);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.canRead() ? reader.size() : QSize();
    return positive(size.width(), size.height());
}

} // namespace

QSize sizeOf(QIODevice &device)
{
    DeviceSource source(device);
    Header header(source);
    if (const std::optional<QSize> size = sizeFromHeader(header))
        return *size;
    return sizeByQt(device);
}

QSize sizeOfFile(const QString &path)
{
    // Not blocking, so a pipe's open returns at once. Reading a pipe or a
    // folder at an offset fails, so only a file not read here is asked
    // whether it is a regular one before Qt is given it: one call fewer
    // for every page of a chapter.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    FileSource source(fd);
    Header header(source);
    std::optional<QSize> size = sizeFromHeader(header);
    struct stat status {};
    if (!size && ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        QFile file;
        if (file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            size = sizeByQt(file);
    }
    ::close(fd);
    return size.value_or(QSize());
}

QList<QSize> sizesOfFiles(const QStringList &paths)
{
    // The time goes into system calls, which both cores make at once: two
    // threads measure a long chapter in little more than half the time.
    QList<QSize> sizes(paths.size());
    const auto measure = [&paths, &sizes](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to; ++i)
            sizes[i] = sizeOfFile(paths[i]);
    };
    const qsizetype split = paths.size() >= MostPathsOnOneThread ? paths.size() / 2 : paths.size();
    std::thread second;
    if (split < paths.size())
        second = std::thread(measure, split, paths.size());
    measure(0, split);
    if (second.joinable())
        second.join();
    return sizes;
}

} // namespace PageHeaders
