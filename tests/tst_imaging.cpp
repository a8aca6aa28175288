// Decoding pages on the PNG route and by the picture loader, and their errors.
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "imaging/PageHeaders.h"
#include "imaging/PictureLoader.h"
#include "imaging/modFreeImage.h"

#include <QtTest>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

using namespace modFreeImage;

const QRgb red = qRgb(255, 0, 0), navy = qRgb(10, 20, 30), rust = qRgb(200, 100, 50);

static QByteArray encoded(const QImage &image, const char *format = "PNG", int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    return image.save(&buffer, format, quality) ? bytes : "<no writer>";
}

static QImage page(QSize size, QImage::Format format = QImage::Format_RGB32,
                   const QColor &top = red, const QColor &bottom = navy)
{
    QImage image(size, format);
    image.fill(bottom);
    QImage(image.bits(), size.width(), size.height() / 2, image.bytesPerLine(), format).fill(top);
    return image;
}

static bool shows(const QImage &image, QRgb top = red, QRgb bottom = navy)
{
    const auto near = [](QRgb a, QRgb b) {
        return abs(qRed(a) - qRed(b)) + abs(qGreen(a) - qGreen(b)) + abs(qBlue(a) - qBlue(b)) < 25;
    };
    return image.format() == QImage::Format_RGB32 && near(image.pixel(0, 0), top)
           && near(image.pixel(image.width() - 1, image.height() - 1), bottom);
}

static QString fixture(const QString &name, const QByteArray &bytes)
{
    const QString path = TestEnvironment::freshFolder("imaging") + '/' + name;
    return SeriesFixtures::writeBytes(path, bytes), path;
}

