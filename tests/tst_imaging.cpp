#include "imaging/modFreeImage.h"
#include "platform/PictureControls.h"
#include "platform/PictureLoader.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QPainter>
#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>

#include <optional>

using namespace modFreeImage;

namespace {

const QHash<int, QString> descriptions{{53, "File not found"}, {75, "Path/File access error"},
                                       {481, "Invalid picture"}, {7, "Out of memory"}};

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
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

QString write(const QString &folder, const QString &name, const QByteArray &bytes)
{
    QFile file(folder + '/' + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write fixture %s", qPrintable(file.fileName()));
    return file.fileName();
}

bool near(QRgb actual, QRgb expected)
{
    return qAbs(qRed(actual) - qRed(expected)) <= 8 && qAbs(qGreen(actual) - qGreen(expected)) <= 8
           && qAbs(qBlue(actual) - qBlue(expected)) <= 8;
}

struct Surface : PictureBox {
    explicit Surface(QSize size = {4, 4})
    {
        setBorder(false);
        setBackground(QColor(9, 9, 9));
        resize(size);
    }
};

// One of each kind of handle a routine may be given, gone again afterwards.
struct Handles {
    Surface box;
    QImage picture = painted(QImage::Format_RGB32, 3,
                             {Qt::red, Qt::green, Qt::blue, Qt::cyan, Qt::magenta, Qt::yellow});
    QHash<QString, qint32> of{{"none", 0}};
    Handles()
    {
        of["bitmap"] = CreateBitmapObject(picture);
        of["dc"] = GetDC(box);
        DeleteObject(of["deleted bitmap"] = CreateBitmapObject(picture));
        ReleaseDC(of["released dc"] = GetDC(box));
        auto *gone = new Surface;
        of["gone surface's dc"] = GetDC(*gone);
        delete gone;
    }
    ~Handles()
    {
        DeleteObject(of["bitmap"]);
        ReleaseDC(of["dc"]);
        ReleaseDC(of["gone surface's dc"]);
    }
};

} // namespace

class TestImaging : public QObject {
    Q_OBJECT
    int m_live = 0;

private slots:
    // Every test gives back the handles it used, and so does every route.
    void init() { m_live = liveBitmapObjects(); }
    void cleanup() { QCOMPARE(liveBitmapObjects(), m_live); }

    void pngPageSizesSurfaceAndHoldsItsPixels()
    {
        // Quarters that differ, so a flipped or mirrored page shows.
        QImage page(800, 1200, QImage::Format_RGB32);
        page.fill(Qt::red);
        QPainter(&page).fillRect(0, 600, 400, 600, QColor(10, 20, 30));
        const QString path = TestEnvironment::freshFolder("page") + "/page.png";
        QVERIFY(page.save(path));

        Surface surface;
        QCOMPARE(DrawPngPage(path, surface), PngRouteResult::Drawn);
        QCOMPARE(surface.size(), QSize(800, 1200));
        QCOMPARE(surface.image(), page);
    }

