// Zoom and fit, the key table, page and chapter commands, dragging the page
// and the pop-up menu, all on the real window.
#include "ScriptedPrompts.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "app/frmMain.h"
#include "platform/PictureControls.h"
#include "platform/Twips.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

using namespace SeriesFixtures;

namespace {

// Counts the presses of one key that reach a control past the window's
// preview (the modifier keys pressed with it are not counted).
class KeySpy : public QObject {
public:
    explicit KeySpy(int key) : m_key(key) {}
    int presses = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == m_key)
            ++presses;
        return false;
    }

private:
    int m_key;
};

} // namespace

class TestCommands : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmMain> w;
    QString series;

    void openSeries(int chapter = 0)
    {
        w->PagoraFolder = series + QLatin1Char('/');
        w->cboPagoraDir->setEditText(w->PagoraFolder);
        w->LoadChapterList(w->PagoraFolder);
        w->cboChapters->setEnabled(true);
        w->RCMenu->setEnabled(true);
        if (chapter >= 0)
            w->cboChapters->setCurrentIndex(chapter);
    }

    void goTo(qint16 page)
    {
        w->PageIndex = page;
        w->ShowPage(w->PageIndex);
    }

    // Widens or narrows the window so the viewport, as the current page
    // leaves it, measures the given twips.
    void setViewport(int widthTwips, int heightTwips)
    {
        const QSize target(w->width() + Twips::toPixels(widthTwips - Twips::width(w->PicImage)),
                           w->height()
                               + Twips::toPixels(heightTwips - Twips::height(w->PicImage)));
        w->resize(target);
        QTRY_COMPARE(w->LastWidth, Twips::fromPixels(target.width()));
        QTRY_COMPARE(w->LastHeight, Twips::fromPixels(target.height()));
    }

    QWidget *focusTarget(const QString &name)
    {
        if (name == "folder")
            return w->cboPagoraDir;
        if (name == "chapters")
            return w->cboChapters;
        if (name == "button")
            return w->cmdNavigate[3]; // pressed, it would go to the last page
        return w->PicImage;
    }

