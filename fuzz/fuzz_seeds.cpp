// Writes the seed corpus of the fuzz targets: fuzz_seeds FOLDER makes
// FOLDER/{fuzz_zip_pages,fuzz_pictures,fuzz_saved_position}/ afresh.
#include "ArchiveFixtures.h"
#include "SeriesFixtures.h"
#include "ZipFixtures.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include <zip.h>

namespace zf = ZipFixtures; // qualified: unistd.h has a symlink() and a write() too

// A small half-transparent picture with a line across, saved in that format as that type.
static QByteArray picture(QImage::Format format, const char *type, int w = 9, int h = 7)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(QColor(200, 40, 90, 128));
    QPainter(&image).drawLine(0, 0, w - 1, h - 1);
    QBuffer buffer; // opened by the writer
    image.convertToFormat(format).save(&buffer, type);
    return buffer.data();
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv); // image plugins
    if (argc != 2)
        qFatal("usage: fuzz_seeds FOLDER");
    bool ok = true;
    const auto folder = [&](const QString &name) {
        QDir dir(QString::fromLocal8Bit(argv[1]) + '/' + name);
        ok &= dir.removeRecursively() && dir.mkpath(".");
        return dir.path() + '/';
    };

    const QString pics = folder("fuzz_pictures");
    const QByteArray png = picture(QImage::Format_ARGB32, "PNG");
    const QByteArray jpeg = picture(QImage::Format_RGB32, "JPEG", 40, 24);
    ok &= zf::writeBytes(pics + "rgba.png", png) && zf::writeBytes(pics + "page.jpg", jpeg);
    for (const auto format : {QImage::Format_Grayscale8, QImage::Format_Grayscale16,
                              QImage::Format_Indexed8, QImage::Format_Mono}) // grey to one bit
        ok &= zf::writeBytes(pics + QString("format%1.png").arg(format), picture(format, "PNG"));
    ok &= zf::writeBytes(pics + "page.bmp", picture(QImage::Format_RGB32, "BMP"));
    ok &= zf::writeBytes(pics + "page.gif", SeriesFixtures::solidPage({9, 7}, Qt::red, "GIF"));

    const QString zips = folder("fuzz_zip_pages");
    ok &= zf::write(zips + "plain.zip", {zf::file("Ch01/01.png", png), zf::folder("Vol.1/"),
                                         zf::file("Ch01/02.jpg", jpeg), zf::file("notes.txt")});
    ok &= zf::write(zips + "names.zip",
                    {zf::file("../up.png", png), zf::file("/abs.jpg", jpeg), zf::file("a/..", png),
                     zf::file("x.longext"), zf::file("..")});
    ok &= zf::write(zips + "links.zip",
                    {zf::symlink("link.png", "/etc/passwd"), zf::file("01.png", png)});
    ok &= zf::write(zips + "crypt.zip",
                    {zf::encrypted("01.png", ZIP_EM_TRAD_PKWARE, "pw"),
                     zf::encrypted("02.png", ZIP_EM_AES_256, "pw"), zf::file("03.png", png)});
    ok &= zf::write(zips + "empty.zip", {});
    const QList<zf::Member> pages{zf::file("01.png", png), zf::folder("Vol.1/"),
                                  zf::file("Vol.1/02.jpg", jpeg),
                                  zf::symlink("link.png", "01.png")};
    ok &= ArchiveFixtures::writeRar(zips + "pages.rar", pages);
    ok &= ArchiveFixtures::write7z(zips + "pages.7z", pages);

    const QString positions = folder("fuzz_saved_position");
    const auto position = [&](const char *name, quint16 page, const QByteArray &text) {
        ok &= zf::writeBytes(positions + name, QByteArray(1, char(page)) + char(page >> 8) + text);
    };
    position("plain", 5, "Ch002");
    position("marks", 32766, "Vol^^1^^ 7^");
    position("stored", 1, "Ch^^ +12 pages");
    position("unicode", 300, "Kapitel \xc3\xa4\xe2\x80\x83 \xef\xbc\x97");
    return ok ? 0 : 1;
}
