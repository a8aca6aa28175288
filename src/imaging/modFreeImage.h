#pragma once

#include "platform/PlatformError.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace modFreeImage {

// PNG pages are decoded by FreeImage straight into a picture the page display
// shows as it is. The format is taken from the content, not the name, so a
// JPEG under a ".png" name decodes too.
//
// The picture is RGB32 (it paints without conversion) at the file's pixel
// size: whatever pixel type the library loads (1/4/8-bit palette, grey 8 and
// 16, 24/32 bit, 16 bits a channel) keeps its stored colours, and alpha is
// dropped rather than blended. Sizes beyond the page budget are refused from
// the header, before the pixels are decoded.
//
// Safe to call from any thread, also concurrently: it touches no widget and
// no shared state of its own, and the library is started once for the whole
// run on first use and never stopped under a running decode.
//
// Throws PlatformError:
//   53  File not found    nothing at the path, a folder, or no regular file
//   71  Disk not ready    no regular file, and opening it fails as a vanished medium does
//   7   Out of memory     the header announces a size beyond the page budget
//   481 Invalid picture   not recognised, corrupt, or the pixels can't be converted
QImage DecodePngPage(const QString &path);

// The same for a page already read into memory (an archive member); the
// bytes are only read. Fails with 481 as above, or with 7 for a size
// beyond the page budget or bytes beyond what the library takes (4 GiB).
QImage DecodePngPage(const QByteArray &bytes);

} // namespace modFreeImage
