// Page pictures from memory: the PNG route (FreeImage) and the picture loader
// (Qt's readers), at full size and at a third of it (a JPEG then decodes
// reduced). Anything but PlatformError for bad bytes is a finding.
#include "FuzzTarget.h"
#include "imaging/PictureLoader.h"
#include "imaging/modFreeImage.h"

void fuzzOne(const QByteArray &bytes)
{
    tolerating([&] { modFreeImage::DecodePngPage(bytes); });
    tolerating([&] { LoadPage(bytes); });
    tolerating([&] { LoadPage(bytes, [](QSize natural) { return natural / 3; }); });
}
