#pragma once

#include <QImage>
#include <QSize>

// Memory for page pictures. A page is large (15 MB for 1600 x 2400 pixels)
// and a new one is made for every page read. Fresh memory reaches the
// process one small page at a time, and on some machines taking it in that
// way costs more than decoding the picture; so page pictures are given
// memory in huge pages where the system offers them, and a few buffers of
// pictures let go are kept for the next ones (pages of a chapter tend to be
// one size). Small pictures are made as any other.
namespace PageMemory {

// An uninitialised picture of this size and format, or a null one when the
// size is empty, the format invalid or the memory can't be had. Its pixels
// are freed (or kept for reuse) when the last copy of it goes, on any thread.
QImage picture(QSize size, QImage::Format format);

// Bytes of buffers kept for reuse now, and the most that are ever kept.
qint64 bytesKept();
qint64 mostBytesKept();

} // namespace PageMemory
