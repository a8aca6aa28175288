#include "SeriesFixtures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <stdexcept>

namespace {

// Qt reads GIF but cannot write it. A solid GIF is easy to write by hand:
// 9-bit LZW codes, each pixel a literal, a clear code often enough that the
// code width never grows.
QByteArray solidGif(QSize size, const QColor &colour)
{
    QByteArray gif("GIF89a");
    const auto le16 = [&gif](int v) {
        gif.append(char(v & 0xff));
        gif.append(char((v >> 8) & 0xff));
    };
    le16(size.width());
    le16(size.height());
    gif.append(char(0xF7)); // global colour table of 256 entries
    gif.append(char(0));
    gif.append(char(0));
    QByteArray table(256 * 3, char(0));
    table[0] = char(colour.red());
    table[1] = char(colour.green());
    table[2] = char(colour.blue());
    gif.append(table);
    gif.append(char(0x2C));
    le16(0);
    le16(0);
    le16(size.width());
    le16(size.height());
    gif.append(char(0));
    gif.append(char(8)); // minimum code size

    QByteArray data;
    quint32 bits = 0;
    int bitCount = 0;
    const auto put = [&](int code) {
        bits |= quint32(code) << bitCount;
        bitCount += 9;
        while (bitCount >= 8) {
            data.append(char(bits & 0xff));
            bits >>= 8;
            bitCount -= 8;
        }
    };
    const qint64 pixels = qint64(size.width()) * size.height();
    for (qint64 i = 0; i < pixels; ++i) {
        if (i % 250 == 0)
            put(256);
        put(0);
    }
    put(257);
    if (bitCount > 0)
        data.append(char(bits & 0xff));
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        gif.append(char(block.size()));
        gif.append(block);
    }
    gif.append(char(0));
    gif.append(char(0x3B));
    return gif;
}

} // namespace

namespace SeriesFixtures {

void writePage(const QString &path, QSize size, const QColor &colour, const char *format)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const bool gif = format ? qstricmp(format, "GIF") == 0
                            : QFileInfo(path).suffix().compare(QLatin1String("gif"),
                                                               Qt::CaseInsensitive) == 0;
    if (gif) {
        writeBytes(path, solidGif(size, colour));
        return;
    }
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    if (!image.save(path, format))
        throw std::runtime_error("cannot write page " + path.toStdString());
}

QByteArray solidJpeg(QSize size, const QColor &colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes;
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
    for (const QString &page : pageNames) {
        const QString suffix = QFileInfo(page).suffix().toUpper();
        const char *format = suffix == QLatin1String("PNG")   ? "PNG"
                             : suffix == QLatin1String("GIF") ? "GIF"
                             : suffix == QLatin1String("BMP") ? "BMP"
                                                              : "JPG";
        writePage(folder + QLatin1Char('/') + page, size, Qt::darkCyan, format);
    }
    return folder;
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                      | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QColor centreColour(const QString &path)
{
    const QImage image(path);
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

} // namespace SeriesFixtures
