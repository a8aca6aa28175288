// Decoding pages on the PNG route and by the picture loader, and their errors.
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "imaging/modFreeImage.h"
#include "imaging/PictureLoader.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QThread>
#include <QtEndian>
#include <QtTest>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace modFreeImage;

namespace {

const QRgb red = qRgb(255, 0, 0), navy = qRgb(10, 20, 30), rust = qRgb(200, 100, 50);

QByteArray encoded(const QImage &image, const char *format = "PNG")
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    return image.save(&buffer, format), bytes;
}

// Red above navy, so a page upside down or in the wrong colour order shows.
QImage page(QSize size, QImage::Format format = QImage::Format_RGB32,
            const QColor &top = red, const QColor &bottom = navy)
{
    QImage image(size, format);
    image.fill(bottom);
    QImage(image.bits(), size.width(), size.height() / 2, image.bytesPerLine(), format).fill(top);
    return image;
}

bool shows(const QImage &image, QRgb top = red, QRgb bottom = navy)
{
    const auto near = [](QRgb a, QRgb b) {
        return qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b))
                   + qAbs(qBlue(a) - qBlue(b)) < 25;
    };
    return image.format() == QImage::Format_RGB32 && near(image.pixel(0, 0), top)
           && near(image.pixel(image.width() - 1, image.height() - 1), bottom);
}

QString fixture(const QString &name, const QByteArray &bytes)
{
    const QString path = TestEnvironment::freshFolder("imaging") + '/' + name;
    return SeriesFixtures::writeBytes(path, bytes), path;
}

} // namespace

