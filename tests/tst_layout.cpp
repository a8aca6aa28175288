// The main window's controls, captions and menus at design size, and the
// layout pass that follows every change of the window's size.
#include "TestEnvironment.h"
#include "app/frmMain.h"
#include "platform/PictureControls.h"
#include "platform/Twips.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

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

Geometry geometryOf(const QWidget *w)
{
    return {Twips::left(w), Twips::top(w), Twips::width(w), Twips::height(w)};
}

char *toString(const Geometry &g)
{
    return QTest::toString(QStringLiteral("(%1, %2, %3, %4)")
                               .arg(g.left).arg(g.top).arg(g.width).arg(g.height));
}

QWidget *control(const QWidget &window, const char *name)
{
    auto *w = window.findChild<QWidget *>(QLatin1String(name));
    if (!w)
        qFatal("no control named %s", name);
    return w;
}

// Resizes the window by whole twips and waits until the layout has seen it.
void resizeBy(frmMain &w, int dWTwips, int dHTwips)
{
    const QSize target(w.width() + Twips::toPixels(dWTwips), w.height() + Twips::toPixels(dHTwips));
    w.resize(target);
    QTRY_COMPARE(w.size(), target);
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
        const auto row = [](const char *name, Geometry g) {
            QTest::newRow(name) << QString::fromLatin1(name) << g;
        };
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
        QCOMPARE(geometryOf(control(w, name.toLatin1().constData())), expected);
        QCOMPARE(w.centralWidget()->size(), QSize(562, 477));
        QCOMPARE(w.showPageCalls, 0);
    }

    void designCaptionsFontsAndColours()
    {
        CountingMain &w = shownWindow();
        QCOMPARE(w.windowTitle(), QStringLiteral("Pagora Viewer"));
        QVERIFY(!w.windowIcon().isNull());
        QCOMPARE(w.lblPage->text(), QString());
        QCOMPARE(w.cmdBrowse->text(), QStringLiteral("Browse"));
        QCOMPARE(w.chkFitToWindow->text(), QStringLiteral("&Fit To Window"));
        QCOMPARE(w.chkFitToWindow->checkState(), Qt::Unchecked);
        QCOMPARE(w.Label1->text(), QStringLiteral("Pagora Chapters Folder"));
        QCOMPARE(w.Label2->text(), QStringLiteral("Chapters"));
        QVERIFY(w.cboPagoraDir->isEditable());
        QVERIFY(!w.cboChapters->isEditable());
        const QStringList captions = {"<<", "<", ">", ">>"};
        const QStringList tips = {"Alt-Pgup", "Ctrl-Pgup", "Ctrl-Pgdn", "Alt-Pgdn"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(w.cmdNavigate[i]->text(), captions[i]);
            QCOMPARE(w.cmdNavigate[i]->toolTip(), tips[i]);
            QVERIFY(w.cmdNavigate[i]->font().bold());
            QCOMPARE(w.cmdNavigate[i]->font().pointSizeF(), 8.25);
        }
        QVERIFY(!w.cmdBrowse->font().bold());
        QCOMPARE(w.centralWidget()->grab().toImage().pixelColor(1, 1), QColor(0, 0, 128));
        QCOMPARE(w.PicImage->client()->palette().color(QPalette::Window), QColor(Qt::black));
        QVERIFY(w.Image1->stretch());
        QVERIFY(!w.Image2->isVisible());
        for (QScrollBar *bar : {w.hsImage, w.vsImage}) {
            QCOMPARE(bar->minimum(), 0);
            QCOMPARE(bar->maximum(), 32767);
            QVERIFY(!bar->hasTracking());
        }
        QCOMPARE(w.ZoomFactor, 1.0);
        QCOMPARE(w.PageIndex, qint16(0));
    }

    void tabOrderRunsAsDesigned()
    {
        CountingMain &w = shownWindow();
        const QList<QWidget *> order = {w.vsImage,        w.hsImage,        w.Picture1,
                                        w.chkFitToWindow, w.cboChapters,    w.cmdNavigate[3],
                                        w.cmdNavigate[2], w.cmdNavigate[1], w.cmdNavigate[0],
                                        w.cmdBrowse,      w.PicImage,       w.Picture2,
                                        w.cboPagoraDir};
        order.first()->setFocus();
        for (qsizetype i = 1; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *focus = QApplication::focusWidget();
            QVERIFY2(focus == order[i] || order[i]->isAncestorOf(focus),
                     qPrintable(QStringLiteral("step %1 reached %2").arg(i).arg(
                         focus ? focus->objectName() : QStringLiteral("nothing"))));
        }
    }

    void menuBarAndPopupCaptions()
    {
        CountingMain &w = shownWindow();
        const QList<QAction *> bar = w.menuBar()->actions();
        QCOMPARE(bar.size(), 3);
        QCOMPARE(bar[0]->text(), QStringLiteral("&File"));
        QCOMPARE(bar[1]->text(), QStringLiteral("&View"));
        QCOMPARE(bar[2]->text(), QStringLiteral("&Help"));

        const auto entries = [](QMenu *menu) {
            QStringList list;
            for (QAction *a : menu->actions())
                list << a->objectName() + QLatin1Char('=') + a->text();
            return list;
        };
        QCOMPARE(entries(w.mnuFile), QStringList{"mnuExit=E&xit"});
        QCOMPARE(entries(w.mnuView),
                 (QStringList{"mnuFitToWindow=&Fit To Window", "mnuViewBar1=-",
                              "mnuZoomIn=&Zoom In", "mnuZoomOut=Zoom &Out", "mnuNoZoom=&No Zoom"}));
        QCOMPARE(entries(w.mnuHelp),
                 (QStringList{"mnuHelpBasic=&Basic Instructions...", "mnuHelpBar1=-",
                              "mnuHelpAbout=&About..."}));
        QCOMPARE(entries(w.RCMenu),
                 (QStringList{"rcmnuNextPage=Next Page" + QString(17, ' ') + "(Ctrl-PgDn)",
                              "rcmnuPreviousPage=Previous Page" + QString(11, ' ') + "(Ctrl-PgUp)",
                              "rcmnuBar1=-",
                              "rcmnuNextChapter=Next Chapter" + QString(12, ' ') + "(Alt-PgDn)",
                              "rcmnuPreviousChapter=Previous Chapter" + QString(6, ' ')
                                  + "(Alt-PgUp)",
                              "rcmnuBar2=-",
                              "rcmnuZoomIn=Zoom In" + QString(21, ' ') + "(Z)",
                              "rcmnuZoomOut=Zoom Out" + QString(18, ' ') + "(Shift-Z)",
                              "rcmnuNoZoom=No Zoom", "rcmnuFitToWindow=Fit To Window"}));
        QCOMPARE(w.RCMenu->title(), QStringLiteral("RCMenu"));
        QVERIFY(!bar.contains(w.RCMenu->menuAction()));
        QVERIFY(!w.RCMenu->isVisible());
        for (QMenu *menu : {w.mnuFile, w.mnuView, w.mnuHelp, w.RCMenu})
            for (QAction *a : menu->actions()) {
                QVERIFY(a->isEnabled());
                QVERIFY(!a->isChecked());
                QVERIFY(a->shortcut().isEmpty());
            }
    }

    void widerWindowMovesTheRightSideAndSharesTheRest()
    {
        CountingMain &w = shownWindow();
        resizeBy(w, 600, 0);
        QCOMPARE(geometryOf(w.hsImage), (Geometry{60, 6855, 8655, 255}));
        QCOMPARE(geometryOf(w.vsImage), (Geometry{8700, 900, 255, 5955}));
        QCOMPARE(geometryOf(w.PicImage), (Geometry{60, 900, 8640, 5955}));
        QCOMPARE(geometryOf(w.Image1), (Geometry{0, 0, 8640, 5955}));
        QCOMPARE(geometryOf(w.Picture1), (Geometry{60, 60, 8895, 795}));
        QCOMPARE(geometryOf(w.cboChapters), (Geometry{4020, 360, 2895, 315}));
        QCOMPARE(Twips::left(w.Label2), 4020);
        QCOMPARE(geometryOf(w.cboPagoraDir), (Geometry{120, 360, 3795, 315}));
        QCOMPARE(Twips::left(w.cmdBrowse), 3180);
        QCOMPARE(Twips::left(w.chkFitToWindow), 5580);
        QCOMPARE(Twips::left(w.cmdNavigate[0]), 7020);
        QCOMPARE(Twips::left(w.cmdNavigate[1]), 7440);
        QCOMPARE(Twips::left(w.cmdNavigate[2]), 7860);
        QCOMPARE(Twips::left(w.cmdNavigate[3]), 8280);
        QCOMPARE(Twips::left(w.lblPage), 7020);
        QCOMPARE(Twips::left(w.Label1), 120);
        QCOMPARE(geometryOf(w.Picture2), (Geometry{8100, 6780, 435, 375}));
        QCOMPARE(w.showPageCalls, 0);
    }

    void narrowerThanLoadWidthRestoresThePanelThenGrowsFromIt()
    {
        CountingMain &w = shownWindow();
        resizeBy(w, 600, 0);
        resizeBy(w, -900, 0); // 300 narrower than at load
        QCOMPARE(geometryOf(w.Picture1), (Geometry{60, 60, 8295, 795}));
        QCOMPARE(geometryOf(w.cboChapters), (Geometry{3720, 360, 2595, 315}));
        QCOMPARE(geometryOf(w.cboPagoraDir), (Geometry{120, 360, 3495, 315}));
        QCOMPARE(Twips::left(w.cmdNavigate[0]), 6420);
        QCOMPARE(Twips::left(w.chkFitToWindow), 4980);
        QCOMPARE(Twips::left(w.cmdBrowse), 2880);
        // The viewport keeps following the full change.
        QCOMPARE(Twips::width(w.PicImage), 8040 - 300);
        QCOMPARE(Twips::width(w.hsImage), 8055 - 300);
        QCOMPARE(Twips::left(w.vsImage), 8100 - 300);

        resizeBy(w, 600, 0); // 300 wider than at load: the whole 600 is added
        QCOMPARE(Twips::width(w.Picture1), 8295 + 600);
        QCOMPARE(geometryOf(w.cboChapters), (Geometry{3720 + 300, 360, 2595 + 300, 315}));
        QCOMPARE(Twips::width(w.cboPagoraDir), 3495 + 300);
        QCOMPARE(Twips::left(w.cmdNavigate[0]), 6420 + 600);
        QCOMPARE(Twips::width(w.PicImage), 8040 + 300);
    }

    void heightChangesOnlyTheViewportAndScrollBars()
    {
        CountingMain &w = shownWindow();
        QWidget *panel = w.Picture1;
        const auto panelBefore = geometryOf(panel);
        const auto chaptersBefore = geometryOf(w.cboChapters);
        resizeBy(w, 0, 450);
        QCOMPARE(geometryOf(w.hsImage), (Geometry{60, 6855 + 450, 8055, 255}));
        QCOMPARE(geometryOf(w.vsImage), (Geometry{8100, 900, 255, 5955 + 450}));
        QCOMPARE(geometryOf(w.PicImage), (Geometry{60, 900, 8040, 5955 + 450}));
        QCOMPARE(geometryOf(w.Image1), (Geometry{0, 0, 8040, 5955 + 450}));
        resizeBy(w, 0, -900);
        QCOMPARE(Twips::top(w.hsImage), 6855 - 450);
        QCOMPARE(Twips::height(w.PicImage), 5955 - 450);
        QCOMPARE(geometryOf(panel), panelBefore);
        QCOMPARE(geometryOf(w.cboChapters), chaptersBefore);
    }

    void oddWidthChangeSplitsToTheHalfTwip()
    {
        CountingMain &w = shownWindow();
        // One pixel wider: each half is 7.5 twips, rounded to whole pixels
        // half to even (3727.5 twips = 248.5 px -> 248; 2602.5 = 173.5 -> 174).
        resizeBy(w, 15, 0);
        QCOMPARE(Twips::left(w.cboChapters), 3720);
        QCOMPARE(Twips::width(w.cboChapters), 2610);
        QCOMPARE(Twips::width(w.cboPagoraDir), 3510);
        QCOMPARE(Twips::left(w.cmdNavigate[0]), 6435);
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
        w.hsImage->setRange(0, 4000);
        w.vsImage->setRange(0, 4000);
        w.hsImage->setValue(1500);
        w.vsImage->setValue(3000);
        QCOMPARE(Twips::left(w.Image1), -1500);
        QCOMPARE(Twips::top(w.Image1), -3000);
        resizeBy(w, 0, 15);
        QCOMPARE(w.hsImage->value(), 0);
        QCOMPARE(w.vsImage->value(), 0);
        QCOMPARE(Twips::left(w.Image1), 0);
        QCOMPARE(Twips::top(w.Image1), 0);
    }

    void minimiseThenRestoreRedisplaysOnce()
    {
        CountingMain &w = shownWindow();
        w.PageIndex = 1;
        w.PageCount = 1;
        w.vsImage->setValue(2000);
        const auto before = geometryOf(w.PicImage);
        w.showMinimized();
        QTRY_VERIFY(w.isMinimized());
        QCOMPARE(w.showPageCalls, 0);
        QCOMPARE(w.vsImage->value(), 2000);
        w.showNormal();
        QTRY_VERIFY(!w.isMinimized());
        QTRY_COMPARE(w.showPageCalls, 1);
        QCOMPARE(w.vsImage->value(), 0);
        QCOMPARE(geometryOf(w.PicImage), before);
    }

    void tinyWindowSkipsOnlyTheRefusedSteps()
    {
        CountingMain &w = shownWindow();
        // Shrinking by more than the viewport's width: the widths that would
        // turn negative stay as they were, every other step still runs.
        w.setMinimumSize(1, 1);
        const int shrink = 8100;
        const QSize target(w.width() - Twips::toPixels(shrink), w.height());
        w.resize(target);
        QTRY_COMPARE(w.LastWidth, Twips::fromPixels(target.width()));
        QCOMPARE(Twips::width(w.hsImage), 8055);
        QCOMPARE(Twips::left(w.vsImage), 8100 - shrink);
        QCOMPARE(Twips::width(w.PicImage), 8040);
        QCOMPARE(Twips::width(w.Image1), 8040);
        QCOMPARE(Twips::width(w.Picture1), 8295);
        QCOMPARE(Twips::left(w.lblPage), 6420);
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
        const auto others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
                            | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(info.permissions() & owner, owner);
        QCOMPARE(info.permissions() & others, QFile::Permissions());
            frmMain other;
            QVERIFY(other.AppFolder != folder);
        }
        QVERIFY(!QFileInfo::exists(folder));
    }

    void exitClosesThroughTheCloseEvent()
    {
        CountingMain &w = shownWindow();
        int closeEvents = 0;
        struct CloseSpy : QObject {
            int *count;
            explicit CloseSpy(int *c) : count(c) {}
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == QEvent::Close)
                    ++*count;
                return false;
            }
        } spy(&closeEvents);
        w.installEventFilter(&spy);
        w.mnuExit->trigger();
        QCOMPARE(closeEvents, 1);
        QVERIFY(!w.isVisible());
    }
};

PAGORA_TEST_MAIN(TestLayout)
#include "tst_layout.moc"
