// The main window's controls, captions and menus at design size, and the
// layout pass that follows every change of the window's size.
#include "TestEnvironment.h"
#include "app/frmMain.h"
#include "platform/PictureControls.h"
#include "platform/Twips.h"

#include <QtTest>
#include <QtWidgets>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace {

// Counts the page redisplays the layout asks for, without showing any, and the close events.
class CountingMain : public frmMain {
public:
    int showPageCalls = 0, closeEvents = 0;
    void ShowPage(qint16 &) override { ++showPageCalls; }
    void closeEvent(QCloseEvent *event) override { ++closeEvents, frmMain::closeEvent(event); }
};

QRect twips(const QWidget *w) { return {Twips::left(w), Twips::top(w), Twips::width(w), Twips::height(w)}; }

// "name.side=value" with the value the control has now, in twips.
QString measured(const QWidget *window, const QString &expected)
{
    const QString what = expected.section(u'=', 0, 0), side = what.section(u'.', 1);
    const QWidget *w = window->findChild<QWidget *>(what.section(u'.', 0, 0));
    const QRect g = w ? twips(w) : QRect(-1, -1, -1, -1);
    const int value = side == u"left"_s ? g.left() : side == u"top"_s ? g.top() : side == u"width"_s ? g.width() : g.height();
    return what + u'=' + QString::number(value);
}

// Resizes the window by whole twips and waits until the layout has seen it.
void resizeBy(frmMain &w, int dWTwips, int dHTwips)
{
    const QSize target(w.width() + Twips::toPixels(dWTwips), w.height() + Twips::toPixels(dHTwips));
    w.resize(target);
    QTRY_COMPARE(w.LastWidth, Twips::fromPixels(target.width()));
    QTRY_COMPARE(w.LastHeight, Twips::fromPixels(target.height()));
}

} // namespace

class TestLayout : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CountingMain> window;

    CountingMain &shownWindow()
    {
        window = std::make_unique<CountingMain>();
        window->StartupDone = true; // the design state, before any start-up
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qFatal("window not exposed");
        return *window;
    }

