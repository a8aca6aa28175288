#include "imaging/modFreeImage.h"
#include "platform/PictureControls.h"
#include "platform/PictureLoader.h"
#include "TestEnvironment.h"

#include <FreeImage.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QPainter>
#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace modFreeImage;
Q_DECLARE_METATYPE(modFreeImage::PngRouteResult)

namespace {

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

QByteArray be32(quint32 value)
{
    QByteArray bytes(4, 0);
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray chunk(const char *type, const QByteArray &data)
{
    const QByteArray body = type + data;
    return be32(quint32(data.size())) + body + be32(crc32(body));
}

// A PNG made by hand; `rows` are raw scanlines, each led by its filter byte.
QByteArray handPng(int width, int height, int depth, int colourType, const QByteArray &rows,
                   const QByteArray &palette = {})
{
    const QByteArray ihdr = be32(width) + be32(height) + char(depth) + char(colourType) + QByteArray(3, 0);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr)
           + (palette.isEmpty() ? QByteArray() : chunk("PLTE", palette))
           + chunk("IDAT", qCompress(rows).mid(4)) + chunk("IEND", {});
}

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

QImage indexed(QImage::Format format, const QList<QRgb> &table, int width, const QList<int> &indices)
{
    QImage image(width, int(indices.size()) / width, format);
    image.setColorTable(table);
    for (int i = 0; i < indices.size(); ++i)
        image.setPixel(i % width, i / width, uint(indices[i]));
    return image;
}

// A baseline JPEG whose frame header announces another size.
QByteArray jpegAnnouncing(int width, int height)
{
    QByteArray bytes = encoded(painted(QImage::Format_RGB32, 1, {Qt::red}), "JPEG");
    const qsizetype frame = bytes.indexOf("\xFF\xC0");
    qToBigEndian(quint16(height), bytes.data() + frame + 5);
    qToBigEndian(quint16(width), bytes.data() + frame + 7);
    return bytes;
}

// The headers of a 24-bit BMP, with no pixels after them.
QByteArray bmpAnnouncing(int width, int height)
{
    QByteArray bytes(54, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    qToLittleEndian(quint32(54), bytes.data() + 2);
    qToLittleEndian(quint32(54), bytes.data() + 10);
    qToLittleEndian(quint32(40), bytes.data() + 14);
    qToLittleEndian(qint32(width), bytes.data() + 18);
    qToLittleEndian(qint32(height), bytes.data() + 22);
    qToLittleEndian(quint16(1), bytes.data() + 26);
    qToLittleEndian(quint16(24), bytes.data() + 28);
    return bytes;
}

// Two pixels, red then blue, placed in a width x height frame.
QByteArray gif(quint16 width, quint16 height)
{
    QByteArray size(4, 0);
    qToLittleEndian(width, size.data());
    qToLittleEndian(height, size.data() + 2);
    return "GIF89a" + size + QByteArray("\x80\0\0\xff\0\0\0\0\xff,\0\0\0\0", 14) + size
           + QByteArray("\0\x02\x02\x44\x0a\0;", 7);
}

QString write(const QString &folder, const QString &name, const QByteArray &bytes)
{
    const QString path = folder + '/' + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write fixture %s", qPrintable(path));
    return path;
}

QList<QRgb> pixels(const QImage &image)
{
    QList<QRgb> all;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            all.append(image.pixelColor(x, y).rgba());
    return all;
}

bool near(QRgb actual, QRgb expected, int tolerance)
{
    return qAbs(qRed(actual) - qRed(expected)) <= tolerance
           && qAbs(qGreen(actual) - qGreen(expected)) <= tolerance
           && qAbs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

QImage loaded(const QString &path)
{
    try {
        return LoadPicture(path);
    } catch (const PlatformError &error) {
        qWarning("LoadPicture: %d %s", error.number(), error.what());
        return {};
    }
}

// A tall strip, white with a blue foot, saved once per format.
QString strip(const QByteArray &format)
{
    static QHash<QByteArray, QString> saved;
    if (!saved.contains(format)) {
        QImage image(1000, 60000, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter(&image).fillRect(0, 59000, 1000, 1000, Qt::blue);
        const QString path = TestEnvironment::freshFolder("strip") + "/strip";
        if (!image.save(path, format))
            qFatal("cannot save the %s strip", format.constData());
        saved[format] = path;
    }
    return saved[format];
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
        of["memory dc"] = CreateCompatibleDC();
        DeleteObject(of["deleted bitmap"] = CreateBitmapObject(picture));
        ReleaseDC(of["released dc"] = GetDC(box));
    }
    ~Handles()
    {
        DeleteObject(of["bitmap"]);
        ReleaseDC(of["dc"]);
        DeleteDC(of["memory dc"]);
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

    void pageBudgetBoundsSidesAndArea_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("within");
        QTest::newRow("longest side") << QSize(65535, 1) << true;
        QTest::newRow("side too long") << QSize(65536, 1) << false;
        QTest::newRow("height too long") << QSize(1, 65536) << false;
        QTest::newRow("largest area") << QSize(10000, 12000) << true;
        QTest::newRow("area too large") << QSize(10000, 12001) << false;
        QTest::newRow("empty") << QSize(0, 0) << true;
    }
    void pageBudgetBoundsSidesAndArea()
    {
        QFETCH(QSize, size);
        QFETCH(bool, within);
        QCOMPARE(withinPageBudget(size), within);
    }

    void pngPageSizesSurfaceAndHoldsItsPixels()
    {
        QImage page(800, 1200, QImage::Format_RGB32);
        QPainter painter(&page);
        painter.fillRect(0, 0, 400, 600, Qt::red);
        painter.fillRect(400, 0, 400, 600, Qt::green);
        painter.fillRect(0, 600, 800, 600, QColor(10, 20, 30));
        painter.end();
        const QString path = TestEnvironment::freshFolder("page") + "/page.png";
        QVERIFY(page.save(path));

        Surface surface;
        QCOMPARE(DrawPngPage(path, surface), PngRouteResult::Drawn);
        QCOMPARE(surface.size(), QSize(800, 1200));
        QCOMPARE(surface.image().size(), QSize(800, 1200));
        for (const QPoint p : {QPoint(0, 0), QPoint(799, 0), QPoint(399, 599), QPoint(400, 600), QPoint(799, 1199)})
            QCOMPARE(surface.image().pixel(p), page.pixel(p));
    }

    void pngKindsDrawTheirStoredColours_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("colourType");
        QTest::addColumn<int>("width");
        QTest::addColumn<QList<QRgb>>("expected");
        const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
        const QRgb rust = qRgb(200, 100, 50), dark = qRgb(64, 64, 64), light = qRgb(192, 192, 192);
        const QColor dark16 = QColor::fromRgba64(0x4040, 0x4040, 0x4040);
        const QColor light16 = QColor::fromRgba64(0xc0c0, 0xc0c0, 0xc0c0);
        QList<QRgb> table(40, qRgb(1, 1, 1));
        table[7] = qRgba(200, 100, 50, 0);
        table[30] = qRgb(10, 20, 30);

        QTest::newRow("palette 1-bit") << encoded(indexed(QImage::Format_Mono, {red, blue}, 2, {0, 1, 1, 0}), "PNG")
                                       << 1 << 3 << 2 << QList<QRgb>{red, blue, blue, red};
        QTest::newRow("palette 4-bit") << handPng(3, 2, 4, 3, QByteArray("\0\x12\x30\0\x40\x10", 6),
                                                  QByteArray("\0\0\0\xff\0\0\0\xff\0\0\0\xff\x80\x40\x20", 15))
                                       << 4 << 3 << 3 << QList<QRgb>{red, green, blue, qRgb(128, 64, 32), qRgb(0, 0, 0), red};
        QTest::newRow("palette 8-bit, a transparent entry")
            << encoded(indexed(QImage::Format_Indexed8, table, 2, {7, 30}), "PNG") << 8 << 3 << 2
            << QList<QRgb>{rust, qRgb(10, 20, 30)};
        QTest::newRow("grey 8") << encoded(painted(QImage::Format_Grayscale8, 2, {dark, light}), "PNG")
                                << 8 << 0 << 2 << QList<QRgb>{dark, light};
        // Two levels, so stretching the image's own range to 0..255 would show.
        QTest::newRow("grey 16") << encoded(painted(QImage::Format_Grayscale16, 2, {dark16, light16}), "PNG")
                                 << 16 << 0 << 2 << QList<QRgb>{dark, light};
        QTest::newRow("grey and alpha 8") << handPng(2, 1, 8, 4, QByteArray("\0\x40\0\xc0\xff", 5))
                                          << 8 << 4 << 2 << QList<QRgb>{dark, light};
        QTest::newRow("RGB 8") << encoded(painted(QImage::Format_RGB32, 2, {red, green, blue, qRgb(1, 2, 3)}), "PNG")
                               << 8 << 2 << 2 << QList<QRgb>{red, green, blue, qRgb(1, 2, 3)};
        QTest::newRow("RGBA 8, transparent pixels")
            << encoded(painted(QImage::Format_ARGB32, 2, {QColor(200, 100, 50, 0), QColor(10, 20, 30, 128)}), "PNG")
            << 8 << 6 << 2 << QList<QRgb>{rust, qRgb(10, 20, 30)};
        QTest::newRow("RGB 16")
            << encoded(painted(QImage::Format_RGBX64, 2, {QColor::fromRgba64(0xc8c8, 0x6464, 0x3232), blue}), "PNG")
            << 16 << 2 << 2 << QList<QRgb>{rust, blue};
        QTest::newRow("RGBA 16, transparent pixel")
            << encoded(painted(QImage::Format_RGBA64, 2, {QColor::fromRgba64(0xc8c8, 0x6464, 0x3232, 0),
                                                           QColor::fromRgba64(0xffff, 0, 0, 0x8000)}), "PNG")
            << 16 << 6 << 2 << QList<QRgb>{rust, red};
    }
    void pngKindsDrawTheirStoredColours()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, depth);
        QFETCH(int, colourType);
        QFETCH(int, width);
        QFETCH(QList<QRgb>, expected);
        // The fixture must be the kind the row names.
        QCOMPARE(int(file.at(24)), depth);
        QCOMPARE(int(file.at(25)), colourType);

        Surface surface;
        QCOMPARE(DrawPngPage(write(TestEnvironment::freshFolder("kind"), "page.png", file), surface),
                 PngRouteResult::Drawn);
        QCOMPARE(surface.size(), QSize(width, int(expected.size()) / width));
        QCOMPARE(pixels(surface.image()), expected);
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
        QVERIFY(near(surface.image().pixel(32, 24), qRgb(200, 40, 40), 6));
    }

