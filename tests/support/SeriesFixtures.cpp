#include "SeriesFixtures.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <stdexcept>

namespace SeriesFixtures {

// Qt reads GIF but cannot write it. A solid GIF is short by hand: 9-bit LZW
// codes, each pixel a literal, a clear code often enough that codes never widen.
static QByteArray solidGif(QSize size, const QColor &colour)
{
    const auto le16 = [](int v) { return QByteArray(1, char(v)) + char(v >> 8); };
    const QByteArray extent = le16(size.width()) + le16(size.height());
    QByteArray table(256 * 3, '\0'); // 256 colours, the first the page's
    table[0] = char(colour.red()), table[1] = char(colour.green()), table[2] = char(colour.blue());
    QByteArray gif = "GIF89a" + extent + QByteArray("\xF7\0\0", 3) + table
                     + QByteArray("\x2C\0\0\0\0", 5) + extent + QByteArray("\0\x08", 2);
    QByteArray data;
    quint32 bits = 0;
    int count = 0;
    const auto put = [&](int code) {
        for (bits |= quint32(code) << count, count += 9; count >= 8; bits >>= 8, count -= 8)
            data.append(char(bits));
    };
    for (qint64 i = 0; i < qint64(size.width()) * size.height(); put(0), ++i)
        if (i % 250 == 0)
            put(256);
    put(257);
    if (count > 0)
        data.append(char(bits));
    for (qsizetype at = 0; at < data.size(); at += 255)
        gif.append(char(qMin<qsizetype>(255, data.size() - at))).append(data.mid(at, 255));
    return gif + QByteArray("\0\x3B", 2);
}

static QByteArray encode(QSize size, const QColor &colour, const char *format)
{
    if (qstricmp(format, "GIF") == 0)
        return solidGif(size, colour);
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!image.save(&buffer, format))
        throw std::runtime_error(std::string("cannot write a page as ") + format);
    return bytes;
}

void writePage(const QString &path, QSize size, const QColor &colour, const char *format)
{
    const QByteArray suffix = QFileInfo(path).suffix().toUpper().toLatin1();
    const bool known = suffix == "PNG" || suffix == "GIF" || suffix == "BMP" || suffix == "WEBP";
    writeBytes(path, encode(size, colour, format ? format : known ? suffix.data() : "JPG"));
}

QByteArray solidPage(QSize size, const QColor &colour, const char *format)
{
    return encode(size, colour, format);
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

QString makeFolderChapter(const QString &seriesFolder, const QString &name,
                          const QStringList &pageNames, QSize size)
{
    const QString folder = seriesFolder + QLatin1Char('/') + name;
    QDir().mkpath(folder);
    for (const QString &page : pageNames)
        writePage(folder + QLatin1Char('/') + page, size);
    return folder;
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace SeriesFixtures
