#include "imaging/modFreeImage.h"

#include "imaging/PictureLoader.h"
#include "platform/PageMemory.h"

#include <FreeImage.h>

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <limits>
#include <memory>

namespace modFreeImage {

namespace {

// FreeImage keeps 8-bit samples in the machine's colour order: B, G, R(, A)
// bytes on the little-endian machines this is built for.
static_assert(FREEIMAGE_COLORORDER == FREEIMAGE_COLORORDER_BGR && Q_BYTE_ORDER == Q_LITTLE_ENDIAN,
              "pixels are copied as B, G, R(, A) bytes");

struct Unloader {
    void operator()(FIBITMAP *dib) const { FreeImage_Unload(dib); }
};
using Dib = std::unique_ptr<FIBITMAP, Unloader>;

struct MemoryCloser {
    void operator()(FIMEMORY *stream) const { FreeImage_CloseMemory(stream); }
};

[[noreturn]] void fail(int number)
{
    throw PlatformError(number);
}

// The library's plug-in table is process-wide and its start and stop are not
// safe against a decode on another thread. So it is started once, on first
// use (a function-local static is initialised exactly once, whichever
// threads race for it), and left running until the process ends.
void startLibrary()
{
    static const struct Started {
        Started() { FreeImage_Initialise(FALSE); }
    } started;
}

Dib to32Bits(FIBITMAP *img)
{
    switch (FreeImage_GetImageType(img)) {
    case FIT_BITMAP:
    case FIT_RGB16:
    case FIT_RGBA16: return Dib(FreeImage_ConvertTo32Bits(img));
    case FIT_UINT16: {
        // Through RGB16 the grey keeps its full range; the standard-type
        // conversion would stretch the image's own darkest..lightest to 0..255.
        const Dib rgb(FreeImage_ConvertToRGB16(img));
        return Dib(rgb ? FreeImage_ConvertTo32Bits(rgb.get()) : nullptr);
    }
    default: {
        const Dib standard(FreeImage_ConvertToStandardType(img, TRUE));
        return Dib(standard ? FreeImage_ConvertTo32Bits(standard.get()) : nullptr);
    }
    }
}

bool fitsPageBudget(FIBITMAP *dib)
{
    const unsigned width = FreeImage_GetWidth(dib);
    const unsigned height = FreeImage_GetHeight(dib);
    constexpr unsigned largest = std::numeric_limits<int>::max();
    return width <= largest && height <= largest
           && withinPageBudget(QSize(int(width), int(height)));
}

// The decoded pixels as RGB32, top row first (the library keeps them bottom
// row first), in page memory. Every pixel is made opaque: alpha is dropped,
// the stored colour channels kept, as a screen bitmap holds them. 24- and
// 32-bit bitmaps are copied as they are; others are made 32-bit first.
QImage toPicture(FIBITMAP *img)
{
    Dib converted;
    FIBITMAP *source = img;
    const unsigned bits = FreeImage_GetBPP(img);
    if (FreeImage_GetImageType(img) != FIT_BITMAP || (bits != 24 && bits != 32)) {
        converted = to32Bits(img);
        source = converted.get();
        if (!source)
            return {};
    }
    const int width = int(FreeImage_GetWidth(source));
    const int height = int(FreeImage_GetHeight(source));
    const unsigned bytesPerPixel = FreeImage_GetBPP(source) / 8;
    QImage picture = PageMemory::picture(QSize(width, height), QImage::Format_RGB32);
    if (picture.isNull())
        return {};
    for (int y = 0; y < height; ++y) {
        const uchar *from = FreeImage_GetScanLine(source, height - 1 - y);
        auto *to = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < width; ++x, from += bytesPerPixel)
            to[x] = qRgb(from[FI_RGBA_RED], from[FI_RGBA_GREEN], from[FI_RGBA_BLUE]);
    }
    return picture;
}

// Decodes with `load(flags)`, which reads the page afresh from its start in
// the format `fmt`. The header first, to refuse an oversized page before its
// pixels are allocated. A format that can't load headers alone decodes here
// in full; that result is then the page, not decoded twice.
template <typename Load> QImage decode(FREE_IMAGE_FORMAT fmt, Load load)
{
    if (fmt == FIF_UNKNOWN)
        fail(ErrorNumber::InvalidPicture);
    Dib img(load(FIF_LOAD_NOPIXELS));
    if (!img)
        fail(ErrorNumber::InvalidPicture);
    if (!fitsPageBudget(img.get()))
        fail(ErrorNumber::OutOfMemory);
    if (!FreeImage_HasPixels(img.get())) {
        img.reset(load(0));
        if (!img)
            fail(ErrorNumber::InvalidPicture);
    }
    QImage picture = toPicture(img.get());
    if (picture.isNull())
        fail(ErrorNumber::InvalidPicture);
    return picture;
}

} // namespace

QImage DecodePngPage(const QString &path)
{
    startLibrary();
    const QFileInfo info(path);
    // Refused with the numbers the picture loader gives: a folder, a missing
    // file, one the system can't open.
    if (info.isDir())
        fail(ErrorNumber::PathFileAccessError);
    if (!info.exists())
        fail(ErrorNumber::FileNotFound);
    if (const int error = pageOpenError(path))
        fail(error);
    // Only a regular file goes to the library: a pipe would block it, and a
    // device holds no picture.
    if (!info.isFile())
        fail(ErrorNumber::InvalidPicture);
    const QByteArray name = QFile::encodeName(path);
    const FREE_IMAGE_FORMAT fmt = FreeImage_GetFileType(
        name.constData(), int(qMin<qint64>(info.size(), std::numeric_limits<int>::max())));
    return decode(fmt,
                  [&name, fmt](int flags) { return FreeImage_Load(fmt, name.constData(), flags); });
}

QImage DecodePngPage(const QByteArray &bytes)
{
    startLibrary();
    // More than the library takes in one piece.
    if (quint64(bytes.size()) > std::numeric_limits<DWORD>::max())
        fail(ErrorNumber::OutOfMemory);
    // A stream over the caller's bytes: the library reads them, never writes.
    const std::unique_ptr<FIMEMORY, MemoryCloser> stream(FreeImage_OpenMemory(
        reinterpret_cast<BYTE *>(const_cast<char *>(bytes.constData())), DWORD(bytes.size())));
    if (!stream)
        fail(ErrorNumber::OutOfMemory);
    const FREE_IMAGE_FORMAT fmt = FreeImage_GetFileTypeFromMemory(stream.get());
    return decode(fmt, [&stream, fmt](int flags) {
        FreeImage_SeekMemory(stream.get(), 0, SEEK_SET);
        return FreeImage_LoadFromMemory(fmt, stream.get(), flags);
    });
}

} // namespace modFreeImage