private slots:
    void cleanup() { window.reset(); }

    void designQRectThenSixHundredTwipsWider_data()
    {
        QTest::addColumn<QRect>("design");
        QTest::addColumn<QRect>("wider");
        // The right-hand controls move by the whole change, the two boxes share it.
        const auto row = [](const char *name, QRect design, QRect wider) { QTest::newRow(name) << design << wider; };
        row("Picture2", {8100, 6780, 435, 375}, {8100, 6780, 435, 375});
        row("PicImage", {60, 900, 8040, 5955}, {60, 900, 8640, 5955});
        row("Image1", {0, 0, 8040, 5955}, {0, 0, 8640, 5955});
        row("Image2", {7620, 60, 375, 495}, {7620, 60, 375, 495});
        row("Picture1", {60, 60, 8295, 795}, {60, 60, 8895, 795});
        row("cboPagoraDir", {120, 360, 3495, 315}, {120, 360, 3795, 315});
        row("cmdBrowse", {2880, 60, 735, 255}, {3180, 60, 735, 255});
        row("cmdNavigate(0)", {6420, 270, 435, 375}, {7020, 270, 435, 375});
        row("cmdNavigate(1)", {6840, 270, 435, 375}, {7440, 270, 435, 375});
        row("cmdNavigate(2)", {7260, 270, 435, 375}, {7860, 270, 435, 375});
        row("cmdNavigate(3)", {7680, 270, 435, 375}, {8280, 270, 435, 375});
        row("cboChapters", {3720, 360, 2595, 315}, {4020, 360, 2895, 315});
        row("chkFitToWindow", {4980, 60, 1335, 195}, {5580, 60, 1335, 195});
        row("Label1", {120, 120, 1875, 195}, {120, 120, 1875, 195});
        row("Label2", {3720, 180, 675, 195}, {4020, 180, 675, 195});
        row("lblPage", {6420, 60, 1515, 195}, {7020, 60, 1515, 195});
        row("hsImage", {60, 6855, 8055, 255}, {60, 6855, 8655, 255});
        row("vsImage", {8100, 900, 255, 5955}, {8700, 900, 255, 5955});
    }
    void designQRectThenSixHundredTwipsWider()
    {
        QFETCH(QRect, design);
        QFETCH(QRect, wider);
        CountingMain &w = shownWindow();
        const QWidget *control = w.findChild<QWidget *>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(control);
        QCOMPARE(w.centralWidget()->size(), QSize(562, 477));
        QCOMPARE(twips(control), design);
        resizeBy(w, 600, 0);
        QCOMPARE(twips(control), wider);
    }

    void designCaptionsFontsAndColours()
    {
        CountingMain &w = shownWindow();
        QStringList captions{w.windowTitle(), w.lblPage->text(), w.chkFitToWindow->text(), w.Label1->text(), w.Label2->text()};
        for (QPushButton *b : {w.cmdNavigate[0], w.cmdNavigate[1], w.cmdNavigate[2], w.cmdNavigate[3], w.cmdBrowse})
            captions << b->text() + ' ' + b->toolTip() + (b->font().bold() ? " bold " : " ") + QString::number(b->font().pointSizeF());
        QCOMPARE(captions, QStringList({"Pagora Viewer", "", "&Fit To Window", "Pagora Chapters Folder", "Chapters",
                                        "<< Alt-Pgup bold 8.25", "< Ctrl-Pgup bold 8.25", "> Ctrl-Pgdn bold 8.25",
                                        ">> Alt-Pgdn bold 8.25", "Browse  8.25"}));
        QVERIFY(!w.windowIcon().isNull() && w.Image1->stretch() && !w.Image2->isVisible());
        QVERIFY(w.cboPagoraDir->isEditable() && !w.cboChapters->isEditable() && !w.chkFitToWindow->isChecked());
        QCOMPARE(w.centralWidget()->grab().toImage().pixelColor(1, 1), QColor(0, 0, 128));
        QCOMPARE(w.PicImage->client()->palette().color(QPalette::Window), QColor(Qt::black));
        for (QScrollBar *bar : {w.hsImage, w.vsImage})
            QCOMPARE(QList<int>({bar->minimum(), bar->maximum(), bar->hasTracking()}), QList<int>({0, 32767, 0}));
        QCOMPARE(std::pair(w.ZoomFactor, int(w.PageIndex)), std::pair(1.0, 0));
    }

    void tabOrderRunsAsDesigned()
    {
        CountingMain &w = shownWindow();
        const QList<QWidget *> order = {w.vsImage, w.hsImage, w.Picture1, w.chkFitToWindow, w.cboChapters,
                                        w.cmdNavigate[3], w.cmdNavigate[2], w.cmdNavigate[1], w.cmdNavigate[0],
                                        w.cmdBrowse, w.PicImage, w.cboPagoraDir};
        order.first()->setFocus();
        for (qsizetype i = 1; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QVERIFY2(order[i]->isAncestorOf(QApplication::focusWidget()), qPrintable(QString::number(i) + u' ' + QApplication::focusWidget()->objectName()));
        }
    }

    void menuBarAndPopupCaptions()
    {
        CountingMain &w = shownWindow();
        // Title, then each entry as name=caption; a separator line and any
        // entry not plainly enabled are marked.
        const auto entries = [](const QMenu *menu) {
            QStringList list{menu->title()};
            for (QAction *a : menu->actions())
                list << a->objectName() + '=' + a->text() + (a->isSeparator() ? "(separator)" : "")
                            + (a->isEnabled() && !a->isChecked() && a->shortcut().isEmpty() ? "" : " (state)");
            return list;
        };
        QCOMPARE(w.menuBar()->actions(),
                 (QList<QAction *>{w.mnuFile->menuAction(), w.mnuView->menuAction(), w.mnuHelp->menuAction()}));
        QCOMPARE(entries(w.mnuFile) + entries(w.mnuView) + entries(w.mnuHelp),
                 (QStringList{"&File", "mnuExit=E&xit", "&View", "mnuFitToWindow=&Fit To Window", "mnuViewBar1=(separator)",
                              "mnuZoomIn=&Zoom In", "mnuZoomOut=Zoom &Out", "mnuNoZoom=&No Zoom", "&Help",
                              "mnuHelpBasic=&Basic Instructions...", "mnuHelpBar1=(separator)", "mnuHelpAbout=&About..."}));
        QCOMPARE(entries(w.RCMenu),
                 (QStringList{"RCMenu", "rcmnuNextPage=Next Page" + QString(17, ' ') + "(Ctrl-PgDn)",
                              "rcmnuPreviousPage=Previous Page" + QString(11, ' ') + "(Ctrl-PgUp)", "rcmnuBar1=(separator)",
                              "rcmnuNextChapter=Next Chapter" + QString(12, ' ') + "(Alt-PgDn)",
                              "rcmnuPreviousChapter=Previous Chapter" + QString(6, ' ') + "(Alt-PgUp)", "rcmnuBar2=(separator)",
                              "rcmnuZoomIn=Zoom In" + QString(21, ' ') + "(Z)",
                              "rcmnuZoomOut=Zoom Out" + QString(18, ' ') + "(Shift-Z)",
                              "rcmnuNoZoom=No Zoom", "rcmnuFitToWindow=Fit To Window"}));
    }

    void resizeMovesAndStretchesOnlyWhatItShould_data()
    {
        QTest::addColumn<QList<QPoint>>("steps"); // in twips
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, QList<QPoint> steps, const char *expected) {
            QTest::newRow(name) << steps << QString::fromLatin1(expected);
        };
        row("taller", {{0, 450}}, "hsImage.top=7305 vsImage.height=6405 PicImage.height=6405 Image1.height=6405 "
                                  "Picture1.height=795 cboChapters.top=360");
        row("then shorter", {{0, 450}, {0, -900}}, "hsImage.top=6405 PicImage.height=5505 vsImage.top=900 "
                                                   "cmdNavigate(3).top=270 Label1.top=120 hsImage.height=255");
        // Narrower than at load: the panel is as designed, the viewport follows the full change.
        row("narrower than at load", {{600, 0}, {-900, 0}},
            "Picture1.width=8295 cboPagoraDir.width=3495 cmdBrowse.left=2880 cboChapters.left=3720 cboChapters.width=2595 "
            "chkFitToWindow.left=4980 cmdNavigate(0).left=6420 PicImage.width=7740 hsImage.width=7755 vsImage.left=7800");
        // Back above the load width, the panel has its load geometry plus what the window is wider than at load.
        row("then wider than at load", {{600, 0}, {-900, 0}, {600, 0}},
            "Picture1.width=8595 cboChapters.left=3870 cboChapters.width=2745 cboPagoraDir.width=3645 "
            "cmdNavigate(0).left=6720 chkFitToWindow.left=5280 PicImage.width=8340");
        row("far narrower, then back to the load width", {{-3930, 0}, {3930, 0}},
            "Picture1.width=8295 cboChapters.left=3720 cboChapters.width=2595 cboPagoraDir.width=3495 "
            "cmdBrowse.left=2880 chkFitToWindow.left=4980 cmdNavigate(0).left=6420 cmdNavigate(3).left=7680 "
            "lblPage.left=6420 PicImage.width=8040");
        // Each half is 7.5 twips, rounded to whole pixels half to even (248.5 px -> 248; 173.5 -> 174).
        row("one pixel wider", {{15, 0}},
            "cboChapters.left=3720 cboChapters.width=2610 cboPagoraDir.width=3510 cmdNavigate(0).left=6435");
        row("a pixel at a time", {{15, 0}, {15, 0}},
            "cboChapters.left=3735 cboChapters.width=2610 cboPagoraDir.width=3510 cmdNavigate(0).left=6450");
        // The widths that would turn negative stay as they were, every other step still runs.
        row("narrower than the viewport", {{-8100, 0}}, "hsImage.width=8055 vsImage.left=0 PicImage.width=8040 "
                                                        "Image1.width=8040 Picture1.width=8295 lblPage.left=6420");
    }
    void resizeMovesAndStretchesOnlyWhatItShould()
    {
        QFETCH(QList<QPoint>, steps);
        QFETCH(QString, expected);
        CountingMain &w = shownWindow();
        w.setMinimumSize(1, 1);
        for (const QPoint &step : steps)
            resizeBy(w, step.x(), step.y());
        QStringList actual;
        for (const QString &e : expected.split(u' '))
            actual << measured(&w, e);
        QCOMPARE(actual.join(u' '), expected);
    }

    void resizeRedisplaysAnOpenPageFromTheCorner()
    {
        CountingMain &w = shownWindow();
        const auto state = [&w] {
            return std::tuple(w.showPageCalls, w.hsImage->value(), w.vsImage->value(), twips(w.Image1).topLeft());
        };
        w.hsImage->setRange(0, 4000);
        w.vsImage->setRange(0, 4000);
        w.hsImage->setValue(1500);
        w.vsImage->setValue(3000);
        QCOMPARE(state(), std::tuple(0, 1500, 3000, QPoint(-1500, -3000)));
        resizeBy(w, 300, 300); // back to the corner, but no page is open at PageIndex 0
        QCOMPARE(state(), std::tuple(0, 0, 0, QPoint(0, 0)));
        w.PageIndex = 2;
        w.PageCount = 3;
        resizeBy(w, -150, 0);
        QCOMPARE(w.showPageCalls, 1);
        w.PageIndex = -1;
        resizeBy(w, 0, 150);
        QCOMPARE(w.showPageCalls, 1);
    }

    void minimiseThenRestoreRedisplaysOnce()
    {
        CountingMain &w = shownWindow();
        w.PageIndex = 1;
        w.PageCount = 1;
        w.vsImage->setValue(2000);
        const QRect before = twips(w.PicImage);
        w.showMinimized();
        QTRY_VERIFY(w.isMinimized());
        QCOMPARE(QList<int>({w.showPageCalls, w.vsImage->value()}), QList<int>({0, 2000}));
        w.showNormal();
        QTRY_COMPARE(w.showPageCalls, 1);
        QCOMPARE(std::pair(w.vsImage->value(), twips(w.PicImage)), std::pair(0, before));
    }

    void runFolderIsPrivateAndGoesWithTheWindow()
    {
        QString folder;
        {
            frmMain w;
            folder = w.AppFolder;
            QVERIFY(folder.startsWith(TestEnvironment::root() + QStringLiteral("/tmp/")) && folder.endsWith(u'/'));
            const std::filesystem::path path(QFile::encodeName(folder).toStdString());
            QVERIFY(std::filesystem::is_directory(path));
            QCOMPARE(int(std::filesystem::status(path).permissions()), 0700);
            QVERIFY(frmMain().AppFolder != folder);
        }
        QVERIFY(!QFileInfo::exists(folder));
    }

    void exitClosesThroughTheCloseEvent()
    {
        CountingMain &w = shownWindow();
        w.mnuExit->trigger();
        QCOMPARE(std::pair(w.closeEvents, w.isVisible()), std::pair(1, false));
    }
};

PAGORA_TEST_MAIN(TestLayout)
#include "tst_layout.moc"
