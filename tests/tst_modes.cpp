// Reading modes: the sizing of a page or spread in each fit mode, and Two Pages and Right To Left
// in the window: which page lies on which side, the caption and buttons, the page saved, and the
// modes remembered for one folder and not for another.
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "imaging/PageSizing.h"
#include "imaging/SpreadPicture.h"
#include "platform/PictureControls.h"
#include "settings/SettingsStore.h"

#include <QtTest>
#include <QtWidgets>

using namespace SeriesFixtures;
using PageSizing::Fit;

class TestModes : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> w;
    template <class T = QWidget> T *c(const char *n) { return WindowFixtures::control<T>(*w, n); }

    // The caption, the four buttons' states, and the colours at the picture's left and right.
    QString shown()
    {
        QString text = c<QLabel>("lblPage")->text() + ' ' + WindowFixtures::pageButtons(*w);
        const QImage picture = c("Image1")->grab().toImage();
        for (const int x : {2, picture.width() - 3})
            text += ' ' + QColor(picture.pixel(x, picture.height() / 2)).name();
        return text;
    }
    QString storedModes(const QString &folder)
    {
        return SettingsStore().read(SettingsStore::ReadingModesSection, folder, "none");
    }
    void start(bool firstRun) // with a viewport of 600 x 400 pixels
    {
        w = firstRun ? WindowFixtures::firstRunWindow() : WindowFixtures::startedWindow();
        w->resize(w->size() + QSize(600, 400) - c("PicImage")->size());
    }

