#include "imaging/modFreeImage.h"
#include "platform/PageMemory.h"
#include "platform/PictureControls.h"
#include "platform/PictureLoader.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"

#include <QBuffer>
#include <QPainter>
#include <QRandomGenerator>
#include <QThread>
#include <QtEndian>
#include <QtTest>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace modFreeImage;

namespace {

const QHash<int, QString> descriptions{
    {53, "File not found"}, {75, "Path/File access error"}, {481, "Invalid picture"}, {7, "Out of memory"}};

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    return image.save(&buffer, format), bytes;
}

QImage painted(QImage::Format format, int width, const QList<QColor> &colours)
{
    QImage image(width, int(colours.size()) / width, format);
    for (int i = 0; i < colours.size(); ++i)
        image.setPixelColor(i % width, i / width, colours[i]);
    return image;
}

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A one-pixel red PNG or JPEG whose header announces width x height.
QByteArray announcing(const char *format, int width, int height)
{
    QByteArray bytes = encoded(painted(QImage::Format_RGB32, 1, {Qt::red}), format);
    if (qstrcmp(format, "PNG") == 0) {
        qToBigEndian(quint32(width), bytes.data() + 16);
        qToBigEndian(quint32(height), bytes.data() + 20);
        qToBigEndian(crc32(bytes.mid(12, 17)), bytes.data() + 29);
    } else {
        const qsizetype frame = bytes.indexOf("\xFF\xC0");
        qToBigEndian(quint16(height), bytes.data() + frame + 5);
        qToBigEndian(quint16(width), bytes.data() + frame + 7);
    }
    return bytes;
}

QString fixture(const QString &name, const QByteArray &bytes)
{
    const QString path = TestEnvironment::freshFolder("imaging") + '/' + name;
    return SeriesFixtures::writeBytes(path, bytes), path;
}

bool near(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b)) <= 24;
}

} // namespace

class TestImaging : public QObject {
    Q_OBJECT

private slots:
    // Quarters that differ, so a flipped or mirrored page shows; both go by content, not by name.
    // The strip is more than Qt decodes unless the loader raises its limit.
    void picturesDecode_data()
    {
        QTest::addColumn<bool>("route"); // the PNG route, else the loader
        QTest::addColumn<QString>("name"); // a PNG if so named, else a JPEG
        QTest::addColumn<QSize>("size");
        QTest::newRow("route: PNG page") << true << "page.png" << QSize(800, 1200);
        QTest::newRow("route: JPEG in a .png folder") << true << "Scans.png/page01.jpg" << QSize(64, 48);
        QTest::newRow("loader: JPEG named .gif") << false << "page.gif" << QSize(64, 48);
        QTest::newRow("loader: 240 MB strip") << false << "strip.png" << QSize(1000, 60000);
    }
    void picturesDecode()
    {
        QFETCH(bool, route);
        QFETCH(QString, name);
        QFETCH(QSize, size);
        const int w = size.width(), h = size.height();
        const QRgb red = qRgb(255, 0, 0), navy = qRgb(10, 20, 30);
        QImage page(size, QImage::Format_RGB32), drawn;
        page.fill(red);
        QPainter(&page).fillRect(0, h / 2, w / 2, h / 2, navy);
        const QByteArray bytes = encoded(page, name.endsWith(".png") ? "PNG" : "JPEG");
        const QString path = fixture(name, bytes);
        if (route) {
            QVERIFY_THROWS_NO_EXCEPTION(drawn = DecodePngPage(path));
            QVERIFY(!name.endsWith(".png") || drawn == page);
            QCOMPARE(DecodePngPage(bytes), drawn); // from memory alike
        } else {
            page = QImage(); // the strip alone fills the budget
            QVERIFY_THROWS_NO_EXCEPTION(drawn = LoadPicture(path));
        }
        QCOMPARE(drawn.format(), QImage::Format_RGB32); // paints without conversion
        QCOMPARE(drawn.size(), size);
        QVERIFY(near(drawn.pixel(w * 3 / 4, h / 4), red) && near(drawn.pixel(w / 4, h * 3 / 4), navy));
    }

