#pragma once

#include <QIODevice>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

// The pixel size of a page as its file's header states it, without decoding
// the page: what the page's decoder reports as its natural size. JPEG, PNG,
// GIF, BMP and WebP headers are read here by hand, reading only the few
// bytes that say the size (a JPEG's other segments are passed over, not
// read); any other format Qt reads is asked of QImageReader. An EXIF
// orientation is not applied, as the decoder does not apply it either.
//
// An invalid QSize means "unknown": no picture, a header cut short or
// damaged, a side of zero. Safe on any thread.
namespace PageHeaders {

// Reads from the device's start (a sequential device from where it stands).
QSize sizeOf(QIODevice &device);
// Unknown when the path is no regular file or can't be opened; a pipe is
// never waited on.
QSize sizeOfFile(const QString &path);
// sizeOfFile of each path, in the same order.
QList<QSize> sizesOfFiles(const QStringList &paths);

} // namespace PageHeaders