private slots:
    void cleanup() { w.reset(); }

    // Viewport 9000 x 6000 twips, a 60-twip frame, bars 255 twips thick. A spread is sized as one
    // picture: two 1600 x 2400 pages side by side are 48000 x 36000 twips.
    void sizingInEachFitMode_data()
    {
        QTest::addColumn<int>("fit");
        QTest::addColumn<QSize>("natural");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QSize>("shown");
        QTest::addColumn<QString>("bars");
        const auto row = [](const char *tag, Fit fit, QSize natural, double zoom, QSize shown,
                            const char *bars) {
            QTest::newRow(tag) << int(fit) << natural << zoom << shown << QString(bars);
        };
        const QSize spread = SpreadPicture::naturalSize({24000, 36000}, {24000, 36000});
        row("none: zoomed", Fit::None, {3000, 2000}, 1.5, {4500, 3000}, "");
        row("none: wider than the inside", Fit::None, {9000, 3000}, 1, {9000, 3000}, "h");
        row("width: tall page, room for the bar", Fit::Width, {12000, 18000}, 2, {8685, 13028},
            "v");
        row("width: narrow tall page", Fit::Width, {8800, 20000}, 1, {8685, 19739}, "v");
        row("width: spread", Fit::Width, spread, 1, {8685, 6514}, "v");
        row("width: wide spread fits", Fit::Width, {48000, 12000}, 1, {8940, 2235}, "");
        row("width: small page kept", Fit::Width, {3000, 4500}, 1, {3000, 4500}, "");
        row("height: tall page", Fit::Height, {12000, 18000}, 1, {3960, 5940}, "");
        row("height: wide, room for the bar", Fit::Height, {60000, 9000}, 0.5, {37900, 5685}, "h");
        row("height: spread", Fit::Height, spread, 1, {7920, 5940}, "");
        row("height: small page kept", Fit::Height, {3000, 2000}, 1, {3000, 2000}, "");
    }
    void sizingInEachFitMode()
    {
        QFETCH(int, fit);
        QFETCH(QSize, natural);
        QFETCH(double, zoom);
        const PageSizing::Viewport view{9000, 6000, 60, 60, 255, 255};
        const PageSizing::Size size = PageSizing::shown(natural.width(), natural.height(), zoom,
                                                        Fit(fit), view);
        const PageSizing::Bars bars = PageSizing::barsFor(size, Fit(fit), view);
        QTEST(QSize(size.width, size.height), "shown");
        QTEST(QString(bars.horizontal ? "h" : "") + (bars.vertical ? "v" : ""), "bars");
    }

    // One series read in Two Pages, both ways, with a second series beside it; then a restart.
    void twoPagesInTheWindow()
    {
        const QString manga = TestEnvironment::freshFolder("manga") + '/';
        const QString other = TestEnvironment::freshFolder("other") + '/';
        // The cover; 2-3 a pair (3 a smaller page, raised to 2's height); 4 wide; 5-6; 7 alone.
        const QList<std::pair<QSize, QColor>> pages = {
            {{100, 150}, Qt::red},    {{100, 150}, Qt::green}, {{50, 75}, Qt::blue},
            {{200, 100}, Qt::yellow}, {{100, 150}, Qt::cyan},  {{100, 150}, Qt::magenta},
            {{100, 150}, Qt::gray}};
        for (int i = 0; i < pages.size(); ++i)
            writePage(manga + QString("c/p%1.png").arg(i + 1), pages[i].first, pages[i].second);
        makeFolderChapter(other, "c", {"1.png", "2.png", "3.png"});
        for (const char *page : {"d/p1.jpg", "d/p2.jpg", "d/p3.jpg"})
            writePage(manga + page, {1000, 3000});
        start(true);
        WindowFixtures::openSeries(*w, manga, "c");
        WindowFixtures::goToPage(*w, 3);

        const auto step = [this](const QString &command) {
            WindowFixtures::command(*w, command);
            return shown() + ' ' + QString::number(w->view().page) + ' '
                   + SettingsStore().read(SettingsStore::GeneralSection, "LastPage", "-");
        };
        QCOMPARE(storedModes(manga), "none");
        for (const QString line : {"mnuTwoPages: Pages 2-3 of 7 1111 #00ff00 #0000ff 2 2",
                                   "Space: Page 4 of 7 1111 #ffff00 #ffff00 4 4",
                                   "Backspace: Pages 2-3 of 7 1111 #00ff00 #0000ff 2 2",
                                   "mnuRightToLeft: Pages 2-3 of 7 1111 #0000ff #00ff00 2 2",
                                   "cmdNavigate(2): Page 4 of 7 1111 #ffff00 #ffff00 4 4",
                                   "Ctrl+PgDown: Pages 5-6 of 7 1111 #ff00ff #00ffff 5 5",
                                   "cmdNavigate(1): Page 4 of 7 1111 #ffff00 #ffff00 4 4",
                                   "rcmnuNextPage: Pages 5-6 of 7 1111 #ff00ff #00ffff 5 5",
                                   "cmdNavigate(3): Page 7 of 7 1100 #a0a0a4 #a0a0a4 7 7",
                                   "cmdNavigate(1): Pages 5-6 of 7 1111 #ff00ff #00ffff 5 5",
                                   "cmdNavigate(0): Page 1 of 7 0011 #ff0000 #ff0000 1 1",
                                   "rcmnuNextPage: Pages 2-3 of 7 1111 #0000ff #00ff00 2 2",
                                   "mnuRightToLeft: Pages 2-3 of 7 1111 #00ff00 #0000ff 2 2",
                                   "mnuRightToLeft: Pages 2-3 of 7 1111 #0000ff #00ff00 2 2",
                                   "mnuTwoPages: Page 2 of 7 1111 #00ff00 #00ff00 2 2",
                                   "cmdNavigate(2): Page 3 of 7 1111 #0000ff #0000ff 3 3",
                                   "mnuTwoPages: Pages 2-3 of 7 1111 #0000ff #00ff00 2 2"})
            QCOMPARE(line.section(": ", 0, 0) + ": " + step(line.section(": ", 0, 0)), line);
        QCOMPARE(storedModes(manga), "TwoPages RightToLeft");

        // Fit Width over a spread of two tall pages: as wide as the inside less the bar.
        WindowFixtures::openSeries(*w, manga, "d");
        c<QAction>("mnuFitWidth")->trigger(); // on the cover, shown again at once
        QCOMPARE(c("Image1")->width(), c("PicImage")->contentsRect().width());
        c<QAction>("rcmnuNextPage")->trigger();
        QCOMPARE(c<QLabel>("lblPage")->text(), "Pages 2-3 of 3");
        QCOMPARE(
            std::tuple(c("vsImage")->isVisible(), c("hsImage")->isVisible(), c("Image1")->width()),
            std::tuple(true, false, c("PicImage")->contentsRect().width()));
        QVERIFY(c("Image1")->height() > c("PicImage")->height());

        // The fit modes exclude each other, by the box or the menus; choosing the one on turns
        // it off; the zoom keys do nothing in any of them.
        for (const QString line :
             {": 0010 - 1", "mnuFitHeight: 0001 - 1", "chkFitToWindow: 1100 box 1",
              "mnuFitWidth: 0010 - 1", "mnuFitWidth: 0000 - 0.8"}) {
            if (!line.startsWith(':'))
                WindowFixtures::command(*w, line.section(':', 0, 0));
            QString on = line.section(':', 0, 0) + ": ";
            for (const char *mark :
                 {"mnuFitToWindow", "rcmnuFitToWindow", "mnuFitWidth", "mnuFitHeight"})
                on += c<QAction>(mark)->isChecked() ? '1' : '0';
            WindowFixtures::command(*w, "Shift+Z");
            QCOMPARE(on + (c<QCheckBox>("chkFitToWindow")->isChecked() ? " box " : " - ")
                         + QString::number(w->view().zoom),
                     line);
        }

        // Another folder reads with the modes off and stores nothing; the first gets its back.
        WindowFixtures::openSeries(*w, other);
        QCOMPARE(std::pair(c<QAction>("mnuTwoPages")->isChecked(), storedModes(other)),
                 std::pair(false, QString("none")));
        QCOMPARE(c<QLabel>("lblPage")->text(), "Page 1 of 3");
        WindowFixtures::openSeries(*w, manga, "c");
        QVERIFY(c<QAction>("mnuTwoPages")->isChecked()
                && c<QAction>("mnuRightToLeft")->isChecked());
        WindowFixtures::command(*w, "cmdNavigate(3)"),
            WindowFixtures::command(*w, "cmdNavigate(1)");
        QCOMPARE(w->view().page, 5);

        // A restart lands in the spread of the page saved, in its modes.
        SettingsStore().write(SettingsStore::GeneralSection, "LastPage", "6");
        SettingsStore().sync();
        w.reset();
        start(false);
        QCOMPARE(shown(), "Pages 5-6 of 7 1111 #ff00ff #00ffff");
    }
};

PAGORA_TEST_MAIN(TestModes)
#include "tst_modes.moc"