    // Each row takes another conversion path; alpha is dropped, stored colours kept.
    void pngKindsDrawTheirStoredColours_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<QRgb>>("expected");
        const QRgb rust = qRgb(200, 100, 50), navy = qRgb(10, 20, 30);
        const QImage palette = painted(QImage::Format_ARGB32, 2, {QColor(200, 100, 50, 0), QColor(navy)})
                                   .convertToFormat(QImage::Format_Indexed8, {qRgba(200, 100, 50, 0), navy});
        QTest::newRow("palette, a transparent entry") << encoded(palette, "PNG")
                                                      << QList<QRgb>{rust, navy};
        // Two levels, so stretching the image's own range to 0..255 would show.
        QTest::newRow("grey 16") << encoded(painted(QImage::Format_Grayscale16, 2,
                                                    {QColor::fromRgba64(0x4040, 0x4040, 0x4040),
                                                     QColor::fromRgba64(0xc0c0, 0xc0c0, 0xc0c0)}), "PNG")
                                 << QList<QRgb>{qRgb(64, 64, 64), qRgb(192, 192, 192)};
        QTest::newRow("RGBA 8, transparent pixels")
            << encoded(painted(QImage::Format_ARGB32, 2, {QColor(200, 100, 50, 0), QColor(10, 20, 30, 128)}), "PNG")
            << QList<QRgb>{rust, navy};
        QTest::newRow("RGBA 16, transparent pixel")
            << encoded(painted(QImage::Format_RGBA64, 2, {QColor::fromRgba64(0xc8c8, 0x6464, 0x3232, 0),
                                                           QColor::fromRgba64(0xffff, 0, 0, 0x8000)}), "PNG")
            << QList<QRgb>{rust, qRgb(255, 0, 0)};
    }
    void pngKindsDrawTheirStoredColours()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<QRgb>, expected);
        for (const QImage &decoded : {DecodePngPage(fixture("page.png", file)), DecodePngPage(file)}) {
            QCOMPARE(decoded.format(), QImage::Format_RGB32);
            QCOMPARE((QList<QRgb>{decoded.pixel(0, 0), decoded.pixel(1, 0)}), expected);
        }
    }

    // The PNG route from a file and from memory, and the loader.
    void failuresReportTheirNumber_data()
    {
        QTest::addColumn<QString>("way"); // "file", "memory" or "loader"
        QTest::addColumn<QString>("name"); // only "page.*" is written; "." is the folder itself
        QTest::addColumn<QByteArray>("content"); // "->target" makes a symbolic link
        QTest::addColumn<int>("number");
        QByteArray random(4096, 0);
        QRandomGenerator(42).fillRange(reinterpret_cast<quint32 *>(random.data()), random.size() / 4);
        QTest::newRow("file: missing") << "file" << "gone.png" << QByteArray() << 53;
        // Access fails as the loader's does.
        QTest::newRow("file: folder") << "file" << "." << QByteArray() << 75;
        QTest::newRow("file: link to a device") << "file" << "page.png" << QByteArray("->/dev/zero") << 481;
        QTest::newRow("file: not a picture") << "file" << "page.png" << QByteArray("not a picture\n") << 481;
        // Over the budget by a side: undecodable data, so 7 only from a header refusal.
        QTest::newRow("file: 70000 x 10") << "file" << "page.png" << announcing("PNG", 70000, 10) << 7;
        QTest::newRow("memory: nothing") << "memory" << "" << QByteArray("") << 481;
        QTest::newRow("memory: random bytes") << "memory" << "" << random << 481;
        QTest::newRow("memory: signature and header alone") << "memory" << ""
                                                            << announcing("PNG", 3, 3).left(33) << 481;
        QTest::newRow("memory: 20000 x 20000") << "memory" << "" << announcing("PNG", 20000, 20000) << 7;
        QTest::newRow("loader: missing") << "loader" << "gone.jpg" << QByteArray() << 53;
        QTest::newRow("loader: folder") << "loader" << "." << QByteArray() << 75;
        QTest::newRow("loader: link to a device") << "loader" << "page.jpg" << QByteArray("->/dev/zero") << 481;
        QTest::newRow("loader: zero-byte GIF") << "loader" << "page.gif" << QByteArray() << 481;
        QTest::newRow("loader: random bytes") << "loader" << "page.png" << random << 481;
        QTest::newRow("loader: 65000 x 65000") << "loader" << "page.jpg" << announcing("JPEG", 65000, 65000) << 7;
    }
    void failuresReportTheirNumber()
    {
        QFETCH(QString, way);
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(int, number);
        const QString path = TestEnvironment::freshFolder("bad") + '/' + name;
        if (content.startsWith("->"))
            QVERIFY(QFile::link(QString::fromUtf8(content.mid(2)), path));
        else if (name.startsWith("page"))
            SeriesFixtures::writeBytes(path, content);

        std::optional<PlatformError> error;
        try {
            if (way == "file")
                DecodePngPage(path);
            else if (way == "memory")
                DecodePngPage(content);
            else
                LoadPicture(path);
        } catch (const PlatformError &thrown) {
            error = thrown;
        }
        QVERIFY2(error, "no error");
        QCOMPARE(error->number(), number);
        QCOMPARE(error->description(), descriptions[number]);
    }

    // Something that is no regular file and can't be opened, as a medium
    // that has gone: a socket stands in for it.
    void unreachablePageIsDiskNotReady()
    {
        const QByteArray path = QFile::encodeName(TestEnvironment::freshFolder("socket") + "/page.png");
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, path.constData(), sizeof(address.sun_path));
        QVERIFY(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0);
        int number = 0;
        try { DecodePngPage(QFile::decodeName(path)); } catch (const PlatformError &error) { number = error.number(); }
        ::close(fd);
        QCOMPARE(number, 71);
    }

    // Decoding ahead runs on other threads while the window decodes its own page.
    // Scaled by eighths up to a half, the smallest that covers the display.
    void reducedDecodeSizes_data()
    {
        QTest::addColumn<QSize>("natural");
        QTest::addColumn<QSize>("shown");
        QTest::addColumn<QSize>("decoded");
        QTest::newRow("page fitted to 1080 lines") << QSize(1600, 2400) << QSize(720, 1080) << QSize(800, 1200);
        QTest::newRow("large page, a quarter") << QSize(4000, 6000) << QSize(700, 1050) << QSize(1000, 1500);
        QTest::newRow("three eighths") << QSize(4000, 6000) << QSize(1001, 1500) << QSize(1500, 2250);
        QTest::newRow("an eighth, rounded up") << QSize(1601, 2401) << QSize(200, 300) << QSize(201, 301);
        QTest::newRow("the wider side decides") << QSize(1600, 800) << QSize(600, 100) << QSize(600, 300);
        QTest::newRow("more than half: natural") << QSize(1600, 2400) << QSize(801, 1200) << QSize(1600, 2400);
        QTest::newRow("not shrunk: natural") << QSize(1600, 2400) << QSize(1600, 2400) << QSize(1600, 2400);
        QTest::newRow("no display size: natural") << QSize(1600, 2400) << QSize() << QSize(1600, 2400);
    }
    void reducedDecodeSizes()
    {
        QFETCH(QSize, natural);
        QFETCH(QSize, shown);
        QFETCH(QSize, decoded);
        QCOMPARE(reducedDecodeSize(natural, shown), decoded);
    }

    // Only JPEG pages decode reduced; the natural size comes from the header.
    void pagesDecodeReducedOnlyWhereTheFormatAllows()
    {
        QImage page(1600, 1200, QImage::Format_RGB32);
        page.fill(qRgb(200, 40, 40));
        QPainter(&page).fillRect(0, 600, 800, 600, qRgb(10, 20, 30));
        const auto quarter = [](QSize natural) { return natural / 4; };
        for (const char *format : {"JPEG", "BMP", "PNG"}) {
            const QByteArray bytes = encoded(page, format);
            for (const PagePicture &decoded : {LoadPage(fixture("page", bytes), quarter), LoadPage(bytes, quarter)}) {
                const bool jpeg = qstrcmp(format, "JPEG") == 0;
                QCOMPARE(decoded.natural, page.size());
                QCOMPARE(decoded.reducible, jpeg);
                QCOMPARE(decoded.image.size(), jpeg ? QSize(400, 300) : page.size());
                QCOMPARE(decoded.image.format(), QImage::Format_RGB32);
                const QImage &image = decoded.image;
                QVERIFY(near(image.pixel(image.width() * 3 / 4, image.height() / 4), qRgb(200, 40, 40)));
                QVERIFY(near(image.pixel(image.width() / 4, image.height() * 3 / 4), qRgb(10, 20, 30)));
            }
        }
        // Without a display size, the whole page.
        QCOMPARE(LoadPage(encoded(page, "JPEG")).image.size(), page.size());
    }

    // Buffers of pictures let go are reused for pictures of their size, and
    // never more of them are kept than the bound.
    void pageMemoryIsReusedWithinItsBound()
    {
        const QSize size(1600, 2400);
        const uchar *first = nullptr;
        {
            QImage picture = PageMemory::picture(size, QImage::Format_RGB32);
            QCOMPARE(picture.size(), size);
            QCOMPARE(picture.bytesPerLine(), 6400);
            picture.fill(Qt::red);
            QCOMPARE(picture.pixel(1599, 2399), qRgb(255, 0, 0));
            first = picture.constBits();
        }
        QCOMPARE(PageMemory::picture(size, QImage::Format_RGB32).constBits(), first);
        {
            QList<QImage> many;
            for (int i = 0; i < 8; ++i)
                many << PageMemory::picture(size, QImage::Format_RGB32);
        }
        QVERIFY(PageMemory::bytesKept() > 0 && PageMemory::bytesKept() <= PageMemory::mostBytesKept());
        QCOMPARE(PageMemory::picture(QSize(3, 2), QImage::Format_Grayscale8).bytesPerLine(), 4);
        QVERIFY(PageMemory::picture(QSize(0, 5), QImage::Format_RGB32).isNull());
    }

    void stretchedPictureShowsTheBackgroundOnlyThroughItsTransparency()
    {
        // The control skips painting what lies behind an opaque picture;
        // behind a transparent pixel that must still show.
        QWidget back;
        back.setAutoFillBackground(true);
        QPalette palette = back.palette();
        palette.setColor(QPalette::Window, Qt::red);
        back.setPalette(palette);
        back.resize(40, 40);
        ImageControl control(&back);
        control.setStretch(true);
        control.setGeometry(0, 0, 40, 40);
        back.show();
        QVERIFY(QTest::qWaitForWindowExposed(&back));

        QImage picture(2, 2, QImage::Format_ARGB32);
        picture.fill(Qt::blue);
        picture.setPixel(1, 1, qRgba(0, 0, 0, 0));
        control.setPicture(picture);
        QImage shown = back.grab().toImage();
        QCOMPARE(shown.pixelColor(5, 5), QColor(Qt::blue));
        QCOMPARE(shown.pixelColor(35, 35), QColor(Qt::red));

        control.setPicture(picture.convertToFormat(QImage::Format_RGB32));
        shown = back.grab().toImage();
        QCOMPARE(shown.pixelColor(35, 35), QColor(Qt::black));
        control.clearPicture();
        QCOMPARE(back.grab().toImage().pixelColor(35, 35), QColor(Qt::red));
    }

    void decodesOnSeveralThreadsAtOnce()
    {
        QImage page(300, 200, QImage::Format_RGB32);
        page.fill(qRgb(10, 20, 30));
        QPainter(&page).fillRect(0, 0, 150, 100, Qt::red);
        const QByteArray bytes = encoded(page, "PNG");
        const QString path = fixture("page.png", bytes);
        std::atomic<int> wrong = 0;
        const auto decodeOften = [&] {
            for (int i = 0; i < 10; ++i) {
                try {
                    wrong += DecodePngPage(path) != page;
                    wrong += DecodePngPage(bytes) != page;
                } catch (const PlatformError &) {
                    ++wrong;
                }
            }
        };
        std::vector<std::unique_ptr<QThread>> workers;
        for (int t = 0; t < 3; ++t)
            workers.emplace_back(QThread::create(decodeOften))->start();
        decodeOften();
        for (const auto &worker : workers)
            QVERIFY(worker->wait());
        QCOMPARE(wrong.load(), 0);
    }
};

PAGORA_TEST_MAIN(TestImaging)
#include "tst_imaging.moc"
