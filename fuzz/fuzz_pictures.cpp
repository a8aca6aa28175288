// Page pictures from memory: the PNG route (FreeImage) and the picture loader
// (Qt's readers), at full size and at a third of it (a JPEG then decodes
// reduced); and the size its header states. Anything but PlatformError for
// bad bytes is a finding.
#include "FuzzTarget.h"
#include "imaging/PageHeaders.h"
#include "imaging/PictureLoader.h"
#include "imaging/modFreeImage.h"

#include <QBuffer>

void fuzzOne(const QByteArray &bytes)
{
    tolerating([&] { modFreeImage::DecodePngPage(bytes); });
    tolerating([&] { LoadPage(bytes); });
    tolerating([&] { LoadPage(bytes, [](QSize natural) { return natural / 3; }); });
    QBuffer buffer;
    buffer.setData(bytes);
    require(buffer.open(QIODevice::ReadOnly), "cannot open the buffer");
    PageHeaders::sizeOf(buffer);
}