private slots:
    void init()
    {
        ScriptedPrompts::install();
        series = TestEnvironment::freshFolder(QStringLiteral("series"));
        // Pages larger than the viewport, so both scroll bars show.
        makeFolderChapter(series, "Ch1", {"a.jpg", "b.jpg", "c.jpg"}, QSize(600, 900));
        makeFolderChapter(series, "Ch2", {"a.jpg", "b.jpg"}, QSize(600, 900));
        makeFolderChapter(series, "Ch3", {"a.jpg"}, QSize(600, 900));
        w = std::make_unique<frmMain>();
        // These tests open their folders themselves, without the start-up.
        w->StartupDone = true;
        w->DragAnchorX = -1;
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }
    void cleanup()
    {
        w.reset();
        Prompts::install(nullptr);
    }

    // ---- Zoom and fit ----

    void zoomInThenOutIsNotOne()
    {
        openSeries();
        w->mnuZoomIn->trigger();
        QCOMPARE(w->ZoomFactor, 1.2);
        w->mnuZoomOut->trigger();
        QVERIFY(qFuzzyCompare(w->ZoomFactor, 0.96));
        QCOMPARE(Twips::height(w->Image1), Twips::fromPixels(Twips::toPixels(13500 * 0.96)));
        w->rcmnuNoZoom->trigger();
        QCOMPARE(w->ZoomFactor, 1.0);
        QCOMPARE(Twips::height(w->Image1), 13500);
    }

    void zoomStopsAtItsLimits_data()
    {
        QTest::addColumn<double>("step");
        QTest::addColumn<int>("acceptedSteps");
        QTest::newRow("in: overhang of 32000 twips") << 0.2 << 5;
        QTest::newRow("out: 1000 twips a side") << -0.2 << 9;
    }
    void zoomStopsAtItsLimits()
    {
        QFETCH(double, step);
        QFETCH(int, acceptedSteps);
        openSeries(); // a 9000 x 13500 twips page
        setViewport(8055, 5955);
        double expected = 1.0;
        for (int i = 0; i < acceptedSteps; ++i) {
            w->ZoomPage(step);
            expected += step * expected;
            QCOMPARE(w->ZoomFactor, expected);
        }
        if (step > 0) { // the page still overhangs: both bars stay
            QCOMPARE(Twips::width(w->PicImage), 8055);
            QCOMPARE(Twips::height(w->PicImage), 5955);
        }
        w->ZoomPage(step);
        QCOMPARE(w->ZoomFactor, expected);
    }

    void zoomWithNoChapterShowsNothing()
    {
        w->mnuZoomIn->trigger();
        QVERIFY(w->Image1->picture().isNull());
        QCOMPARE(w->lblPage->text(), QString());
    }

    void fitMarksFollowEveryWayIn()
    {
        openSeries();
        w->chkFitToWindow->click();
        QVERIFY(w->mnuFitToWindow->isChecked());
        QVERIFY(w->rcmnuFitToWindow->isChecked());
        QVERIFY(Twips::height(w->Image1) <= Twips::height(w->PicImage));
        QVERIFY(!w->vsImage->isVisible());

        w->mnuFitToWindow->trigger();
        QVERIFY(!w->chkFitToWindow->isChecked());
        QVERIFY(!w->mnuFitToWindow->isChecked());
        QVERIFY(!w->rcmnuFitToWindow->isChecked());
        // Fit mode left the zoom at 1.0: the page is back at natural size.
        QCOMPARE(Twips::height(w->Image1), 13500);

        w->rcmnuFitToWindow->trigger();
        QVERIFY(w->chkFitToWindow->isChecked());
        QVERIFY(w->mnuFitToWindow->isChecked());
        QVERIFY(w->rcmnuFitToWindow->isChecked());
    }

    void fitModeUndoesMenuZoom()
    {
        openSeries();
        w->chkFitToWindow->setChecked(true);
        const int fitted = Twips::height(w->Image1);
        w->mnuZoomIn->trigger();
        QCOMPARE(Twips::height(w->Image1), fitted);
        QCOMPARE(w->ZoomFactor, 1.0);
    }

    // ---- Keys ----

    void keyTable_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("startPage");
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("chapter");
        QTest::addColumn<bool>("passedOn");
        const int none = Qt::NoModifier, ctrl = Qt::ControlModifier, alt = Qt::AltModifier;
        const int shift = Qt::ShiftModifier;
        QTest::newRow("ctrl+pgdn next page") << "page" << int(Qt::Key_PageDown) << ctrl << 1 << 2 << 0 << false;
        QTest::newRow("ctrl+pgdn on last page still consumed") << "page" << int(Qt::Key_PageDown) << ctrl << 3 << 3 << 0 << false;
        QTest::newRow("ctrl+pgup previous page") << "page" << int(Qt::Key_PageUp) << ctrl << 2 << 1 << 0 << false;
        QTest::newRow("ctrl+pgup on page 1 consumed") << "page" << int(Qt::Key_PageUp) << ctrl << 1 << 1 << 0 << false;
        QTest::newRow("ctrl+alt+pgdn is ctrl") << "page" << int(Qt::Key_PageDown) << (ctrl | alt) << 1 << 2 << 0 << false;
        QTest::newRow("shift+ctrl+pgdn is ctrl") << "page" << int(Qt::Key_PageDown) << (ctrl | shift) << 1 << 2 << 0 << false;
        QTest::newRow("backspace previous page, passed on") << "page" << int(Qt::Key_Backspace) << none << 2 << 1 << 0 << true;
        QTest::newRow("backspace on page 1") << "page" << int(Qt::Key_Backspace) << none << 1 << 1 << 0 << true;
        QTest::newRow("space next page, passed on") << "page" << int(Qt::Key_Space) << none << 1 << 2 << 0 << true;
        QTest::newRow("space on last page") << "page" << int(Qt::Key_Space) << none << 3 << 3 << 0 << true;
        QTest::newRow("space in folder box types") << "folder" << int(Qt::Key_Space) << none << 1 << 1 << 0 << true;
        QTest::newRow("backspace in folder box edits") << "folder" << int(Qt::Key_Backspace) << none << 2 << 2 << 0 << true;
        QTest::newRow("alt+pgdn next chapter") << "page" << int(Qt::Key_PageDown) << alt << 2 << 1 << 1 << false;
        QTest::newRow("alt+pgup on first chapter passed on") << "page" << int(Qt::Key_PageUp) << alt << 2 << 2 << 0 << true;
        QTest::newRow("ctrl+pgdn in chapter list") << "chapters" << int(Qt::Key_PageDown) << ctrl << 1 << 1 << -2 << true;
        QTest::newRow("alt+pgdn in chapter list") << "chapters" << int(Qt::Key_PageDown) << alt << 1 << 1 << -2 << true;
        // The page shown takes the focus, so the button is not pressed too.
        QTest::newRow("space on a button") << "button" << int(Qt::Key_Space) << none << 1 << 2 << 0 << false;
    }
    void keyTable()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, startPage);
        QFETCH(int, page);
        QFETCH(int, chapter);
        QFETCH(bool, passedOn);
        openSeries();
        goTo(qint16(startPage));
        QWidget *target = focusTarget(focus);
        target->setFocus();
        QWidget *receiver = QApplication::focusWidget();
        QVERIFY(receiver == target || target->isAncestorOf(receiver));
        KeySpy spy(key);
        receiver->installEventFilter(&spy);
        const QString folderText = w->cboPagoraDir->currentText();
        QTest::keyClick(receiver, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        receiver->removeEventFilter(&spy);
        if (chapter == -2) // the chapter list handles the key itself
            QVERIFY(w->cboChapters->currentIndex() != 0 || w->PageIndex == startPage);
        else
            QCOMPARE(w->cboChapters->currentIndex(), chapter);
        if (chapter != -2)
            QCOMPARE(int(w->PageIndex), page);
        QCOMPARE(spy.presses > 0, passedOn);
        if (focus == "folder")
            QVERIFY(w->cboPagoraDir->currentText() != folderText);
    }

    void chapterKeysWithNothingSelected()
    {
        openSeries(-1);
        QCOMPARE(w->cboChapters->currentIndex(), -1);
        w->PicImage->setFocus();
        QTest::keyClick(w->PicImage, Qt::Key_PageUp, Qt::AltModifier);
        QCOMPARE(w->cboChapters->currentIndex(), -1);
        w->rcmnuPreviousChapter->trigger();
        QCOMPARE(w->cboChapters->currentIndex(), -1);
        QTest::keyClick(w->PicImage, Qt::Key_PageDown, Qt::AltModifier);
        QCOMPARE(w->cboChapters->currentIndex(), 0);
        QCOMPARE(w->PageIndex, qint16(1));
    }

    void chapterStepOpensPageOne()
    {
        openSeries();
        goTo(3);
        w->rcmnuNextChapter->trigger();
        QCOMPARE(w->cboChapters->currentIndex(), 1);
        QCOMPARE(w->PageIndex, qint16(1));
        QCOMPARE(w->lblPage->text(), QStringLiteral("Page 1 of 2"));
        w->rcmnuNextChapter->trigger();
        w->rcmnuNextChapter->trigger(); // no fourth chapter
        QCOMPARE(w->cboChapters->currentIndex(), 2);
        w->cboChapters->setEnabled(false); // the entries stop, the keys do not
        w->rcmnuPreviousChapter->trigger();
        QCOMPARE(w->cboChapters->currentIndex(), 2);
        w->PicImage->setFocus();
        QTest::keyClick(w->PicImage, Qt::Key_PageUp, Qt::AltModifier);
        QCOMPARE(w->cboChapters->currentIndex(), 1);
    }

    void zoomKeys_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("fit");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<bool>("passedOn");
        QTest::newRow("z zooms in") << "page" << int(Qt::NoModifier) << false << 1.2 << false;
        QTest::newRow("ctrl+z zooms in") << "page" << int(Qt::ControlModifier) << false << 1.2 << false;
        QTest::newRow("shift+z zooms out") << "page" << int(Qt::ShiftModifier) << false << 0.8 << false;
        QTest::newRow("fit on: nothing") << "page" << int(Qt::NoModifier) << true << 1.0 << true;
        QTest::newRow("folder box types the letter") << "folder" << int(Qt::NoModifier) << false << 1.0 << true;
    }
    void zoomKeys()
    {
        QFETCH(QString, focus);
        QFETCH(int, modifiers);
        QFETCH(bool, fit);
        QFETCH(double, zoom);
        QFETCH(bool, passedOn);
        openSeries();
        w->chkFitToWindow->setChecked(fit);
        focusTarget(focus)->setFocus();
        QWidget *receiver = QApplication::focusWidget();
        KeySpy spy(Qt::Key_Z);
        receiver->installEventFilter(&spy);
        QTest::keyClick(receiver, Qt::Key_Z, Qt::KeyboardModifiers(modifiers));
        receiver->removeEventFilter(&spy);
        QCOMPARE(w->ZoomFactor, zoom);
        QCOMPARE(spy.presses > 0, passedOn);
        if (focus == "folder")
            QVERIFY(w->cboPagoraDir->currentText().endsWith(QLatin1Char('z')));
    }

    void scrollKeys_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("startV");
        QTest::addColumn<int>("startH");
        QTest::addColumn<int>("endV");
        QTest::addColumn<int>("endH");
        QTest::addColumn<bool>("passedOn");
        // The bars are set to Max 100, steps 5 (small) and 20 (large).
        QTest::newRow("down by the small step") << "page" << int(Qt::Key_Down) << 90 << 0 << 95 << 0 << false;
        QTest::newRow("pgdn stops at Max") << "page" << int(Qt::Key_PageDown) << 90 << 0 << 100 << 0 << false;
        QTest::newRow("pgdn at Max passed on") << "page" << int(Qt::Key_PageDown) << 100 << 0 << 100 << 0 << true;
        QTest::newRow("up stops at 0") << "page" << int(Qt::Key_Up) << 3 << 0 << 0 << 0 << false;
        QTest::newRow("up at 0 passed on") << "page" << int(Qt::Key_Up) << 0 << 0 << 0 << 0 << true;
        QTest::newRow("pgup by the large step") << "page" << int(Qt::Key_PageUp) << 50 << 0 << 30 << 0 << false;
        QTest::newRow("right by the large step") << "page" << int(Qt::Key_Right) << 0 << 50 << 0 << 70 << false;
        QTest::newRow("left at 0 passed on") << "page" << int(Qt::Key_Left) << 0 << 0 << 0 << 0 << true;
        QTest::newRow("folder box: pgdn still scrolls") << "folder" << int(Qt::Key_PageDown) << 0 << 0 << 20 << 0 << false;
        QTest::newRow("folder box: down still scrolls") << "folder" << int(Qt::Key_Down) << 0 << 0 << 5 << 0 << false;
        QTest::newRow("folder box keeps left") << "folder" << int(Qt::Key_Left) << 0 << 50 << 0 << 50 << true;
        QTest::newRow("folder box keeps right") << "folder" << int(Qt::Key_Right) << 0 << 50 << 0 << 50 << true;
        QTest::newRow("chapter list keeps down") << "chapters" << int(Qt::Key_Down) << 50 << 0 << 50 << 0 << true;
        QTest::newRow("chapter list keeps pgdn") << "chapters" << int(Qt::Key_PageDown) << 50 << 0 << 50 << 0 << true;
    }
    void scrollKeys()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, startV);
        QFETCH(int, startH);
        QFETCH(int, endV);
        QFETCH(int, endH);
        QFETCH(bool, passedOn);
        openSeries();
        for (QScrollBar *bar : {w->vsImage, w->hsImage}) {
            QVERIFY(bar->isVisible());
            bar->setMaximum(100);
            bar->setSingleStep(5);
            bar->setPageStep(20);
        }
        w->vsImage->setValue(startV);
        w->hsImage->setValue(startH);
        focusTarget(focus)->setFocus();
        QWidget *receiver = QApplication::focusWidget();
        KeySpy spy(key);
        receiver->installEventFilter(&spy);
        QTest::keyClick(receiver, Qt::Key(key));
        receiver->removeEventFilter(&spy);
        if (focus != "chapters") {
            QCOMPARE(w->vsImage->value(), endV);
            QCOMPARE(w->hsImage->value(), endH);
            QCOMPARE(Twips::top(w->Image1), Twips::fromPixels(Twips::toPixels(-endV)));
        }
        QCOMPARE(spy.presses > 0, passedOn);
    }

    void pagingKeysNeedAVisibleBar()
    {
        makeFolderChapter(series, "Ch0", {"small.jpg"}, QSize(40, 40));
        openSeries(); // Ch0 is first and fits
        QVERIFY(!w->vsImage->isVisible());
        QCOMPARE(w->vsImage->maximum(), 0);
        w->PicImage->setFocus();
        QTest::keyClick(w->PicImage, Qt::Key_PageDown);
        QTest::keyClick(w->PicImage, Qt::Key_Down);
        QCOMPARE(w->vsImage->value(), 0);
        QCOMPARE(Twips::top(w->Image1), 0);
    }

    // ---- Mouse ----

    void dragClampsAndPicksUpAgain()
    {
        openSeries();
        w->vsImage->setMaximum(3000);
        w->vsImage->setValue(2900);
        // The pointer in viewport twips; the handlers see it on the moving
        // page, which lies at minus the bar's value.
        const auto at = [this](float viewportY) { return viewportY + w->vsImage->value(); };
        w->Image1_MouseDown(1, 0, 100, at(1000));
        QCOMPARE(w->DragAnchorY, 3900);
        w->Image1_MouseMove(1, 0, 100, at(500)); // 500 up
        QCOMPARE(w->vsImage->value(), 3000);
        QCOMPARE(Twips::top(w->Image1), -3000);
        w->Image1_MouseMove(1, 0, 100, at(700)); // 200 back down: pointer still above the grip
        QCOMPARE(w->vsImage->value(), 3000);
        w->Image1_MouseMove(1, 0, 100, at(900)); // over the grabbed point again
        QCOMPARE(w->vsImage->value(), 3000);
        w->Image1_MouseMove(1, 0, 100, at(1000));
        QCOMPARE(w->vsImage->value(), 2900);
        w->Image1_MouseUp(1, 0, 100, at(1000));
        QCOMPARE(w->DragAnchorX, -1);
    }

    void mouseDragsWithAnyButtonButTheRight_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("dy");
        QTest::addColumn<int>("startV");
        QTest::addColumn<int>("endV");
        QTest::newRow("left drag up") << int(Qt::LeftButton) << -20 << 0 << 300;
        QTest::newRow("middle drag up") << int(Qt::MiddleButton) << -20 << 0 << 300;
        QTest::newRow("downward drag at 0") << int(Qt::LeftButton) << 20 << 0 << 0;
        QTest::newRow("click without moving") << int(Qt::LeftButton) << 0 << 600 << 600;
        QTest::newRow("right drag does nothing") << int(Qt::RightButton) << -20 << 0 << 0;
    }
    void mouseDragsWithAnyButtonButTheRight()
    {
        QFETCH(int, button);
        QFETCH(int, dy);
        QFETCH(int, startV);
        QFETCH(int, endV);
        openSeries();
        w->RCMenu->setEnabled(false);
        w->vsImage->setValue(startV);
        const int startH = w->hsImage->value();
        const QPoint grip = QPoint(40, 40) - w->Image1->pos();
        QTest::mousePress(w->Image1, Qt::MouseButton(button), {}, grip);
        QTest::mouseMove(w->Image1, QPoint(40, 40 + dy) - w->Image1->pos());
        QTest::mouseRelease(w->Image1, Qt::MouseButton(button), {},
                            QPoint(40, 40 + dy) - w->Image1->pos());
        QCOMPARE(w->vsImage->value(), endV);
        QCOMPARE(w->hsImage->value(), startH);
        QCOMPARE(Twips::top(w->Image1), -endV);
        QCOMPARE(w->DragAnchorX, -1);
    }

    void popupEntriesFollowTheState_data()
    {
        QTest::addColumn<int>("chapter");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("fit");
        QTest::addColumn<double>("zoom");
        QTest::addColumn<QString>("enabled"); // next page, prev page, next ch, prev ch, in, out, none
        QTest::newRow("first page, first chapter") << 0 << 1 << false << 1.0 << "1010110";
        QTest::newRow("last page, middle chapter") << 1 << 2 << false << 1.0 << "0111110";
        QTest::newRow("last chapter, zoomed") << 2 << 1 << false << 1.2 << "0001111";
        QTest::newRow("fit on") << 1 << 1 << true << 1.0 << "1011000";
    }
    void popupEntriesFollowTheState()
    {
        QFETCH(int, chapter);
        QFETCH(int, page);
        QFETCH(bool, fit);
        QFETCH(double, zoom);
        QFETCH(QString, enabled);
        openSeries(chapter);
        w->ZoomFactor = zoom;
        goTo(qint16(page));
        w->chkFitToWindow->setChecked(fit);
        if (!fit)
            w->ZoomFactor = zoom;
        QTest::mouseClick(w->Image1, Qt::RightButton, {}, QPoint(10, 10) - w->Image1->pos());
        QVERIFY(w->RCMenu->isVisible());
        QString actual;
        for (QAction *a : {w->rcmnuNextPage, w->rcmnuPreviousPage, w->rcmnuNextChapter,
                           w->rcmnuPreviousChapter, w->rcmnuZoomIn, w->rcmnuZoomOut,
                           w->rcmnuNoZoom})
            actual += a->isEnabled() ? '1' : '0';
        QCOMPARE(actual, enabled);
        QVERIFY(w->rcmnuFitToWindow->isEnabled());
        w->RCMenu->close();
    }

    void disabledPopupDoesNothing()
    {
        openSeries();
        w->RCMenu->setEnabled(false);
        const int v = w->vsImage->value();
        QTest::mouseClick(w->Image1, Qt::RightButton, {}, QPoint(10, 10) - w->Image1->pos());
        QVERIFY(!w->RCMenu->isVisible());
        QCOMPARE(w->vsImage->value(), v);
    }

    void pageButtonsStepThePage()
    {
        openSeries();
        QTest::mouseClick(w->cmdNavigate[3], Qt::LeftButton);
        QCOMPARE(w->PageIndex, qint16(3));
        QTest::mouseClick(w->cmdNavigate[1], Qt::LeftButton);
        QCOMPARE(w->PageIndex, qint16(2));
        QTest::mouseClick(w->cmdNavigate[0], Qt::LeftButton);
        QCOMPARE(w->PageIndex, qint16(1));
        QTest::mouseClick(w->cmdNavigate[0], Qt::LeftButton); // disabled now
        QTest::mouseClick(w->cmdNavigate[2], Qt::LeftButton);
        QCOMPARE(w->PageIndex, qint16(2));
        w->rcmnuNextPage->trigger();
        w->rcmnuNextPage->trigger(); // ">" disabled on the last page
        QCOMPARE(w->PageIndex, qint16(3));
    }
};

PAGORA_TEST_MAIN(TestCommands)
#include "tst_commands.moc"
