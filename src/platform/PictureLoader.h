#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// Page budget: nothing larger is decoded.
namespace PageBudget {
inline constexpr int MaxSide = 65535;
inline constexpr qint64 MaxPixels = 120'000'000;
} // namespace PageBudget

// True when neither side exceeds MaxSide and the area does not exceed
// MaxPixels. It bounds size only: an empty size is within it.
bool withinPageBudget(const QSize &size);

// Opens the page file to read and closes it again: 0 when that works, else
// the error number LoadPicture reports for the failed open (53, 71 or 75).
int pageOpenError(const QString &path);

// Loads a page picture (BMP, JPEG, GIF and whatever else Qt reads), the
// format decided from the file's content, not its name, decoding it once.
// The image comes back as RGB32, or ARGB32_Premultiplied when it has alpha,
// so drawing it needs no conversion. Throws PlatformError:
//   53  File not found          nothing at the path
//   75  Path/File access error  a folder, or a file that can't be opened or read
//   71  Disk not ready          the medium has gone (ENOMEDIUM, ENXIO, ENODEV, EIO on open)
//   481 Invalid picture         no image results: not a picture, empty, corrupt
//   7   Out of memory           the header announces a size beyond the page budget,
//                               or the pixels can't be allocated
QImage LoadPicture(const QString &path);
// The same for a picture already read into memory (an archive page); only
// 481 and 7 can come of it. Safe on any thread, as is the file form.
QImage LoadPicture(const QByteArray &bytes);
