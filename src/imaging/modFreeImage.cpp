#include "imaging/modFreeImage.h"

#include "platform/PictureControls.h"
#include "platform/PictureLoader.h"

#include <FreeImage.h>

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <limits>
#include <memory>

namespace modFreeImage {

namespace {

// FreeImage keeps 8-bit samples in the machine's colour order: B, G, R, A
// bytes on little-endian machines, which Qt reads as ARGB32.
#if FREEIMAGE_COLORORDER == FREEIMAGE_COLORORDER_RGB
constexpr QImage::Format FreeImage32 = QImage::Format_RGBA8888;
#else
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "BGR byte order is ARGB32 only on little-endian");
constexpr QImage::Format FreeImage32 = QImage::Format_ARGB32;
#endif

struct Unloader {
    void operator()(FIBITMAP *dib) const { FreeImage_Unload(dib); }
};
using Dib = std::unique_ptr<FIBITMAP, Unloader>;

Dib to32Bits(FIBITMAP *img)
{
    switch (FreeImage_GetImageType(img)) {
    case FIT_BITMAP:
    case FIT_RGB16:
    case FIT_RGBA16:
        return Dib(FreeImage_ConvertTo32Bits(img));
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

PngRouteResult decodeAndDraw(const QString &path, PictureBox &surface)
{
    const QFileInfo info(path);
    // Only a regular file: a folder is no page, and a pipe would block the
    // library. Something the system can't open because its medium is gone
    // is told apart, as the picture loader does.
    if (!info.isFile()) {
        if (info.exists() && !info.isDir()
            && pageOpenError(path) == ErrorNumber::DiskNotReady)
            return PngRouteResult::DiskNotReady;
        return PngRouteResult::FileMissing;
    }
    const qint64 length = info.size();
    const QByteArray name = QFile::encodeName(path);
    const FREE_IMAGE_FORMAT fmt = FreeImage_GetFileType(
        name.constData(), int(qMin<qint64>(length, std::numeric_limits<int>::max())));
    if (fmt == FIF_UNKNOWN)
        return PngRouteResult::NotRecognised;

    // The header first, to refuse an oversized page before its pixels are
    // allocated. A format that can't load headers alone decodes here in full;
    // that result is then the page, not decoded twice.
    Dib img(FreeImage_Load(fmt, name.constData(), FIF_LOAD_NOPIXELS));
    if (!img)
        return PngRouteResult::LoadFailed;
    if (!fitsPageBudget(img.get()))
        return PngRouteResult::TooLarge;
    if (!FreeImage_HasPixels(img.get())) {
        img.reset(FreeImage_Load(fmt, name.constData(), 0));
        if (!img)
            return PngRouteResult::LoadFailed;
    }

    surface.resize(int(FreeImage_GetWidth(img.get())), int(FreeImage_GetHeight(img.get())));

    qint32 bmp = 0;
    if (!DibToBitmap(img.get(), bmp))
        return PngRouteResult::BitmapFailed;
    surface.setImage(QImage());
    const qint32 dc = GetDC(surface);
    qint32 code = 0;
    const bool drawn = DrawBitmap(bmp, dc, 0, 0, -1, -1, false, code);
    ReleaseDC(dc);
    DeleteObject(bmp);
    return drawn ? PngRouteResult::Drawn : PngRouteResult::DrawFailed;
}

} // namespace

bool DibToBitmap(FIBITMAP *img, qint32 &bmp)
{
    bmp = 0;
    if (!img)
        return false;
    if (!FreeImage_GetInfoHeader(img) || !FreeImage_GetInfo(img) || !FreeImage_GetBits(img))
        return false;

    // Always a fresh copy, so it can be turned top-down in place.
    const Dib pixels = to32Bits(img);
    if (!pixels || !FreeImage_FlipVertical(pixels.get()))
        return false;
    const unsigned width = FreeImage_GetWidth(pixels.get());
    const unsigned height = FreeImage_GetHeight(pixels.get());
    if (width > unsigned(std::numeric_limits<int>::max())
        || height > unsigned(std::numeric_limits<int>::max()))
        return false;
    const QImage view(FreeImage_GetBits(pixels.get()), int(width), int(height),
                      FreeImage_GetPitch(pixels.get()), FreeImage32);
    bmp = CreateBitmapObject(view);
    return bmp != 0;
}

bool DrawBitmap(qint32 bmp, qint32 targetDc, qint32 x, qint32 y, qint32 width, qint32 height,
                qint16 invert, qint32 &errorCode)
{
    errorCode = 0;
    if (bmp == 0) {
        errorCode = 1;
        return false;
    }
    if (GetObjectType(bmp) != ObjectType::Bitmap) {
        errorCode = 2;
        return false;
    }
    const qint32 targetType = GetObjectType(targetDc);
    if (targetType != ObjectType::MemoryDC && targetType != ObjectType::DeviceContext) {
        errorCode = 3;
        return false;
    }
    const qint32 w = width > 0 ? width : GetBitmapWidth(bmp);
    if (w < 1) {
        errorCode = 4;
        return false;
    }
    const qint32 h = height > 0 ? height : GetBitmapHeight(bmp);
    if (h < 1) {
        errorCode = 5;
        return false;
    }
    qint32 memory = 0;
    if (!CreateMemoryDC(memory)) {
        errorCode = 6;
        return false;
    }

    bool result = false;
    const qint32 old = SelectObject(memory, bmp);
    if (old == 0) {
        errorCode = BitmapError::InvalidParameter; // held by another DC
    } else {
        const qint32 rop = invert != 0 ? RasterOp::NotSourceCopy : RasterOp::SourceCopy;
        result = BitBlt(targetDc, x, y, w, h, memory, 0, 0, rop, errorCode);
        SelectObject(memory, old);
    }
    qint32 none = 0;
    DeleteMemoryDC(memory, none);
    return result;
}

qint32 GetBitmapWidth(qint32 bmp)
{
    return GetBitmapImage(bmp).width();
}

qint32 GetBitmapHeight(qint32 bmp)
{
    return GetBitmapImage(bmp).height();
}

bool CreateMemoryDC(qint32 &dc)
{
    dc = CreateCompatibleDC();
    return dc != 0;
}

bool DeleteMemoryDC(qint32 &dc, qint32 &obj)
{
    if (obj != 0) {
        if (const qint32 replaced = SelectObject(dc, obj); replaced != 0 && replaced != obj)
            DeleteObject(replaced);
        obj = 0;
    }
    if (!DeleteDC(dc))
        return false;
    dc = 0;
    return true;
}

PngRouteResult DrawPngPage(const QString &path, PictureBox &surface)
{
    // The shared library initialises itself and counts these calls, so a
    // pair per page only nests inside its own.
    FreeImage_Initialise(FALSE);
    const auto deinitialise = qScopeGuard([] { FreeImage_DeInitialise(); });
    return decodeAndDraw(path, surface);
}

PlatformError pngRouteError(PngRouteResult result)
{
    switch (result) {
    case PngRouteResult::FileMissing:
        return PlatformError(ErrorNumber::FileNotFound);
    case PngRouteResult::DiskNotReady:
        return PlatformError(ErrorNumber::DiskNotReady);
    case PngRouteResult::TooLarge:
        return PlatformError(ErrorNumber::OutOfMemory);
    default:
        return PlatformError(ErrorNumber::InvalidPicture);
    }
}

} // namespace modFreeImage
