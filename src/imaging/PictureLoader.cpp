#include "imaging/PictureLoader.h"

#include "platform/PageMemory.h"
#include "platform/PlatformError.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

[[noreturn]] void fail(int number)
{
    throw PlatformError(number);
}

int openErrorNumber(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR: return ErrorNumber::FileNotFound;
    case ENOMEDIUM:
    case ENXIO:
    case ENODEV:
    case EIO: return ErrorNumber::DiskNotReady;
    default: return ErrorNumber::PathFileAccessError;
    }
}

// Qt refuses decoded images over 128 MB unless told otherwise. A page within
// the budget may take 8 bytes a pixel (16-bit channels), so allow that much;
// a limit someone already raised further, or removed, stays as it is.
void allowPageSizedImages()
{
    static const bool raised = [] {
        constexpr qint64 mebibyte = 1024 * 1024;
        constexpr int needed = int((PageBudget::MaxPixels * 8 + mebibyte - 1) / mebibyte);
        const int current = QImageReader::allocationLimit();
        if (current != 0 && current < needed)
            QImageReader::setAllocationLimit(needed);
        return true;
    }();
    Q_UNUSED(raised);
}

// Opens without following the name's suffix and without blocking on a pipe;
// the descriptor is ours, so errno tells why an open failed.
int openForReading(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        fail(openErrorNumber(errno));
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// A failed read whose announced size can't even be allocated ran out of
// memory; any other failure is the file's fault.
bool couldHold(const QSize &size, QImage::Format format)
{
    if (size.isEmpty())
        return true;
    return !QImage(size, format == QImage::Format_Invalid ? QImage::Format_ARGB32 : format)
                .isNull();
}

// The painter draws these two formats without converting on every paint.
QImage drawable(QImage image)
{
    const QImage::Format wanted = image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                          : QImage::Format_RGB32;
    if (image.format() == wanted)
        return image;
    return std::move(image).convertToFormat(wanted);
}

} // namespace

int pageOpenError(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return openErrorNumber(errno);
    ::close(fd);
    return 0;
}

bool withinPageBudget(const QSize &size)
{
    const qint64 width = qMax(size.width(), 0);
    const qint64 height = qMax(size.height(), 0);
    return width <= PageBudget::MaxSide && height <= PageBudget::MaxSide
           && width * height <= PageBudget::MaxPixels;
}

namespace {

// Decodes what the device holds, the format taken from its content. A read
// error of the device is the file's fault; anything else the picture's.
PagePicture decodePicture(QIODevice &device, const ShownSize &shownAt)
{
    const auto readFailed = [&device] {
        const auto *file = qobject_cast<QFileDevice *>(&device);
        return file && file->error() == QFileDevice::ReadError;
    };
    allowPageSizedImages();
    QImageReader reader(&device);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        fail(readFailed() ? ErrorNumber::PathFileAccessError : ErrorNumber::InvalidPicture);

    const QSize announced = reader.size();
    if (!withinPageBudget(announced))
        fail(ErrorNumber::OutOfMemory);

    PagePicture page;
    page.reducible = reader.format() == "jpeg";
    QSize decoded = announced;
    if (page.reducible && shownAt && announced.isValid()) {
        decoded = reducedDecodeSize(announced, shownAt(announced));
        if (decoded != announced)
            reader.setScaledSize(decoded);
    }
    // A JPEG page is decoded straight into page memory (the decoder writes
    // every line of it); other formats make their own pictures.
    QImage image;
    if (page.reducible)
        image = PageMemory::picture(decoded, reader.imageFormat());
    if (!reader.read(&image)) {
        if (readFailed())
            fail(ErrorNumber::PathFileAccessError);
        fail(couldHold(announced, reader.imageFormat()) ? ErrorNumber::InvalidPicture
                                                        : ErrorNumber::OutOfMemory);
    }
    // Some formats announce no size; their pixels still count.
    if (!withinPageBudget(image.size()))
        fail(ErrorNumber::OutOfMemory);

    image = drawable(std::move(image));
    if (image.isNull())
        fail(ErrorNumber::OutOfMemory);
    page.natural = decoded == announced ? image.size() : announced;
    page.image = std::move(image);
    return page;
}

} // namespace

QImage LoadPicture(const QString &path)
{
    return LoadPage(path).image;
}

QImage LoadPicture(const QByteArray &bytes)
{
    return LoadPage(bytes).image;
}

QSize reducedDecodeSize(QSize natural, QSize shown)
{
    if (!shown.isValid() || natural.isEmpty())
        return natural;
    // libjpeg scales by eighths while decoding; beyond a half it saves little.
    for (int eighths = 1; eighths <= 4; ++eighths) {
        const QSize reduced((natural.width() * eighths + 7) / 8,
                            (natural.height() * eighths + 7) / 8);
        if (reduced.width() >= shown.width() && reduced.height() >= shown.height())
            return reduced;
    }
    return natural;
}

PagePicture LoadPage(const QString &path, const ShownSize &shownAt)
{
    const QFileInfo info(path);
    if (info.isDir())
        fail(ErrorNumber::PathFileAccessError);
    if (!info.exists())
        fail(ErrorNumber::FileNotFound);

    QFile file;
    if (!file.open(openForReading(path), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        fail(ErrorNumber::PathFileAccessError);
    return decodePicture(file, shownAt);
}

PagePicture LoadPage(const QByteArray &bytes, const ShownSize &shownAt)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return decodePicture(buffer, shownAt);
}
