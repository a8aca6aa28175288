// Where the controls go for a size of the window, and the window applying it.
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "app/WindowLayout.h"
#include "platform/Twips.h"

#include <QtTest>
#include <QtWidgets>

using WindowFixtures::control;

// The window at load, 8430 x 7155 twips, and its controls as designed.
static const WindowLayout::Design design{8430,
                                         7155,
                                         {60, 900},
                                         {60, 6855, 8055, 255},
                                         {8100, 900, 255, 5955},
                                         {60, 60, 8295, 795},
                                         {120, 360, 3495, 315},
                                         {2880, 60, 735, 255},
                                         {3720, 360, 2595, 315},
                                         {3720, 180, 675, 195},
                                         {4950, 60, 1335, 195},
                                         {6420, 270, 435, 375},
                                         {6420, 60, 1515, 195}};

class TestLayout : public QObject {
    Q_OBJECT

private slots:
    void arrange_data()
    {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<bool>("barsShown"); // both or neither
        // Viewport width, height; bottom bar top, width; side bar left, height. Panel, folder
        // list width; chapter list left, width; lefts of: browse, chapters label, fit box, page
        // buttons 0, 1, 3, page label.
        QTest::addColumn<QList<int>>("layout");
        const auto row = [](const char *n, QSize s, bool b, QList<int> l) {
            QTest::newRow(n) << s << b << l;
        };
        const QList<int> asLoaded{8295, 3495, 3720, 2595, 2880, 3720, 4980, 6420, 6840, 7680, 6420};
        row("at load", {8430, 7155}, true, QList{8040, 5955, 6855, 8055, 8100, 5955} + asLoaded);
        row("wider and taller", {9030, 7605}, true,
            {8640, 6405, 7305, 8655, 8700, 6405, 8895, 3795, 4020, 2895, 3180, 4020, 5580, 7020,
             7440, 8280, 7020});
        // Half a pixel to each list, rounded half to even: 248.5 px -> 248, 173.5 -> 174.
        row("a pixel wider", {8445, 7155}, true,
            {8055, 5955, 6855, 8070, 8115, 5955, 8310, 3510, 3720, 2610, 2895, 3720, 4995, 6435,
             6855, 7695, 6435});
        row("very small: sizes the window refuses", {330, 1155}, true,
            QList{-60, -45, 855, -45, 0, -45} + asLoaded);
        row("no bars", {8430, 7155}, false, QList{8295, 6210, 6855, 8310, 8100, 6210} + asLoaded);
    }
    void arrange()
    {
        QFETCH(QSize, window);
        QFETCH(bool, barsShown);
        const auto l = WindowLayout::arrange(design, window.width(), window.height(),
                                             {barsShown, barsShown});
        QTEST((QList{l.viewport.width(), l.viewport.height(), l.horizontalBar.top(),
                     l.horizontalBar.width(), l.verticalBar.left(), l.verticalBar.height(),
                     l.panel.width(), l.folderList.width(), l.chapterList.left(),
                     l.chapterList.width(), l.browse.left(), l.chapterLabel.left(),
                     l.fitToWindow.left(), l.pageButtons[0].left(), l.pageButtons[1].left(),
                     l.pageButtons[3].left(), l.pageLabel.left()}),
              "layout");
    }

    // Narrower and back a pixel at a time, minimised and restored: the controls end where the
    // layout puts them and the open page shows again from its top right corner.
    void resizingAppliesTheLayoutAndRedisplays()
    {
        const QString series = TestEnvironment::freshFolder(QStringLiteral("series"));
        SeriesFixtures::makeFolderChapter(series, "Ch1", {"a.jpg"}, QSize(600, 900));
        const auto w = WindowFixtures::firstRunWindow();
        WindowFixtures::openSeries(*w, series);
        auto *hs = control<QScrollBar>(*w, "hsImage"), *vs = control<QScrollBar>(*w, "vsImage");
        const QSize load = w->size();
        for (int dw : {-40, -39, -20, 0, 1}) {
            w->resize(load + QSize(dw, dw / 2));
            QTRY_COMPARE(Twips::left(vs), 8100 + Twips::fromPixels(dw));
        }
        w->showMinimized();
        QTRY_VERIFY(w->isMinimized());
        hs->setValue(0), vs->setValue(40);
        w->showNormal();
        QTRY_COMPARE(std::pair(hs->value(), vs->value()), std::pair(hs->maximum(), 0));
        // Where the "a pixel wider" row puts them, in pixels.
        const auto at = [&w](const char *n) { return control<QWidget>(*w, n)->geometry(); };
        QCOMPARE(
            (QList{at("PicImage"), at("hsImage"), at("vsImage"), at("cboChapters")}),
            (QList<QRect>{
                {4, 60, 537, 397}, {4, 457, 538, 17}, {541, 60, 17, 397}, {248, 24, 174, 21}}));
        QCOMPARE(at("Image1").size(), QSize(600, 900)); // the page's natural size
    }
};

PAGORA_TEST_MAIN(TestLayout)
#include "tst_layout.moc"
