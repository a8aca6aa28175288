#include "imaging/modFreeImage.h"
#include "platform/PictureControls.h"
#include "platform/PictureLoader.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"

#include <QBuffer>
#include <QPainter>
#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>

#include <optional>

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

struct Surface : PictureBox {
    explicit Surface(QSize size = {4, 4}) { setBorder(false), setBackground(QColor(9, 9, 9)), resize(size); }
};

// One of each kind of handle a routine may be given, gone again afterwards.
struct Handles {
    Surface box;
    QImage picture = painted(QImage::Format_RGB32, 3,
                             {Qt::red, Qt::green, Qt::blue, Qt::cyan, Qt::magenta, Qt::yellow});
    QHash<QString, qint32> of{{"none", 0}, {"bitmap", CreateBitmapObject(picture)}, {"dc", GetDC(box)}};
    Handles()
    {
        DeleteObject(of["deleted bitmap"] = CreateBitmapObject(picture)), ReleaseDC(of["released dc"] = GetDC(box));
    }
    ~Handles() { DeleteObject(of["bitmap"]), ReleaseDC(of["dc"]); }
};

} // namespace

class TestImaging : public QObject {
    Q_OBJECT
    int m_live = 0;

private slots:
    // Every test gives back the handles it used, and so does every route.
    void init() { m_live = liveBitmapObjects(); }
    void cleanup() { QCOMPARE(liveBitmapObjects(), m_live); }

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
        const QString path = fixture(name, encoded(page, name.endsWith(".png") ? "PNG" : "JPEG"));
        if (route) {
            Surface surface;
            QCOMPARE(DrawPngPage(path, surface), PngRouteResult::Drawn);
            QCOMPARE(surface.size(), size);
            drawn = surface.image();
            QVERIFY(!name.endsWith(".png") || drawn == page);
        } else {
            page = QImage(); // the strip alone fills the budget
            QVERIFY_THROWS_NO_EXCEPTION(drawn = LoadPicture(path));
            QCOMPARE(drawn.format(), QImage::Format_RGB32);
        }
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
        Surface surface;
        QCOMPARE(DrawPngPage(fixture("page.png", file), surface), PngRouteResult::Drawn);
        QCOMPARE((QList<QRgb>{surface.image().pixel(0, 0), surface.image().pixel(1, 0)}), expected);
    }

    // The PNG route (which must leave the surface as it was) and the loader.
    void failuresReportTheirNumber_data()
    {
        QTest::addColumn<bool>("route");
        QTest::addColumn<QString>("name"); // only "page.*" is written; "." is the folder itself
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("number");
        QByteArray random(4096, 0);
        QRandomGenerator(42).fillRange(reinterpret_cast<quint32 *>(random.data()), random.size() / 4);
        QTest::newRow("route: missing") << true << "gone.png" << QByteArray() << 53;
        QTest::newRow("route: not a picture") << true << "page.png" << QByteArray("not a picture\n") << 481;
        // Over the budget by a side, then by area: undecodable data, so 7 only from a header refusal.
        QTest::newRow("route: 70000 x 10") << true << "page.png" << announcing("PNG", 70000, 10) << 7;
        QTest::newRow("loader: missing") << false << "gone.jpg" << QByteArray() << 53;
        QTest::newRow("loader: folder") << false << "." << QByteArray() << 75;
        QTest::newRow("loader: zero-byte GIF") << false << "page.gif" << QByteArray() << 481;
        QTest::newRow("loader: random bytes") << false << "page.png" << random << 481;
        QTest::newRow("loader: 65000 x 65000") << false << "page.jpg" << announcing("JPEG", 65000, 65000) << 7;
    }
    void failuresReportTheirNumber()
    {
        QFETCH(bool, route);
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(int, number);
        const QString path = TestEnvironment::freshFolder("bad") + '/' + name;
        if (name.startsWith("page"))
            SeriesFixtures::writeBytes(path, content);

        std::optional<PlatformError> error;
        if (route) {
            const QImage before = painted(QImage::Format_RGB32, 2, {Qt::green, Qt::blue});
            Surface surface(before.size());
            surface.setImage(before);
            error = pngRouteError(DrawPngPage(path, surface));
            QCOMPARE(surface.size(), before.size());
            QCOMPARE(surface.image(), before);
        } else {
            try { LoadPicture(path); } catch (const PlatformError &thrown) { error = thrown; }
        }
        QVERIFY2(error, "no error");
        QCOMPARE(error->number(), number);
        QCOMPARE(error->description(), descriptions[number]);
    }

    // Success draws the bitmap's top-left part at (x, y), the rest of the surface untouched.
    void drawBitmapDrawsOrRefuses_data()
    {
        QTest::addColumn<QString>("bitmap");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QRect>("request"); // x, y, width, height as passed
        QTest::addColumn<qint16>("invert");
        QTest::addColumn<QRect>("covered");
        QTest::addColumn<int>("code");
        const QRect whole(0, 0, -1, -1);
        QTest::newRow("-1/-1: whole bitmap") << "bitmap" << "dc" << whole << qint16(0) << QRect(0, 0, 3, 2) << 0;
        QTest::newRow("0/0: whole, offset, inverted by -1") << "bitmap" << "dc" << QRect(1, 1, 0, 0) << qint16(-1)
                                                             << QRect(1, 1, 3, 2) << 0;
        QTest::newRow("part, inverted by 1") << "bitmap" << "dc" << QRect(1, 2, 2, 1) << qint16(1) << QRect(1, 2, 2, 1) << 0;
        QTest::newRow("no bitmap") << "none" << "dc" << whole << qint16(0) << QRect() << 1;
        QTest::newRow("deleted bitmap") << "deleted bitmap" << "dc" << whole << qint16(0) << QRect() << 2;
        QTest::newRow("a bitmap for a target") << "bitmap" << "bitmap" << whole << qint16(0) << QRect() << 3;
        QTest::newRow("released target") << "bitmap" << "released dc" << whole << qint16(0) << QRect() << 3;
    }
    void drawBitmapDrawsOrRefuses()
    {
        QFETCH(QString, bitmap);
        QFETCH(QString, target);
        QFETCH(QRect, request);
        QFETCH(qint16, invert);
        QFETCH(QRect, covered);
        QFETCH(int, code);
        Handles handles;
        qint32 error = -1;
        QCOMPARE(DrawBitmap(handles.of[bitmap], handles.of[target], request.x(), request.y(), request.width(),
                            request.height(), invert, error), code == 0);
        QCOMPARE(error, code);
        QCOMPARE(GetBitmapImage(handles.of["bitmap"]), handles.picture); // the caller's bitmap untouched
        const QImage drawn = handles.box.image();
        QCOMPARE(drawn.size(), code == 0 ? QSize(4, 4) : QSize(0, 0)); // a failure draws nothing
        for (int i = 0; i < drawn.width() * drawn.height(); ++i) {
            const QPoint p(i % 4, i / 4);
            const QRgb source = covered.contains(p) ? handles.picture.pixel(p - request.topLeft()) : 0;
            QCOMPARE(drawn.pixel(p), !covered.contains(p) ? qRgb(9, 9, 9) : invert ? source ^ 0x00ffffffu : source);
        }
    }
};

PAGORA_TEST_MAIN(TestImaging)
#include "tst_imaging.moc"