class TestImaging : public QObject {
    Q_OBJECT

private slots:
    // Every pixel kind keeps its stored colours, alpha dropped, red above navy: never upside
    // down nor in the wrong colour order. The format goes by content, so a JPEG decodes too.
    void pngRouteDrawsStoredColours_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QRgb>("top");
        QTest::addColumn<QRgb>("bottom");
        const QColor clear(200, 100, 50, 0), half(255, 0, 0, 128);
        const auto png = [](QImage::Format format, const QColor &top, const QColor &bottom) {
            return encoded(page({1, 2}, format, top, bottom));
        };
        QTest::newRow("RGB 8") << png(QImage::Format_RGB32, red, navy) << red << navy;
        QTest::newRow("JPEG") << encoded(page({16, 16}), "JPEG") << red << navy;
        const QImage palette = page({1, 2}, QImage::Format_ARGB32, clear)
                                   .convertToFormat(QImage::Format_Indexed8, {clear.rgba(), navy});
        QTest::newRow("palette, a transparent entry") << encoded(palette) << rust << navy;
        // Two levels, so stretching the picture's own range to 0..255 would show.
        const QRgb dark = qRgb(64, 64, 64), light = qRgb(192, 192, 192);
        QTest::newRow("grey 16") << png(QImage::Format_Grayscale16, dark, light) << dark << light;
        QTest::newRow("RGBA 8") << png(QImage::Format_ARGB32, clear, half) << rust << red;
        QTest::newRow("RGBA 16") << png(QImage::Format_RGBA64, clear, half) << rust << red;
    }
    void pngRouteDrawsStoredColours()
    {
        QFETCH(QByteArray, file);
        QFETCH(QRgb, top);
        QFETCH(QRgb, bottom);
        const QString path = fixture("page.png", file);
        // On two threads at once, as decoding ahead does beside the window.
        const auto decode = [&] { return shows(DecodePngPage(path), top, bottom); };
        auto other = std::async(std::launch::async, decode);
        QVERIFY(decode() && other.get() && shows(DecodePngPage(file), top, bottom));
    }

    // The loader goes by content; only a JPEG decodes reduced (eighths up to a half, the smallest
    // covering the display), natural size from its header; a page over Qt's limit decodes too.
    void loaderDecodesByContentAndReducesOnlyJpeg()
    {
        const auto quarter = [](QSize natural) { return natural / 4; };
        const QByteArray jpeg = encoded(page({1600, 1200}), "JPEG");
        const PagePicture p = LoadPage(fixture("p.gif", jpeg), quarter);
        QCOMPARE(std::tuple(p.image.size(), p.natural, p.reducible, shows(p.image)),
                 std::tuple(QSize(400, 300), QSize(1600, 1200), true, true));
        QCOMPARE(LoadPage(jpeg).image.size(), QSize(1600, 1200));
        QCOMPARE(LoadPage(encoded(page({1600, 1200})), quarter).image.size(), QSize(1600, 1200));
        QVERIFY(shows(LoadPicture(fixture("strip.png", encoded(page({1000, 60000}))))));
        QCOMPARE(reducedDecodeSize({1600, 800}, {600, 100}), QSize(600, 300)); // both sides cover
        QCOMPARE(reducedDecodeSize({1601, 800}, {200, 99}), QSize(201, 100));  // rounded up
        QCOMPARE(reducedDecodeSize({1600, 2400}, {801, 1200}), QSize(1600, 2400));
        QCOMPARE(reducedDecodeSize({1600, 2400}, {}), QSize(1600, 2400));
    }

    // The PNG route, from the file and from memory, and the loader fail with the same numbers.
    void failuresReportTheirNumber_data()
    {
        QTest::addColumn<QByteArray>("content"); // of page.png; "<...>" is no file of bytes
        QTest::addColumn<QString>("error");
        QByteArray huge = encoded(page({1, 1}), "JPEG"); // announcing 65000 x 65000 pixels
        huge.replace(huge.indexOf("\xFF\xC0") + 5, 4, "\xFD\xE8\xFD\xE8");
        QTest::newRow("missing") << QByteArray("<missing>") << "53 File not found";
        QTest::newRow("folder") << QByteArray("<folder>") << "75 Path/File access error";
        QTest::newRow("medium gone") << QByteArray("<socket>") << "71 Disk not ready";
        QTest::newRow("device") << QByteArray("<device>") << "481 Invalid picture";
        QTest::newRow("empty") << QByteArray() << "481 Invalid picture";
        QTest::newRow("header alone") << encoded(page({3, 3})).left(33) << "481 Invalid picture";
        QTest::newRow("too wide") << encoded(page({70000, 1})) << "7 Out of memory";
        QTest::newRow("too many pixels") << huge << "7 Out of memory";
    }
    void failuresReportTheirNumber()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        const QString path = TestEnvironment::freshFolder("bad") + "/page.png";
        const auto failure = [](auto decode) {
            try {
                return decode(), QString("no error");
            } catch (const PlatformError &e) {
                return QString::number(e.number()) + ' ' + e.description();
            }
        };
        sockaddr_un at{AF_UNIX, {}}; // a socket can't be opened, as a medium that has gone
        qstrncpy(at.sun_path, QFile::encodeName(path), sizeof at.sun_path);
        const int fd = content == "<socket>" ? ::socket(AF_UNIX, SOCK_STREAM, 0) : -1;
        QVERIFY(fd < 0 || !::bind(fd, reinterpret_cast<sockaddr *>(&at), sizeof at));
        QVERIFY(content != "<device>" || QFile::link("/dev/zero", path));
        QVERIFY(content != "<folder>" || QDir().mkpath(path));
        if (!content.startsWith('<')) {
            SeriesFixtures::writeBytes(path, content);
            QCOMPARE(failure([&] { DecodePngPage(content); }), error);
        }
        QCOMPARE(failure([&] { DecodePngPage(path); }), error);
        QCOMPARE(failure([&] { LoadPicture(path); }), error);
    }

    // A page's header states the size its decoder gives it; "<...>" is no file of bytes, and an
    // invalid size is unknown. The JPEG's EXIF says "turned a quarter", which the decoder ignores.
    void headerStatesTheDecodedSize_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QSize>("size");
        const QSize size(37, 53), unknown;
        const auto made = [&](const char *format, int quality = -1, QImage::Format kind = {}) {
            return encoded(page(size, kind ? kind : QImage::Format_RGB32), format, quality);
        };
        const QByteArray jpeg = made("JPEG"), png = made("PNG"), webp = made("WEBP");
        // EXIF with one entry, orientation 6 (turned), padded with zeros.
        static constexpr char exif[] = "Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x06";
        QByteArray turned = QByteArray(exif, sizeof exif - 1).leftJustified(60'000, '\0');
        turned = QByteArray("\xFF\xD8\xFF\xE1\xEA\x62", 6) + turned + "\xFF\xFF"; // 60,002 long
        QByteArray topDown = made("BMP"), narrow = png;
        topDown.replace(22, 4, "\xCB\xFF\xFF\xFF", 4); // height -53
        narrow.replace(16, 4, QByteArray(4, '\0'));    // width 0
        QTest::newRow("JPEG") << jpeg << size;
        QTest::newRow("JPEG, 60 KB of EXIF, fill, an empty comment")
            << turned + QByteArray("\xFF\xFE\0\x02", 4) + jpeg.mid(2) << size;
        QTest::newRow("PNG") << png << size;
        QTest::newRow("GIF") << SeriesFixtures::solidPage(size, red, "GIF") << size;
        QTest::newRow("BMP stored top row first") << topDown << size;
        QTest::newRow("WebP lossy") << webp << size;
        QTest::newRow("WebP lossless") << made("WEBP", 100) << size;
        QTest::newRow("WebP with alpha") << made("WEBP", 50, QImage::Format_ARGB32) << size;
        QTest::newRow("TIFF, by Qt") << made("TIFF") << size;
        QTest::newRow("JPEG cut before its frame")
            << jpeg.left(jpeg.indexOf("\xFF\xC0")) << unknown;
        QTest::newRow("JPEG cut in its frame")
            << jpeg.left(jpeg.indexOf("\xFF\xC0") + 8) << unknown;
        QTest::newRow("PNG cut in its header") << png.left(20) << unknown;
        QTest::newRow("WebP cut in its header") << webp.left(25) << unknown;
        QTest::newRow("PNG 0 wide") << narrow << unknown;
        QTest::newRow("PNG without its header chunk")
            << QByteArray(png).replace("IHDR", "IHDX") << unknown;
        QTest::newRow("garbage") << QByteArray("not a picture, not at all") << unknown;
        QTest::newRow("empty") << QByteArray() << unknown;
        for (const char *none : {"<missing>", "<folder>", "<pipe>"})
            QTest::newRow(none) << QByteArray(none) << unknown;
    }
    void headerStatesTheDecodedSize()
    {
        QFETCH(QByteArray, content);
        QFETCH(QSize, size);
        if (content == "<no writer>")
            QSKIP("Qt writes no such picture here");
        const QString folder = TestEnvironment::freshFolder("headers"), path = folder + "/page";
        QVERIFY(content != "<folder>" || QDir().mkpath(path));
        QVERIFY(content != "<pipe>" || ::mkfifo(QFile::encodeName(path), 0600) == 0);
        if (!content.startsWith('<')) {
            SeriesFixtures::writeBytes(path, content);
            QBuffer buffer(&content);
            QVERIFY(buffer.open(QIODevice::ReadOnly));
            QCOMPARE(PageHeaders::sizeOf(buffer), size);
            if (size.isValid())
                QCOMPARE(LoadPage(content).natural, size);
        }
        QCOMPARE(PageHeaders::sizeOfFile(path), size);
        // Enough paths for two threads, each size in its place.
        QStringList paths;
        QList<QSize> sizes;
        for (int i = 0; i < 100; ++i)
            paths << (i % 3 ? path : folder + "/none"), sizes << (i % 3 ? size : QSize());
        QCOMPARE(PageHeaders::sizesOfFiles(paths), sizes);
    }
};

PAGORA_TEST_MAIN(TestImaging)
#include "tst_imaging.moc"
