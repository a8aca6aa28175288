// Page pictures from memory: the PNG route (FreeImage) and the picture
// loader (Qt's readers), at full and at reduced scale. PlatformError is the
// expected answer to bad bytes; anything else (a crash, a sanitizer report,
// another exception) is a finding.
#include "imaging/modFreeImage.h"
#include "imaging/PictureLoader.h"
#include "platform/PlatformError.h"

#include <QCoreApplication>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Qt's image plugins (JPEG, GIF) are found through the application.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data),
                                                     qsizetype(size));
    try {
        modFreeImage::DecodePngPage(bytes);
    } catch (const PlatformError &) {
    }
    try {
        LoadPage(bytes);
    } catch (const PlatformError &) {
    }
    try {
        // Shown at a third of its size: a JPEG decodes reduced.
        LoadPage(bytes, [](QSize natural) { return natural / 3; });
    } catch (const PlatformError &) {
    }
    return 0;
}
