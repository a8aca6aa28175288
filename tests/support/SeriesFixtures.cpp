#include "SeriesFixtures.h"

#include <QBuffer>
#include <QDir>
#include <QImage>

#include <FreeImage.h>
#include <stdexcept>

namespace SeriesFixtures {

// Qt reads GIF but cannot write it; FreeImage writes one from a palette whose first colour,
// the one every pixel of a new bitmap holds, is the page's.
static QByteArray solidGif(QSize size, const QColor &colour)
{
    FIBITMAP *bitmap = FreeImage_Allocate(size.width(), size.height(), 8);
    FreeImage_GetPalette(bitmap)[0] = {BYTE(colour.blue()), BYTE(colour.green()),
                                       BYTE(colour.red()), 0};
    FIMEMORY *memory = FreeImage_OpenMemory();
    BYTE *data = nullptr;
    DWORD length = 0;
    const bool saved = FreeImage_SaveToMemory(FIF_GIF, bitmap, memory)
                       && FreeImage_AcquireMemory(memory, &data, &length);
    const QByteArray gif = saved ? QByteArray(reinterpret_cast<char *>(data), length) : "";
    FreeImage_CloseMemory(memory), FreeImage_Unload(bitmap);
    return gif;
}

QByteArray solidPage(QSize size, const QColor &colour, const char *format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (qstricmp(format, "GIF") == 0 ? (bytes = solidGif(size, colour)).isEmpty()
                                     : !image.save(&buffer, format))
        throw std::runtime_error(std::string("cannot write a page as ") + format);
    return bytes;
}

void writePage(const QString &path, QSize size, const QColor &colour, const char *format)
{
    const QByteArray suffix = QFileInfo(path).suffix().toUpper().toLatin1();
    const bool known = suffix == "PNG" || suffix == "GIF" || suffix == "BMP" || suffix == "WEBP";
    writeBytes(path, solidPage(size, colour, format ? format : known ? suffix.data() : "JPG"));
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
