// Showing a page in the window: its size, natural, fitted or zoomed; the scroll bars when it
// overhangs; the PNG route. (A page that fails: tst_badinput and tst_chapters.)
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "platform/PictureControls.h"

#include <QtTest>
#include <QtWidgets>

using namespace SeriesFixtures;

class TestDisplay : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> w;
    QString root; // the series folder

    template <class T = QWidget> T *c(const char *n) { return WindowFixtures::control<T>(*w, n); }
    QScrollBar *bar(char which) { return c<QScrollBar>(which == 'h' ? "hsImage" : "vsImage"); }

private slots:
    void init()
    {
        root = TestEnvironment::freshFolder("series");
        w = WindowFixtures::firstRunWindow();
        // A viewport of 600 x 400 pixels (9000 x 6000 twips) with no bar shown.
        const QSize bars(bar('v')->width(), bar('h')->height()); // both shown without a page
        const QSize target = w->size() + QSize(600, 400) - c("PicImage")->size() - bars;
        w->resize(target);
        QTRY_COMPARE(w->size(), target);
    }
    void cleanup() { w.reset(); }

    void sizeBarsAndRouteFollowThePage_data()
    {
        QTest::addColumn<QString>("page"); // a PNG, red and fully transparent, of this size
        QTest::addColumn<QSize>("natural");
        QTest::addColumn<QString>("steps"); // + - 0: the zoom menu; f: Fit To Window
        QTest::addColumn<QSize>("shown");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QString>("bars");
        const auto row = [](const char *tag, QString page, QSize natural, QString steps,
                            QSize shown, double zoom, QString bars) {
            QTest::newRow(tag) << page << natural << steps << shown << zoom << bars;
        };
        const QSize tall(600, 900), small(100, 80), fitted(267, 400);
        row("PNG, zoomed out", "c/a.PNG", tall, "-", {480, 720}, 0.8, "v");
        row("a fifth a step", "c/a.jpg", tall, "+-", {576, 864}, 0.96, "v");
        row("folder .png, no zoom", "c.png/a.jpg", tall, "++0", tall, 1.0, "hv");
        row("no side under 1000 twips", "c/a.jpg", small, "-", small, 1.0, "");
        row("overhang <= 32000 either way", "c/a.jpg", {1000, 2000}, "++", {1200, 2400}, 1.2, "hv");
        row("fit, then by width", "c/a.png", {1000, 600}, "f", {600, 360}, 1.0, "");
        row("fit never enlarges", "c/a.jpg", small, "f", small, 1.0, "");
        row("fit drops the zoom", "c/a.jpg", tall, "+f", fitted, 1.0, "");
        // The inside of the viewport is 596 x 396 pixels, within a 2-pixel border.
        row("as wide as the inside", "c/a.jpg", {596, 100}, "", {596, 100}, 1.0, "");
        row("a pixel wider", "c/a.jpg", {597, 100}, "", {597, 100}, 1.0, "h");
        row("a pixel taller", "c/a.jpg", {50, 397}, "", {50, 397}, 1.0, "v");
        row("not under a bar", "c/a.jpg", {700, 395}, "", {700, 395}, 1.0, "hv");
    }
    void sizeBarsAndRouteFollowThePage()
    {
        QFETCH(QString, page);
        QFETCH(QSize, natural);
        QFETCH(QString, steps);
        QFETCH(QSize, shown);
        QFETCH(QString, bars);
        QImage pic(natural, QImage::Format_ARGB32);
        pic.fill(QColor(255, 0, 0, 0));
        QVERIFY(QDir(root).mkpath(page.section('/', 0, 0)) && pic.save(root + '/' + page, "PNG"));
        QVERIFY(pic.copy(0, 0, 10, 10).save(root + '/' + QString(page).replace("a.", "b."), "PNG"));
        WindowFixtures::openSeries(*w, root);
        const char *menu[] = {"mnuZoomIn", "mnuZoomOut", "mnuNoZoom", "mnuFitToWindow"};
        for (const QChar s : steps)
            c<QAction>(menu[QString("+-0f").indexOf(s)])->trigger();
        QCOMPARE(c("Image1")->size(), shown);
        QTEST(w->view().zoom, "zoom");
        // Enlarged when drawn, never in memory: a zoomed-in page holds its natural pixels.
        QCOMPARE(c<ImageControl>("Image1")->picture().size(), shown.boundedTo(natural));
        // A path with ".png" anywhere shows the PNG way: alpha dropped, else kept.
        const bool png = page.contains(".png", Qt::CaseInsensitive);
        QCOMPARE(std::pair(w->view().pngPage, c<ImageControl>("Image1")->picture().pixel(1, 1)),
                 std::pair(png, png ? qRgb(255, 0, 0) : 0u));
        const QSize over = shown - c<QFrame>("PicImage")->contentsRect().size();
        for (const char b : {'h', 'v'}) { // in twips, 15 a pixel
            const int max = bars.contains(b) ? 15 * (b == 'h' ? over.width() : over.height()) : 0;
            QCOMPARE(std::pair(bar(b)->isVisible(), bar(b)->maximum()), std::pair(max > 0, max));
            QVERIFY(!max || bar(b)->pageStep() == qRound(max * (b == 'h' ? 0.05 : 0.2)));
            QVERIFY(!max || b == 'h' || bar(b)->singleStep() == qRound(max * 0.05));
        }
        // The bars shown take their room from the viewport. A PNG page is measured on a surface
        // in the corner between them: none of it shows.
        QCOMPARE(c("PicImage")->size(), QSize(600 - bars.contains('v') * bar('v')->width(),
                                              400 - bars.contains('h') * bar('h')->height()));
        const QColor corner = w->centralWidget()->grab().toImage().pixelColor(bar('v')->x() + 2,
                                                                              bar('h')->y() + 2);
        QVERIFY(bars != "hv" || corner == Qt::darkBlue);
        // A new page opens at its top right; at Max each far edge meets the inside of the border.
        bar('v')->setValue(bar('v')->maximum());
        QCOMPARE(c("Image1")->pos(), -QPoint(bar('h')->maximum(), bar('v')->maximum()) / 15);
        // A page that fits hides both bars, gives their room back and empties their ranges.
        WindowFixtures::goToPage(*w, 2);
        QCOMPARE(QList({bar('h')->maximum(), bar('v')->maximum()}), QList({0, 0}));
        QCOMPARE(c("PicImage")->size(), QSize(600, 400));
    }
};

PAGORA_TEST_MAIN(TestDisplay)
#include "tst_display.moc"
