// The main window's controls, captions and menus at design size, and the
// layout pass that follows every change of the window's size.
#include "TestEnvironment.h"
#include "app/frmMain.h"
#include "platform/PictureControls.h"
#include "platform/Twips.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// Counts the page redisplays the layout asks for, without showing any.
class CountingMain : public frmMain {
public:
    int showPageCalls = 0;
    void ShowPage(qint16 &) override { ++showPageCalls; }
};

struct Geometry {
    qint32 left, top, width, height;
    bool operator==(const Geometry &) const = default;
};

char *toString(const Geometry &g)
{
    return QTest::toString(QStringLiteral("(%1, %2, %3, %4)").arg(g.left).arg(g.top).arg(g.width).arg(g.height));
}

QList<Geometry> geometries(std::initializer_list<const QWidget *> widgets)
{
    QList<Geometry> list;
    for (const QWidget *w : widgets)
        list.append({Twips::left(w), Twips::top(w), Twips::width(w), Twips::height(w)});
    return list;
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

    void designGeometryAfterFirstPass_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Geometry>("expected");
        const auto row = [](const char *name, Geometry g) { QTest::newRow(name) << QString::fromLatin1(name) << g; };
        row("Picture2", {8100, 6780, 435, 375});
        row("PicImage", {60, 900, 8040, 5955});
        row("Image1", {0, 0, 8040, 5955});
        row("Image2", {7620, 60, 375, 495});
        row("Picture1", {60, 60, 8295, 795});
        row("cboPagoraDir", {120, 360, 3495, 315});
        row("cmdBrowse", {2880, 60, 735, 255});
        row("cmdNavigate(0)", {6420, 270, 435, 375});
        row("cmdNavigate(1)", {6840, 270, 435, 375});
        row("cmdNavigate(2)", {7260, 270, 435, 375});
        row("cmdNavigate(3)", {7680, 270, 435, 375});
        row("cboChapters", {3720, 360, 2595, 315});
        row("chkFitToWindow", {4980, 60, 1335, 195});
        row("Label1", {120, 120, 1875, 195});
        row("Label2", {3720, 180, 675, 195});
        row("lblPage", {6420, 60, 1515, 195});
        row("hsImage", {60, 6855, 8055, 255});
        row("vsImage", {8100, 900, 255, 5955});
    }
    void designGeometryAfterFirstPass()
    {
        QFETCH(QString, name);
        QFETCH(Geometry, expected);
        CountingMain &w = shownWindow();
        const QWidget *control = w.findChild<QWidget *>(name);
        QVERIFY(control);
        QCOMPARE(geometries({control}).first(), expected);
        QCOMPARE(w.centralWidget()->size(), QSize(562, 477));
        QCOMPARE(w.showPageCalls, 0);
    }

    void designCaptionsFontsAndColours()
    {
        CountingMain &w = shownWindow();
        QCOMPARE(QStringList({w.windowTitle(), w.lblPage->text(), w.cmdBrowse->text(), w.chkFitToWindow->text(),
                              w.Label1->text(), w.Label2->text()}),
                 QStringList({"Pagora Viewer", "", "Browse", "&Fit To Window", "Pagora Chapters Folder", "Chapters"}));
        QStringList navigation;
        for (QPushButton *b : w.cmdNavigate) {
            navigation << b->text() + ' ' + b->toolTip();
            QVERIFY(b->font().bold());
            QCOMPARE(b->font().pointSizeF(), 8.25);
        }
        QCOMPARE(navigation, QStringList({"<< Alt-Pgup", "< Ctrl-Pgup", "> Ctrl-Pgdn", ">> Alt-Pgdn"}));
        QVERIFY(!w.cmdBrowse->font().bold());
        QVERIFY(!w.windowIcon().isNull());
        QCOMPARE(w.chkFitToWindow->checkState(), Qt::Unchecked);
        QVERIFY(w.cboPagoraDir->isEditable() && !w.cboChapters->isEditable());
        QCOMPARE(w.centralWidget()->grab().toImage().pixelColor(1, 1), QColor(0, 0, 128));
        QCOMPARE(w.PicImage->client()->palette().color(QPalette::Window), QColor(Qt::black));
        QVERIFY(w.Image1->stretch() && !w.Image2->isVisible());
        for (QScrollBar *bar : {w.hsImage, w.vsImage}) {
            QCOMPARE(QPoint(bar->minimum(), bar->maximum()), QPoint(0, 32767));
            QVERIFY(!bar->hasTracking());
        }
        QCOMPARE(w.ZoomFactor, 1.0);
        QCOMPARE(w.PageIndex, qint16(0));
    }

    void tabOrderRunsAsDesigned()
    {
        CountingMain &w = shownWindow();
        const QList<QWidget *> order = {w.vsImage, w.hsImage, w.Picture1, w.chkFitToWindow, w.cboChapters,
                                        w.cmdNavigate[3], w.cmdNavigate[2], w.cmdNavigate[1], w.cmdNavigate[0],
                                        w.cmdBrowse, w.PicImage, w.Picture2, w.cboPagoraDir};
        order.first()->setFocus();
        for (qsizetype i = 1; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *focus = QApplication::focusWidget();
            QVERIFY2(focus == order[i] || order[i]->isAncestorOf(focus), qPrintable(QString::number(i)));
        }
    }

    void menuBarAndPopupCaptions()
    {
        CountingMain &w = shownWindow();
        const auto entries = [](const QList<QAction *> &actions) {
            QStringList list;
            for (QAction *a : actions)
                list << a->objectName() + QLatin1Char('=') + a->text();
            return list;
        };
        const QList<QAction *> bar = w.menuBar()->actions();
        QCOMPARE(bar, (QList<QAction *>{w.mnuFile->menuAction(), w.mnuView->menuAction(), w.mnuHelp->menuAction()}));
        QCOMPARE(QStringList({bar[0]->text(), bar[1]->text(), bar[2]->text()}), QStringList({"&File", "&View", "&Help"}));
        QCOMPARE(entries(w.mnuFile->actions()), QStringList{"mnuExit=E&xit"});
        QCOMPARE(entries(w.mnuView->actions()), (QStringList{"mnuFitToWindow=&Fit To Window", "mnuViewBar1=-",
                                                             "mnuZoomIn=&Zoom In", "mnuZoomOut=Zoom &Out", "mnuNoZoom=&No Zoom"}));
        QCOMPARE(entries(w.mnuHelp->actions()),
                 (QStringList{"mnuHelpBasic=&Basic Instructions...", "mnuHelpBar1=-", "mnuHelpAbout=&About..."}));
        QCOMPARE(entries(w.RCMenu->actions()),
                 (QStringList{"rcmnuNextPage=Next Page" + QString(17, ' ') + "(Ctrl-PgDn)",
                              "rcmnuPreviousPage=Previous Page" + QString(11, ' ') + "(Ctrl-PgUp)", "rcmnuBar1=-",
                              "rcmnuNextChapter=Next Chapter" + QString(12, ' ') + "(Alt-PgDn)",
                              "rcmnuPreviousChapter=Previous Chapter" + QString(6, ' ') + "(Alt-PgUp)", "rcmnuBar2=-",
                              "rcmnuZoomIn=Zoom In" + QString(21, ' ') + "(Z)",
                              "rcmnuZoomOut=Zoom Out" + QString(18, ' ') + "(Shift-Z)",
                              "rcmnuNoZoom=No Zoom", "rcmnuFitToWindow=Fit To Window"}));
        QCOMPARE(w.RCMenu->title(), QStringLiteral("RCMenu"));
        QVERIFY(!w.RCMenu->isVisible());
        for (QMenu *menu : {w.mnuFile, w.mnuView, w.mnuHelp, w.RCMenu})
            for (QAction *a : menu->actions())
                QVERIFY(a->isEnabled() && !a->isChecked() && a->shortcut().isEmpty());
    }

    void widerWindowMovesTheRightSideAndSharesTheRest()
    {
        CountingMain &w = shownWindow();
        resizeBy(w, 600, 0);
        QCOMPARE(geometries({w.hsImage, w.vsImage, w.PicImage, w.Image1, w.Picture1, w.Picture2}),
                 (QList<Geometry>{{60, 6855, 8655, 255}, {8700, 900, 255, 5955}, {60, 900, 8640, 5955},
                                  {0, 0, 8640, 5955}, {60, 60, 8895, 795}, {8100, 6780, 435, 375}}));
        QCOMPARE(geometries({w.Label1, w.cboPagoraDir, w.cmdBrowse, w.Label2, w.cboChapters, w.chkFitToWindow}),
                 (QList<Geometry>{{120, 120, 1875, 195}, {120, 360, 3795, 315}, {3180, 60, 735, 255},
                                  {4020, 180, 675, 195}, {4020, 360, 2895, 315}, {5580, 60, 1335, 195}}));
        QCOMPARE(geometries({w.lblPage, w.cmdNavigate[0], w.cmdNavigate[1], w.cmdNavigate[2], w.cmdNavigate[3]}),
                 (QList<Geometry>{{7020, 60, 1515, 195}, {7020, 270, 435, 375}, {7440, 270, 435, 375},
                                  {7860, 270, 435, 375}, {8280, 270, 435, 375}}));
        QCOMPARE(w.showPageCalls, 0);
    }

    void narrowerThanLoadWidthRestoresThePanelThenGrowsFromIt()
    {
        CountingMain &w = shownWindow();
        const auto panel = [&w] {
            return geometries({w.Picture1, w.cboPagoraDir, w.cmdBrowse, w.cboChapters, w.chkFitToWindow,
                               w.cmdNavigate[0], w.PicImage, w.hsImage, w.vsImage});
        };
        const QList<Geometry> design = panel();
        resizeBy(w, 600, 0);
        resizeBy(w, -900, 0); // 300 narrower than at load: the panel is as designed
        QList<Geometry> expected = design;
        expected[6].width -= 300; // the viewport keeps following the full change
        expected[7].width -= 300;
        expected[8].left -= 300;
        QCOMPARE(panel(), expected);

        resizeBy(w, 600, 0); // 300 wider than at load: the whole 600 is added
        QCOMPARE(QList<int>({Twips::width(w.Picture1), Twips::left(w.cboChapters), Twips::width(w.cboChapters),
                             Twips::width(w.cboPagoraDir), Twips::left(w.cmdNavigate[0]), Twips::width(w.PicImage)}),
                 QList<int>({8295 + 600, 3720 + 300, 2595 + 300, 3495 + 300, 6420 + 600, 8040 + 300}));
    }

    void heightChangesOnlyTheViewportAndScrollBars()
    {
        CountingMain &w = shownWindow();
        const auto fixed = [&w] { return geometries({w.Picture1, w.cboChapters, w.cmdNavigate[3], w.Label1}); };
        const QList<Geometry> before = fixed();
        resizeBy(w, 0, 450);
        QCOMPARE(geometries({w.hsImage, w.vsImage, w.PicImage, w.Image1}),
                 (QList<Geometry>{{60, 6855 + 450, 8055, 255}, {8100, 900, 255, 5955 + 450},
                                  {60, 900, 8040, 5955 + 450}, {0, 0, 8040, 5955 + 450}}));
        resizeBy(w, 0, -900);
        QCOMPARE(QList<int>({Twips::top(w.hsImage), Twips::height(w.PicImage)}), QList<int>({6855 - 450, 5955 - 450}));
        QCOMPARE(fixed(), before);
    }

    void oddWidthChangeSplitsToTheHalfTwip()
    {
        CountingMain &w = shownWindow();
        // One pixel wider: each half is 7.5 twips, rounded to whole pixels
        // half to even (3727.5 twips = 248.5 px -> 248; 2602.5 = 173.5 -> 174).
        resizeBy(w, 15, 0);
        QCOMPARE(QList<int>({Twips::left(w.cboChapters), Twips::width(w.cboChapters), Twips::width(w.cboPagoraDir),
                             Twips::left(w.cmdNavigate[0])}),
                 QList<int>({3720, 2610, 3510, 6435}));
    }

    void layoutRedisplaysOnlyAnOpenPage()
    {
        CountingMain &w = shownWindow();
        resizeBy(w, 300, 300);
        QCOMPARE(w.showPageCalls, 0);
        w.PageIndex = 2;
        w.PageCount = 3;
        resizeBy(w, -150, 0);
        QCOMPARE(w.showPageCalls, 1);
        w.PageIndex = -1;
        resizeBy(w, 0, 150);
        QCOMPARE(w.showPageCalls, 1);
    }

    void resizeReturnsThePageToTheCorner()
    {
        CountingMain &w = shownWindow();
        const auto scroll = [&w] {
            return QList<int>({w.hsImage->value(), w.vsImage->value(), Twips::left(w.Image1), Twips::top(w.Image1)});
        };
        w.hsImage->setRange(0, 4000);
        w.vsImage->setRange(0, 4000);
        w.hsImage->setValue(1500);
        w.vsImage->setValue(3000);
        QCOMPARE(scroll(), QList<int>({1500, 3000, -1500, -3000}));
        resizeBy(w, 0, 15);
        QCOMPARE(scroll(), QList<int>({0, 0, 0, 0}));
    }

    void minimiseThenRestoreRedisplaysOnce()
    {
        CountingMain &w = shownWindow();
        w.PageIndex = 1;
        w.PageCount = 1;
        w.vsImage->setValue(2000);
        const auto before = geometries({w.PicImage});
        w.showMinimized();
        QTRY_VERIFY(w.isMinimized());
        QCOMPARE(w.showPageCalls, 0);
        QCOMPARE(w.vsImage->value(), 2000);
        w.showNormal();
        QTRY_COMPARE(w.showPageCalls, 1);
        QCOMPARE(w.vsImage->value(), 0);
        QCOMPARE(geometries({w.PicImage}), before);
    }

    void tinyWindowSkipsOnlyTheRefusedSteps()
    {
        CountingMain &w = shownWindow();
        // Shrinking by more than the viewport's width: the widths that would
        // turn negative stay as they were, every other step still runs.
        w.setMinimumSize(1, 1);
        resizeBy(w, -8100, 0);
        QCOMPARE(QList<int>({Twips::width(w.hsImage), Twips::left(w.vsImage), Twips::width(w.PicImage),
                             Twips::width(w.Image1), Twips::width(w.Picture1), Twips::left(w.lblPage)}),
                 QList<int>({8055, 0, 8040, 8040, 8295, 6420}));
    }

    void runFolderIsPrivateAndGoesWithTheWindow()
    {
        QString folder;
        {
            frmMain w;
            folder = w.AppFolder;
            QVERIFY(folder.endsWith(QLatin1Char('/')));
            QVERIFY(folder.startsWith(TestEnvironment::root() + QStringLiteral("/tmp/")));
            const QFileInfo info(folder);
            QVERIFY(info.isDir());
            const auto owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
            const auto group = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup;
            const auto others = QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
            QCOMPARE(info.permissions() & (owner | group | others), owner);
            QVERIFY(frmMain().AppFolder != folder);
        }
        QVERIFY(!QFileInfo::exists(folder));
    }

    void exitClosesThroughTheCloseEvent()
    {
        CountingMain &w = shownWindow();
        struct CloseSpy : QObject {
            int count = 0;
            bool eventFilter(QObject *, QEvent *e) override { return count += e->type() == QEvent::Close, false; }
        } spy;
        w.installEventFilter(&spy);
        w.mnuExit->trigger();
        QCOMPARE(spy.count, 1);
        QVERIFY(!w.isVisible());
    }
};

PAGORA_TEST_MAIN(TestLayout)
#include "tst_layout.moc"