    // Each row takes another conversion path; alpha is dropped, stored colours kept.
    void pngKindsDrawTheirStoredColours_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("colourType");
        QTest::addColumn<QList<QRgb>>("expected");
        const QRgb rust = qRgb(200, 100, 50), navy = qRgb(10, 20, 30);
        const QImage palette = painted(QImage::Format_ARGB32, 2, {QColor(200, 100, 50, 0), QColor(navy)})
                                   .convertToFormat(QImage::Format_Indexed8, {qRgba(200, 100, 50, 0), navy});
        QTest::newRow("palette, a transparent entry") << encoded(palette, "PNG") << 8 << 3 << QList<QRgb>{rust, navy};
        // Two levels, so stretching the image's own range to 0..255 would show.
        QTest::newRow("grey 16") << encoded(painted(QImage::Format_Grayscale16, 2,
                                                    {QColor::fromRgba64(0x4040, 0x4040, 0x4040),
                                                     QColor::fromRgba64(0xc0c0, 0xc0c0, 0xc0c0)}), "PNG")
                                 << 16 << 0 << QList<QRgb>{qRgb(64, 64, 64), qRgb(192, 192, 192)};
        QTest::newRow("RGBA 8, transparent pixels")
            << encoded(painted(QImage::Format_ARGB32, 2, {QColor(200, 100, 50, 0), QColor(10, 20, 30, 128)}), "PNG")
            << 8 << 6 << QList<QRgb>{rust, navy};
        QTest::newRow("RGBA 16, transparent pixel")
            << encoded(painted(QImage::Format_RGBA64, 2, {QColor::fromRgba64(0xc8c8, 0x6464, 0x3232, 0),
                                                           QColor::fromRgba64(0xffff, 0, 0, 0x8000)}), "PNG")
            << 16 << 6 << QList<QRgb>{rust, qRgb(255, 0, 0)};
    }
    void pngKindsDrawTheirStoredColours()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, depth);
        QFETCH(int, colourType);
        QFETCH(QList<QRgb>, expected);
        // The fixture must be the kind the row names.
        QCOMPARE(int(file.at(24)), depth);
        QCOMPARE(int(file.at(25)), colourType);

        Surface surface;
        QCOMPARE(DrawPngPage(write(TestEnvironment::freshFolder("kind"), "page.png", file), surface),
                 PngRouteResult::Drawn);
        QCOMPARE(surface.size(), QSize(2, 1));
        QCOMPARE((QList<QRgb>{surface.image().pixel(0, 0), surface.image().pixel(1, 0)}), expected);
    }

    void pngRouteGoesByContentNotName()
    {
        const QString folder = TestEnvironment::freshFolder("comic") + "/Scans.png";
        QDir().mkpath(folder);
        QImage page(64, 48, QImage::Format_RGB32);
        page.fill(QColor(200, 40, 40));
        QVERIFY(page.save(folder + "/page01.jpg", "JPEG"));

        Surface surface;
        QCOMPARE(DrawPngPage(folder + "/page01.jpg", surface), PngRouteResult::Drawn);
        QCOMPARE(surface.size(), QSize(64, 48));
        QVERIFY(near(surface.image().pixel(32, 24), qRgb(200, 40, 40)));
    }

    // The PNG route (which must leave the surface as it was) and the loader.
    void failuresReportTheirNumber_data()
    {
        QTest::addColumn<bool>("route");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("number");
        QByteArray random(4096, 0);
        QRandomGenerator(42).fillRange(reinterpret_cast<quint32 *>(random.data()), random.size() / 4);
        const QByteArray none, text("not a picture\n");
        QTest::newRow("route: missing") << true << "missing" << "page.png" << none << 53;
        QTest::newRow("route: folder") << true << "folder" << "page.png" << none << 53;
        QTest::newRow("route: not a picture") << true << "file" << "page.png" << text << 481;
        QTest::newRow("route: truncated") << true << "file" << "page.png" << announcing("PNG", 1, 1).chopped(20) << 481;
        // Over the budget, by a side here and by area below; their data can't be decoded,
        // so only a refusal from the header gives 7.
        QTest::newRow("route: 70000 x 10") << true << "file" << "page.png" << announcing("PNG", 70000, 10) << 7;
        QTest::newRow("loader: missing") << false << "missing" << "page.jpg" << none << 53;
        QTest::newRow("loader: folder") << false << "folder" << "page.jpg" << none << 75;
        QTest::newRow("loader: zero-byte GIF") << false << "file" << "page.gif" << none << 481;
        QTest::newRow("loader: random bytes") << false << "file" << "page.png" << random << 481;
        QTest::newRow("loader: 65000 x 65000") << false << "file" << "page.jpg" << announcing("JPEG", 65000, 65000) << 7;
    }
    void failuresReportTheirNumber()
    {
        QFETCH(bool, route);
        QFETCH(QString, kind);
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(int, number);
        const QString folder = TestEnvironment::freshFolder("bad");
        if (kind == "file")
            write(folder, name, content);
        else if (kind == "folder")
            QDir(folder).mkdir(name);

        std::optional<PlatformError> error;
        if (route) {
            Surface surface({30, 20});
            QImage before(30, 20, QImage::Format_RGB32);
            before.fill(Qt::green);
            surface.setImage(before);
            error = pngRouteError(DrawPngPage(folder + '/' + name, surface));
            QCOMPARE(surface.size(), QSize(30, 20));
            QCOMPARE(surface.image(), before);
        } else {
            try {
                LoadPicture(folder + '/' + name);
            } catch (const PlatformError &thrown) {
                error = thrown;
            }
        }
        QVERIFY2(error, "no error");
        QCOMPARE(error->number(), number);
        QCOMPARE(error->description(), descriptions[number]);
    }

    // 240 MB of pixels: more than Qt decodes unless the loader raises its limit.
    void tallStripWithinBudgetLoads()
    {
        QImage image(1000, 60000, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter(&image).fillRect(0, 59000, 1000, 1000, Qt::blue);
        const QString path = TestEnvironment::freshFolder("strip") + "/strip.png";
        QVERIFY(image.save(path));
        image = QImage();

        QImage page;
        QVERIFY_THROWS_NO_EXCEPTION(page = LoadPicture(path));
        QCOMPARE(page.size(), QSize(1000, 60000));
        QCOMPARE(page.pixel(500, 100), qRgb(255, 255, 255));
        QCOMPARE(page.pixel(500, 59900), qRgb(0, 0, 255));
    }

    void loadPictureDecodesByContentIntoDrawableFormat_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("drawable");
        QImage colour(16, 8, QImage::Format_RGB32);
        colour.fill(QColor(200, 40, 40));
        QTest::newRow("JPEG named .gif") << "page.gif" << encoded(colour, "JPEG") << int(QImage::Format_RGB32);
        QTest::newRow("PNG with alpha named .jpg") << "page.jpg"
            << encoded(colour.convertToFormat(QImage::Format_ARGB32), "PNG") << int(QImage::Format_ARGB32_Premultiplied);
    }
    void loadPictureDecodesByContentIntoDrawableFormat()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(int, drawable);
        QImage page;
        QVERIFY_THROWS_NO_EXCEPTION(page = LoadPicture(write(TestEnvironment::freshFolder("load"), name, content)));
        QCOMPARE(page.size(), QSize(16, 8));
        QCOMPARE(int(page.format()), drawable);
        QVERIFY(near(page.pixel(0, 0), qRgb(200, 40, 40)));
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
        QTest::newRow("target's surface gone") << "bitmap" << "gone surface's dc" << whole << qint16(0) << QRect() << 6;
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
        const int live = liveBitmapObjects();
        qint32 error = -1;
        QCOMPARE(DrawBitmap(handles.of[bitmap], handles.of[target], request.x(), request.y(), request.width(),
                            request.height(), invert, error), code == 0);
        QCOMPARE(error, code);
        QCOMPARE(liveBitmapObjects(), live);
        // The caller's bitmap is still there, and untouched.
        QCOMPARE(GetBitmapImage(handles.of["bitmap"]), handles.picture);

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