class TestImaging : public QObject {
    Q_OBJECT

private slots:
    // Every pixel kind keeps its stored colours, alpha dropped, top row on
    // top; the format goes by content, so a JPEG decodes too.
    void pngRouteDrawsStoredColours_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QRgb>("top");
        QTest::addColumn<QRgb>("bottom");
        const QColor clear(200, 100, 50, 0), half(255, 0, 0, 128);
        QTest::newRow("RGB 8") << encoded(page({1, 2})) << red << navy;
        QTest::newRow("JPEG") << encoded(page({16, 16}), "JPEG") << red << navy;
        QTest::newRow("palette, a transparent entry")
            << encoded(page({1, 2}, QImage::Format_ARGB32, clear)
                           .convertToFormat(QImage::Format_Indexed8, {clear.rgba(), navy}))
            << rust << navy;
        // Two levels, so stretching the picture's own range to 0..255 would show.
        const QColor dark(64, 64, 64), light(192, 192, 192);
        QTest::newRow("grey 16") << encoded(page({1, 2}, QImage::Format_Grayscale16, dark, light))
                                 << dark.rgb() << light.rgb();
        QTest::newRow("RGBA 8") << encoded(page({1, 2}, QImage::Format_ARGB32, clear, half))
                                << rust << red;
        QTest::newRow("RGBA 16") << encoded(page({1, 2}, QImage::Format_RGBA64, clear, half))
                                 << rust << red;
    }
    void pngRouteDrawsStoredColours()
    {
        QFETCH(QByteArray, file);
        QFETCH(QRgb, top);
        QFETCH(QRgb, bottom);
        const QString path = fixture("page.png", file);
        // On several threads at once, as decoding ahead does beside the window.
        std::atomic<int> right = 0;
        const auto decode = [&] {
            for (int i = 0; i < 5; ++i)
                right += shows(DecodePngPage(path), top, bottom)
                         + shows(DecodePngPage(file), top, bottom);
        };
        std::vector<std::unique_ptr<QThread>> workers;
        for (int t = 0; t < 3; ++t)
            workers.emplace_back(QThread::create(decode))->start();
        decode();
        for (const auto &worker : workers)
            QVERIFY(worker->wait());
        QCOMPARE(right.load(), 40);
    }

    // The loader goes by content too; only a JPEG decodes reduced, its
    // natural size from the header. A page beyond Qt's own limit but within
    // the budget still decodes.
    void loaderDecodesByContentAndReducesOnlyJpeg()
    {
        const auto quarter = [](QSize natural) { return natural / 4; };
        const QByteArray jpeg = encoded(page({1600, 1200}), "JPEG");
        for (const PagePicture &p :
             {LoadPage(fixture("p.gif", jpeg), quarter), LoadPage(jpeg, quarter)}) {
            QCOMPARE(std::tuple(p.image.size(), p.natural, p.reducible),
                     std::tuple(QSize(400, 300), QSize(1600, 1200), true));
            QVERIFY(shows(p.image));
        }
        QCOMPARE(LoadPage(jpeg).image.size(), QSize(1600, 1200));
        QCOMPARE(LoadPage(encoded(page({1600, 1200})), quarter).image.size(), QSize(1600, 1200));
        QVERIFY(shows(LoadPicture(fixture("strip.png", encoded(page({1000, 60000}))))));
    }

    // Eighths up to a half, the smallest that covers the display.
    void reducedDecodeSizes()
    {
        const QSize natural(1600, 2400);
        QCOMPARE(reducedDecodeSize({1600, 800}, {600, 100}), QSize(600, 300)); // both sides cover
        QCOMPARE(reducedDecodeSize({1601, 800}, {200, 99}), QSize(201, 100)); // rounded up
        QCOMPARE(reducedDecodeSize(natural, {801, 1200}), natural);
        QCOMPARE(reducedDecodeSize(natural, {}), natural);
    }

    // Every route that can take the case: the PNG route from the file and
    // from memory, and the loader, which fails on access alike.
    void failuresReportTheirNumber_data()
    {
        QTest::addColumn<QByteArray>("content"); // of page.png; "<...>" is no file of bytes
        QTest::addColumn<int>("number");
        // A one-pixel JPEG whose header announces 65000 x 65000 pixels.
        QByteArray huge = encoded(page({1, 1}), "JPEG");
        qToBigEndian(quint32(0xFDE8FDE8), huge.data() + huge.indexOf("\xFF\xC0") + 5);
        QTest::newRow("missing") << QByteArray("<missing>") << 53;
        QTest::newRow("folder") << QByteArray("<folder>") << 75;
        QTest::newRow("medium gone") << QByteArray("<socket>") << 71;
        QTest::newRow("device") << QByteArray("<device>") << 481;
        QTest::newRow("empty") << QByteArray() << 481;
        QTest::newRow("no picture") << QByteArray("text\n") << 481;
        QTest::newRow("header alone") << encoded(page({3, 3})).left(33) << 481;
        QTest::newRow("too wide") << encoded(page({70000, 1})) << 7;
        QTest::newRow("too many pixels") << huge << 7;
    }
    void failuresReportTheirNumber()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, number);
        const QString path = TestEnvironment::freshFolder("bad") + "/page.png";
        // A socket can't be opened, as a medium that has gone.
        sockaddr_un address{AF_UNIX, {}};
        qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof(address.sun_path));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (content == "<socket>")
            QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
        else if (content == "<device>")
            QVERIFY(QFile::link("/dev/zero", path));
        else if (content == "<folder>")
            QVERIFY(QDir().mkpath(path));
        else if (!content.startsWith('<'))
            SeriesFixtures::writeBytes(path, content);
        static const QHash<int, QString> descriptions{
            {53, "File not found"}, {71, "Disk not ready"}, {75, "Path/File access error"},
            {481, "Invalid picture"}, {7, "Out of memory"}};
        for (const QString way : {"file", "loader", "memory"}) {
            if (way == "memory" && content.startsWith('<'))
                continue;
            try {
                way == "file" ? DecodePngPage(path) : way == "loader" ? LoadPicture(path)
                                                                      : DecodePngPage(content);
                QFAIL(qPrintable(way + ": no error"));
            } catch (const PlatformError &error) {
                QCOMPARE(std::tuple(way, error.number(), error.description()),
                         std::tuple(way, number, descriptions[number]));
            }
        }
        ::close(fd);
    }
};

PAGORA_TEST_MAIN(TestImaging)
#include "tst_imaging.moc"
