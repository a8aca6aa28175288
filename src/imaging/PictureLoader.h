#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

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

// A page as decoded: the picture, and the page's natural size, which is the
// picture's own unless the page was decoded at a reduced scale. A reducible
// page is one whose format decodes at a reduced scale (JPEG).
struct PagePicture {
    QImage image;
    QSize natural;
    bool reducible = false;
    bool isReduced() const { return image.size() != natural; }
};

// The size a reducible page of `natural` size decodes at when it is shown at
// `shown`: an eighth of it, a quarter, three eighths or half (rounded up),
// the smallest that still covers `shown`; the natural size when the page is
// shown at more than half of it, or `shown` is not valid.
QSize reducedDecodeSize(QSize natural, QSize shown);

// LoadPicture, except that a reducible page is decoded at reducedDecodeSize()
// when `shownAt` (given the natural size from the file's header) says the
// page is shown at half its size or less. Errors as for LoadPicture.
using ShownSize = std::function<QSize(QSize natural)>;
PagePicture LoadPage(const QString &path, const ShownSize &shownAt = {});
PagePicture LoadPage(const QByteArray &bytes, const ShownSize &shownAt = {});
