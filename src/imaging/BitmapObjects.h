#pragma once

#include <QImage>
#include <QtGlobal>

class PictureBox;

namespace modFreeImage {

// Drawing objects behind 32-bit handles, so the page code keeps its screen
// bitmap routines: bitmaps, device contexts of picture boxes, and memory
// device contexts holding one selected bitmap. Handle 0 is "none". Handles
// are not reused soon after deletion. GUI thread only.

// What GetObjectType reports.
namespace ObjectType {
inline constexpr qint32 None = 0;
inline constexpr qint32 DeviceContext = 3;
inline constexpr qint32 Bitmap = 7;
inline constexpr qint32 MemoryDC = 10;
} // namespace ObjectType

namespace RasterOp {
inline constexpr qint32 SourceCopy = 0x00CC0020;
inline constexpr qint32 NotSourceCopy = 0x00330008; // the source's colours inverted
} // namespace RasterOp

// Error numbers a failed BitBlt reports.
namespace BitmapError {
inline constexpr qint32 InvalidHandle = 6;
inline constexpr qint32 NotEnoughMemory = 8;
inline constexpr qint32 InvalidParameter = 87;
} // namespace BitmapError

// A new bitmap holding `image` as RGB32: a screen bitmap has no alpha, the
// stored colour channels are kept as they are. 0 for a null image.
qint32 CreateBitmapObject(const QImage &image);
// The pixels of a bitmap; a null image for any other handle.
QImage GetBitmapImage(qint32 bitmap);

qint32 GetObjectType(qint32 handle);

// A memory DC with a 1 x 1 stock bitmap selected; 0 on failure.
qint32 CreateCompatibleDC();
// Selects a bitmap into a memory DC and returns the bitmap it replaces, or 0
// when either handle is wrong or the bitmap sits in another DC already.
qint32 SelectObject(qint32 dc, qint32 object);
// Deletes a bitmap that no DC holds. Stock objects are never deleted.
bool DeleteObject(qint32 object);
// Deletes a memory DC; its bitmap goes back to the caller unselected.
bool DeleteDC(qint32 dc);

// The device context of a picture box: drawing onto it paints into the box's
// lasting image, which takes the size of the box's inside.
qint32 GetDC(PictureBox &surface);
bool ReleaseDC(qint32 dc);

// Copies w x h pixels from (sx, sy) of `srcDc` to (x, y) of `destDc` with
// SourceCopy or NotSourceCopy, clipped to both. On failure `error` gets a
// BitmapError number.
bool BitBlt(qint32 destDc, int x, int y, int w, int h, qint32 srcDc, int sx, int sy,
            qint32 rop, qint32 &error);

// Bitmaps and DCs alive now, stock objects not counted: a finished page
// route leaves this as it found it.
int liveBitmapObjects();

} // namespace modFreeImage