    void failedRouteLeavesSurfaceAloneAndReports_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<PngRouteResult>("expected");
        QTest::addColumn<int>("number");
        QImage noise(64, 64, QImage::Format_RGB32);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.bits()), 64 * 64);
        const QByteArray png = encoded(noise, "PNG");

        QTest::newRow("missing file") << "missing" << QByteArray() << PngRouteResult::FileMissing << 53;
        QTest::newRow("folder") << "folder" << QByteArray() << PngRouteResult::FileMissing << 53;
        QTest::newRow("text") << "file" << QByteArray("not a picture\n") << PngRouteResult::NotRecognised << 481;
        QTest::newRow("zero bytes") << "file" << QByteArray() << PngRouteResult::NotRecognised << 481;
        QTest::newRow("truncated") << "file" << png.left(png.size() / 2) << PngRouteResult::LoadFailed << 481;
        // Their data can't be decoded: only a refusal from the header gives TooLarge.
        QTest::newRow("PNG 70000 x 10") << "file" << handPng(70000, 10, 8, 6, "x") << PngRouteResult::TooLarge << 7;
        QTest::newRow("PNG 20000 x 20000") << "file" << handPng(20000, 20000, 8, 6, "x") << PngRouteResult::TooLarge << 7;
        QTest::newRow("JPEG 65000 x 65000") << "file" << jpegAnnouncing(65000, 65000) << PngRouteResult::TooLarge << 7;
    }
    void failedRouteLeavesSurfaceAloneAndReports()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        QFETCH(PngRouteResult, expected);
        QFETCH(int, number);
        const QString folder = TestEnvironment::freshFolder("bad");
        if (kind == "file")
            write(folder, "page.png", content);
        else if (kind == "folder")
            QDir(folder).mkdir("page.png");

        Surface surface({30, 20});
        QImage before(30, 20, QImage::Format_RGB32);
        before.fill(Qt::green);
        surface.setImage(before);
        const PngRouteResult result = DrawPngPage(folder + "/page.png", surface);
        QCOMPARE(result, expected);
        QCOMPARE(surface.size(), QSize(30, 20));
        QCOMPARE(surface.image(), before);

        const QHash<int, QString> descriptions{{53, "File not found"}, {7, "Out of memory"}, {481, "Invalid picture"}};
        QCOMPARE(pngRouteError(result).number(), number);
        QCOMPARE(pngRouteError(result).description(), descriptions[number]);
    }

    void longStripDecodes_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<bool>("throughFreeImage");
        QTest::newRow("PNG, FreeImage") << QByteArray("PNG") << true;
        QTest::newRow("JPEG, FreeImage") << QByteArray("JPEG") << true;
        QTest::newRow("PNG, Qt") << QByteArray("PNG") << false;
        QTest::newRow("JPEG, Qt") << QByteArray("JPEG") << false;
    }
    void longStripDecodes()
    {
        QFETCH(QByteArray, format);
        QFETCH(bool, throughFreeImage);
        QImage page;
        if (throughFreeImage) {
            Surface surface;
            QCOMPARE(DrawPngPage(strip(format), surface), PngRouteResult::Drawn);
            QCOMPARE(surface.size(), QSize(1000, 60000));
            page = surface.image();
        } else {
            page = loaded(strip(format));
        }
        QCOMPARE(page.size(), QSize(1000, 60000));
        QVERIFY(near(page.pixel(500, 100), qRgb(255, 255, 255), 8));
        QVERIFY(near(page.pixel(500, 59900), qRgb(0, 0, 255), 8));
    }

    void routeRunsPageAfterPage()
    {
        const QString folder = TestEnvironment::freshFolder("pages");
        QVERIFY(painted(QImage::Format_RGB32, 2, {Qt::red, Qt::blue}).save(folder + "/a.png"));
        QVERIFY(painted(QImage::Format_RGB32, 1, {Qt::red, Qt::blue}).save(folder + "/b.jpg"));
        Surface surface;
        for (int page = 0; page < 40; ++page) {
            const bool png = page % 2 == 0;
            QCOMPARE(DrawPngPage(folder + (png ? "/a.png" : "/b.jpg"), surface), PngRouteResult::Drawn);
            QCOMPARE(surface.size(), png ? QSize(2, 1) : QSize(1, 2));
        }
    }

    void drawBitmapRefusesWrongHandles_data()
    {
        QTest::addColumn<QString>("bitmap");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("code");
        QTest::newRow("no bitmap") << "none" << "dc" << 1;
        QTest::newRow("a DC for a bitmap") << "memory dc" << "dc" << 2;
        QTest::newRow("deleted bitmap") << "deleted bitmap" << "dc" << 2;
        QTest::newRow("no target") << "bitmap" << "none" << 3;
        QTest::newRow("a bitmap for a target") << "bitmap" << "bitmap" << 3;
        QTest::newRow("released target") << "bitmap" << "released dc" << 3;
    }
    void drawBitmapRefusesWrongHandles()
    {
        QFETCH(QString, bitmap);
        QFETCH(QString, target);
        QFETCH(int, code);
        Handles handles;
        const int live = liveBitmapObjects();
        qint32 error = -1;
        QVERIFY(!DrawBitmap(handles.of[bitmap], handles.of[target], 0, 0, -1, -1, 0, error));
        QCOMPARE(error, code);
        QCOMPARE(liveBitmapObjects(), live);
        QVERIFY(handles.box.image().isNull());
    }

    void drawBitmapPlacesCopyOrInverse_data()
    {
        QTest::addColumn<QRect>("request"); // x, y, width, height as passed
        QTest::addColumn<qint16>("invert");
        QTest::addColumn<QRect>("covered");
        QTest::newRow("-1/-1: whole bitmap") << QRect(0, 0, -1, -1) << qint16(0) << QRect(0, 0, 3, 2);
        QTest::newRow("0/0: whole bitmap, offset") << QRect(2, 1, 0, 0) << qint16(0) << QRect(2, 1, 2, 2);
        QTest::newRow("part") << QRect(1, 1, 2, 1) << qint16(0) << QRect(1, 1, 2, 1);
        QTest::newRow("clipped by surface") << QRect(2, 3, -1, -1) << qint16(0) << QRect(2, 3, 2, 1);
        QTest::newRow("more than the bitmap") << QRect(0, 0, 9, 9) << qint16(0) << QRect(0, 0, 3, 2);
        QTest::newRow("inverted by -1") << QRect(0, 0, -1, -1) << qint16(-1) << QRect(0, 0, 3, 2);
        QTest::newRow("inverted by 1") << QRect(1, 2, 2, 2) << qint16(1) << QRect(1, 2, 2, 2);
    }
    void drawBitmapPlacesCopyOrInverse()
    {
        QFETCH(QRect, request);
        QFETCH(qint16, invert);
        QFETCH(QRect, covered);
        Handles handles;
        qint32 error = -1;
        QVERIFY(DrawBitmap(handles.of["bitmap"], handles.of["dc"], request.x(), request.y(),
                           request.width(), request.height(), invert, error));
        QCOMPARE(error, 0);

        const QImage drawn = handles.box.image();
        QCOMPARE(drawn.size(), QSize(4, 4));
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) {
                QRgb expected = qRgb(9, 9, 9);
                if (covered.contains(x, y)) {
                    expected = handles.picture.pixel(x - request.x(), y - request.y());
                    if (invert)
                        expected = qRgb(255 - qRed(expected), 255 - qGreen(expected), 255 - qBlue(expected));
                }
                QCOMPARE(drawn.pixel(x, y), expected);
            }
        }
        // The caller's bitmap is still there, and untouched.
        QCOMPARE(GetBitmapImage(handles.of["bitmap"]), handles.picture);
    }

    void drawBitmapOntoGoneSurfaceFails()
    {
        Handles handles;
        auto *box = new Surface;
        const qint32 dc = GetDC(*box);
        delete box;
        qint32 error = 0;
        QVERIFY(!DrawBitmap(handles.of["bitmap"], dc, 0, 0, -1, -1, 0, error));
        QVERIFY(error != 0);
        QVERIFY(ReleaseDC(dc));
    }

    void bitmapSizeIsZeroForNoBitmap_data()
    {
        QTest::addColumn<QString>("handle");
        QTest::addColumn<QSize>("size");
        for (const char *other : {"none", "dc", "memory dc", "deleted bitmap"})
            QTest::newRow(other) << other << QSize(0, 0);
        QTest::newRow("bitmap") << "bitmap" << QSize(3, 2);
    }
    void bitmapSizeIsZeroForNoBitmap()
    {
        QFETCH(QString, handle);
        QFETCH(QSize, size);
        Handles handles;
        QCOMPARE(QSize(GetBitmapWidth(handles.of[handle]), GetBitmapHeight(handles.of[handle])), size);
    }

    void deleteMemoryDcDeletesTheBitmapItHeld()
    {
        Handles handles;
        const qint32 target = CreateBitmapObject(QImage(4, 4, QImage::Format_RGB32));
        qint32 memory = 0;
        QVERIFY(CreateMemoryDC(memory));
        QCOMPARE(GetObjectType(memory), 10);
        qint32 old = SelectObject(memory, target);
        QVERIFY(old != 0);
        // Drawing onto a memory DC paints its bitmap; a held bitmap can't be deleted.
        qint32 error = -1;
        QVERIFY(DrawBitmap(handles.of["bitmap"], memory, 1, 1, -1, -1, 0, error));
        QCOMPARE(GetBitmapImage(target).pixel(3, 2), handles.picture.pixel(2, 1));
        QVERIFY(!DeleteObject(target));

        QVERIFY(DeleteMemoryDC(memory, old));
        QCOMPARE(memory, 0);
        QCOMPARE(old, 0);
        QCOMPARE(GetObjectType(target), 0);
        QCOMPARE(GetObjectType(handles.of["bitmap"]), 7);
    }

    void dibToBitmapRefusesMissingPixels()
    {
        qint32 bmp = 1234;
        QVERIFY(!DibToBitmap(nullptr, bmp));
        QCOMPARE(bmp, 0);
        const QString path = TestEnvironment::freshFolder("header") + "/page.png";
        QVERIFY(QImage(8, 8, QImage::Format_RGB32).save(path));
        FIBITMAP *header = FreeImage_Load(FIF_PNG, QFile::encodeName(path).constData(), FIF_LOAD_NOPIXELS);
        QVERIFY(header && !FreeImage_HasPixels(header));
        bmp = 1234;
        QVERIFY(!DibToBitmap(header, bmp));
        QCOMPARE(bmp, 0);
        FreeImage_Unload(header);
    }

    void loadPictureFailures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("number");
        QByteArray random(4096, 0);
        QRandomGenerator(42).fillRange(reinterpret_cast<quint32 *>(random.data()), random.size() / 4);
        QTest::newRow("missing") << "missing" << "page.jpg" << QByteArray() << 53;
        QTest::newRow("folder") << "folder" << "page.jpg" << QByteArray() << 75;
        QTest::newRow("socket: no medium behind it") << "socket" << "page.jpg" << QByteArray() << 71;
        QTest::newRow("zero-byte GIF") << "file" << "page.gif" << QByteArray() << 481;
        QTest::newRow("random bytes") << "file" << "page.png" << random << 481;
        QTest::newRow("text named .jpg") << "file" << "page.jpg" << QByteArray("not a picture\n") << 481;
        QTest::newRow("BMP 70000 x 10") << "file" << "page.bmp" << bmpAnnouncing(70000, 10) << 7;
        QTest::newRow("BMP 15000 x 15000") << "file" << "page.bmp" << bmpAnnouncing(15000, 15000) << 7;
        QTest::newRow("JPEG 65000 x 65000") << "file" << "page.jpg" << jpegAnnouncing(65000, 65000) << 7;
        QTest::newRow("GIF 65535 x 65535") << "file" << "page.gif" << gif(65535, 65535) << 7;
    }
    void loadPictureFailures()
    {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(int, number);
        const QString folder = TestEnvironment::freshFolder("load");
        const QString path = folder + '/' + name;
        if (kind == "file") {
            write(folder, name, content);
        } else if (kind == "folder") {
            QDir(folder).mkdir(name);
        } else if (kind == "socket") {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
            QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
            ::close(fd);
        }
        const QHash<int, QString> descriptions{{53, "File not found"}, {75, "Path/File access error"},
            {71, "Disk not ready"}, {481, "Invalid picture"}, {7, "Out of memory"}};
        try {
            LoadPicture(path);
            QFAIL("no PlatformError thrown");
        } catch (const PlatformError &error) {
            QCOMPARE(error.number(), number);
            QCOMPARE(error.description(), descriptions[number]);
        }
    }

    void loadPictureDecodesByContentIntoDrawableFormat_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("format");
        QTest::addColumn<QRgb>("firstPixel");
        const int rgb = QImage::Format_RGB32;
        QImage colour(16, 8, QImage::Format_RGB32);
        colour.fill(QColor(200, 40, 40));
        QImage grey(16, 8, QImage::Format_Grayscale8);
        grey.fill(QColor(90, 90, 90));
        QImage withAlpha(16, 8, QImage::Format_ARGB32);
        withAlpha.fill(QColor(0, 0, 255));

        QTest::newRow("JPEG named .gif") << "page.gif" << encoded(colour, "JPEG") << QSize(16, 8) << rgb << qRgb(200, 40, 40);
        QTest::newRow("grey JPEG named .png") << "page.png" << encoded(grey, "JPEG") << QSize(16, 8) << rgb << qRgb(90, 90, 90);
        QTest::newRow("GIF named .bmp") << "page.bmp" << gif(2, 1) << QSize(2, 1) << rgb << qRgb(255, 0, 0);
        QTest::newRow("BMP, no suffix") << "page" << encoded(colour, "BMP") << QSize(16, 8) << rgb << qRgb(200, 40, 40);
        QTest::newRow("PNG with alpha named .jpg") << "page.jpg" << encoded(withAlpha, "PNG") << QSize(16, 8)
                                                   << int(QImage::Format_ARGB32_Premultiplied) << qRgb(0, 0, 255);
        QTest::newRow("16-bit PNG") << "page.png" << encoded(colour.convertToFormat(QImage::Format_RGBX64), "PNG")
                                    << QSize(16, 8) << rgb << qRgb(200, 40, 40);
    }
    void loadPictureDecodesByContentIntoDrawableFormat()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QSize, size);
        QFETCH(int, format);
        QFETCH(QRgb, firstPixel);
        const QImage page = loaded(write(TestEnvironment::freshFolder("load"), name, content));
        QCOMPARE(page.size(), size);
        QCOMPARE(int(page.format()), format);
        QVERIFY(near(page.pixel(0, 0), firstPixel, 6));
    }
};

PAGORA_TEST_MAIN(TestImaging)
#include "tst_imaging.moc"
