// Writes the seed corpus of the fuzz targets: fuzz_seeds FOLDER makes
// FOLDER/{fuzz_zip_pages,fuzz_pictures,fuzz_saved_position}/ afresh.
#include "ZipFixtures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <zip.h>

namespace {

bool put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray picture(QImage::Format format, const char *type, int w = 9, int h = 7)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(QColor(200, 40, 90, 128));
    QPainter(&image).drawLine(0, 0, w - 1, h - 1);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(format).save(&buffer, type);
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv); // image plugins
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    bool ok = true;
    for (const char *name : {"fuzz_zip_pages", "fuzz_pictures", "fuzz_saved_position"}) {
        QDir(root.filePath(QString::fromLatin1(name))).removeRecursively();
        ok &= root.mkpath(QString::fromLatin1(name));
    }

    const QString pics = root.filePath(QStringLiteral("fuzz_pictures/"));
    const QByteArray png = picture(QImage::Format_ARGB32, "PNG");
    const QByteArray jpeg = picture(QImage::Format_RGB32, "JPEG", 40, 24);
    ok &= put(pics + "rgba.png", png);
    ok &= put(pics + "grey.png", picture(QImage::Format_Grayscale8, "PNG"));
    ok &= put(pics + "grey16.png", picture(QImage::Format_Grayscale16, "PNG"));
    ok &= put(pics + "palette.png", picture(QImage::Format_Indexed8, "PNG"));
    ok &= put(pics + "mono.png", picture(QImage::Format_Mono, "PNG"));
    ok &= put(pics + "page.jpg", jpeg);
    ok &= put(pics + "page.gif", picture(QImage::Format_Indexed8, "GIF"));
    ok &= put(pics + "page.bmp", picture(QImage::Format_RGB32, "BMP"));

    namespace zf = ZipFixtures; // qualified: unistd.h has a symlink() and a write() too
    const QString zips = root.filePath(QStringLiteral("fuzz_zip_pages/"));
    ok &= zf::write(zips + "plain.zip", {zf::file("Ch01/01.png", png), zf::file("Ch01/02.jpg", jpeg),
                                     zf::folder("Vol.1/"), zf::file("notes.txt")});
    ok &= zf::write(zips + "names.zip", {zf::file("../up.png", png), zf::file("/abs.jpg", jpeg),
                                     zf::file("a/..", png), zf::file("x.longext"), zf::file("..")});
    ok &= zf::write(zips + "links.zip", {zf::symlink("link.png", "/etc/passwd"), zf::file("01.png", png)});
    ok &= zf::write(zips + "crypt.zip", {zf::encrypted("01.png", ZIP_EM_TRAD_PKWARE, "pw"),
                                     zf::encrypted("02.png", ZIP_EM_AES_256, "pw"), zf::file("03.png", png)});
    ok &= zf::write(zips + "empty.zip", {});

    const QString pos = root.filePath(QStringLiteral("fuzz_saved_position/"));
    const auto position = [](quint16 page, const QByteArray &text) {
        return QByteArray(1, char(page & 0xff)) + char(page >> 8) + text;
    };
    ok &= put(pos + "plain", position(5, "Ch002"));
    ok &= put(pos + "marks", position(32766, "Vol^^1^^ 7^"));
    ok &= put(pos + "stored", position(1, "Ch^^ +12 pages"));
    ok &= put(pos + "unicode", position(300, "Kapitel \xc3\xa4\xe2\x80\x83 \xef\xbc\x97"));

    if (!ok)
        std::fprintf(stderr, "fuzz_seeds: could not write every seed\n");
    return ok ? 0 : 1;
}
