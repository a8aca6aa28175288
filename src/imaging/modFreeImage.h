#pragma once

#include "imaging/BitmapObjects.h"
#include "platform/PlatformError.h"

#include <QString>

class PictureBox;
// FreeImage's bitmap; its header stays out of here, with its TRUE/BOOL/BYTE macros.
struct FIBITMAP;

namespace modFreeImage {

// PNG pages are decoded by FreeImage and reach the screen as bitmaps drawn
// through a memory DC, with the result codes the page display expects.

// bmp := a new RGB32 bitmap with img's pixels (any type FreeImage loads from
// a PNG: 1/4/8-bit palette, grey 8 and 16, 24/32 bit, 16 bits a channel);
// alpha is dropped, the stored colours kept. False, with bmp 0, when img is
// null, has no pixels, or can't be converted. img stays the caller's.
bool DibToBitmap(FIBITMAP *img, qint32 &bmp);

// Copies the bitmap from its top-left to (x, y) of targetDc, a surface DC or
// a memory DC, width x height pixels (the bitmap's own size where these are
// not positive), inverted when invert is nonzero. errorCode: 0 done,
// 1 no bitmap, 2 not a bitmap, 3 not a DC, 4 no width, 5 no height,
// 6 no memory DC, else the BitBlt error number. The bitmap stays the caller's.
bool DrawBitmap(qint32 bmp, qint32 targetDc, qint32 x, qint32 y, qint32 width, qint32 height,
                qint16 invert, qint32 &errorCode);

// 0 when bmp is 0 or no bitmap.
qint32 GetBitmapWidth(qint32 bmp);
qint32 GetBitmapHeight(qint32 bmp);

bool CreateMemoryDC(qint32 &dc);
// When obj is not 0, selects it back into dc and deletes the bitmap it
// replaces, then obj := 0. Deletes dc and, on success, dc := 0.
bool DeleteMemoryDC(qint32 &dc, qint32 &obj);

enum class PngRouteResult {
    Drawn, FileMissing, DiskNotReady, NotRecognised, LoadFailed, TooLarge, BitmapFailed, DrawFailed
};

// Decodes `path` with FreeImage, the format taken from the content, and draws
// it onto `surface` (the main window's hidden, borderless drawing surface): on
// success the surface's size in pixels is the image's and its lasting image
// holds the pixels. Before that, any failure leaves the surface alone. Sizes
// beyond the page budget are refused from the header, before decoding.
PngRouteResult DrawPngPage(const QString &path, PictureBox &surface);

// How the page display reports a failed route: 53 File not found for
// FileMissing, 71 Disk not ready for DiskNotReady, 7 Out of memory for
// TooLarge, 481 Invalid picture otherwise.
PlatformError pngRouteError(PngRouteResult result);

} // namespace modFreeImage
