// Zoom and fit, the key table, page and chapter commands, dragging the page
// and the pop-up menu, all on the real window.
#include "ScriptedPrompts.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "app/frmMain.h"
#include "platform/PictureControls.h"
#include "platform/Twips.h"

#include <QtTest>
#include <QtWidgets>

using namespace SeriesFixtures;

namespace {

// Counts the presses of one key that reach a control past the window's preview.
struct KeySpy : QObject {
    int key, presses = 0;
    explicit KeySpy(int k) : key(k) {}
    bool eventFilter(QObject *, QEvent *e) override
    {
        presses += e->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(e)->key() == key;
        return false;
    }
};

// Rows of the key tables below.
struct KeyCase { QString focus; int key, modifiers, startPage, page, chapter; double zoom; bool passedOn; };
// Bar values as (horizontal, vertical) on bars of Max 100, steps 5 and 20.
struct ScrollCase { QString focus; int key; QPoint start, end; bool passedOn; };
struct DragCase { int button, dy, startV, endV; };
// Entries enabled: next/previous page, next/previous chapter, in, out, none, fit.
struct PopupCase { int chapter, page; bool fit; double zoom; QString enabled; };

} // namespace

Q_DECLARE_METATYPE(KeyCase)
Q_DECLARE_METATYPE(ScrollCase)
Q_DECLARE_METATYPE(DragCase)
Q_DECLARE_METATYPE(PopupCase)

class TestCommands : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmMain> w;
    QString series;

    void openSeries(int chapter = 0) { WindowFixtures::openSeries(*w, series, chapter); }

    void goTo(qint16 page) { w->PageIndex = page, w->ShowPage(w->PageIndex); }

    // Presses a key in the named control ("button" would go to the last page);
    // true when the key was passed on to that control.
    bool press(const QString &focus, int key, int modifiers = Qt::NoModifier)
    {
        QWidget *target = QHash<QString, QWidget *>{{"folder", w->cboPagoraDir}, {"chapters", w->cboChapters},
                                                    {"button", w->cmdNavigate[3]}}.value(focus, w->PicImage);
        target->setFocus();
        QWidget *receiver = QApplication::focusWidget();
        if (receiver != target && !target->isAncestorOf(receiver))
            qFatal("focus did not reach %s", qPrintable(focus));
        KeySpy spy(key);
        receiver->installEventFilter(&spy);
        QTest::keyClick(receiver, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        receiver->removeEventFilter(&spy);
        return spy.presses > 0;
    }

    QString fitMarks() const
    {
        return QString("%1%2%3").arg(w->chkFitToWindow->isChecked()).arg(w->mnuFitToWindow->isChecked())
                                .arg(w->rcmnuFitToWindow->isChecked());
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
        w = WindowFixtures::windowWithoutStartup();
    }
    void cleanup() { w.reset(), Prompts::install(nullptr); }

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
        openSeries(); // a 9000 x 13500 twips page, in an 8055 x 5955 viewport
        const QSize target(w->width() + Twips::toPixels(8055 - Twips::width(w->PicImage)),
                           w->height() + Twips::toPixels(5955 - Twips::height(w->PicImage)));
        w->resize(target);
        QTRY_COMPARE(w->LastWidth, Twips::fromPixels(target.width()));
        QTRY_COMPARE(w->LastHeight, Twips::fromPixels(target.height()));
        double expected = 1.0;
        for (int i = 0; i <= acceptedSteps; ++i) {
            QCOMPARE(w->ZoomFactor, expected);
            w->ZoomPage(step);
            expected += i < acceptedSteps ? step * expected : 0;
        }
        QCOMPARE(w->ZoomFactor, expected);
        if (step > 0) // the page still overhangs: both bars stay
            QCOMPARE(QSize(Twips::width(w->PicImage), Twips::height(w->PicImage)), QSize(8055, 5955));
    }

    void zoomWithNoChapterShowsNothing()
    {
        // No page has a natural size: both steps are refused and the factor stays.
        for (QAction *zoom : {w->mnuZoomIn, w->mnuZoomOut}) {
            zoom->trigger();
            QCOMPARE(w->ZoomFactor, 1.0);
        }
        QVERIFY(w->Image1->picture().isNull());
        QCOMPARE(w->lblPage->text(), QString());
    }

    void fitMarksFollowEveryWayIn()
    {
        openSeries();
        w->chkFitToWindow->click();
        QCOMPARE(fitMarks(), "111");
        const int fitted = Twips::height(w->Image1);
        QVERIFY(fitted <= Twips::height(w->PicImage));
        QVERIFY(!w->vsImage->isVisible()); // and the hidden bar takes no keys
        QCOMPARE(w->vsImage->maximum(), 0);
        press("page", Qt::Key_PageDown);
        press("page", Qt::Key_Down);
        QCOMPARE(w->vsImage->value(), 0);
        w->mnuZoomIn->trigger(); // fit mode undoes the menu zoom
        QCOMPARE(Twips::height(w->Image1), fitted);
        QCOMPARE(w->ZoomFactor, 1.0);
        w->mnuFitToWindow->trigger();
        QCOMPARE(fitMarks(), "000");
        QCOMPARE(Twips::height(w->Image1), 13500); // back at natural size
        w->rcmnuFitToWindow->trigger();
        QCOMPARE(fitMarks(), "111");
        QVERIFY(press("page", Qt::Key_Z)); // fit on: Z is passed on and does nothing
        QCOMPARE(w->ZoomFactor, 1.0);
    }

    // ---- Keys ----

    void keyTable_data()
    {
        QTest::addColumn<KeyCase>("c");
        const int none = Qt::NoModifier, ctrl = Qt::ControlModifier, alt = Qt::AltModifier;
        const int shift = Qt::ShiftModifier, pgDn = Qt::Key_PageDown, pgUp = Qt::Key_PageUp;
        const int space = Qt::Key_Space, back = Qt::Key_Backspace, z = Qt::Key_Z;
        QTest::newRow("ctrl+pgdn next page") << KeyCase{"page", pgDn, ctrl, 1, 2, 0, 1.0, false};
        QTest::newRow("ctrl+pgdn on last page consumed") << KeyCase{"page", pgDn, ctrl, 3, 3, 0, 1.0, false};
        QTest::newRow("ctrl+pgup previous page") << KeyCase{"page", pgUp, ctrl, 2, 1, 0, 1.0, false};
        QTest::newRow("ctrl+pgup on page 1 consumed") << KeyCase{"page", pgUp, ctrl, 1, 1, 0, 1.0, false};
        QTest::newRow("ctrl+alt+pgdn is ctrl") << KeyCase{"page", pgDn, ctrl | alt, 1, 2, 0, 1.0, false};
        QTest::newRow("shift+ctrl+pgdn is ctrl") << KeyCase{"page", pgDn, ctrl | shift, 1, 2, 0, 1.0, false};
        QTest::newRow("backspace previous page, passed on") << KeyCase{"page", back, none, 2, 1, 0, 1.0, true};
        QTest::newRow("backspace on page 1") << KeyCase{"page", back, none, 1, 1, 0, 1.0, true};
        QTest::newRow("space next page, passed on") << KeyCase{"page", space, none, 1, 2, 0, 1.0, true};
        QTest::newRow("space on last page") << KeyCase{"page", space, none, 3, 3, 0, 1.0, true};
        QTest::newRow("space on a button: next page once") << KeyCase{"button", space, none, 1, 2, 0, 1.0, false};
        QTest::newRow("alt+pgdn next chapter") << KeyCase{"page", pgDn, alt, 2, 1, 1, 1.0, false};
        QTest::newRow("alt+pgup on first chapter passed on") << KeyCase{"page", pgUp, alt, 2, 2, 0, 1.0, true};
        QTest::newRow("z zooms in") << KeyCase{"page", z, none, 1, 1, 0, 1.2, false};
        QTest::newRow("ctrl+z zooms in") << KeyCase{"page", z, ctrl, 1, 1, 0, 1.2, false};
        QTest::newRow("shift+z zooms out") << KeyCase{"page", z, shift, 1, 1, 0, 0.8, false};
        QTest::newRow("folder box: space") << KeyCase{"folder", space, none, 1, 1, 0, 1.0, true};
        QTest::newRow("folder box: backspace") << KeyCase{"folder", back, none, 2, 2, 0, 1.0, true};
        QTest::newRow("folder box: z") << KeyCase{"folder", z, none, 1, 1, 0, 1.0, true};
        QTest::newRow("chapter list moves itself on ctrl+pgdn") << KeyCase{"chapters", pgDn, ctrl, 1, 1, 1, 1.0, true};
        QTest::newRow("chapter list moves itself on alt+pgdn") << KeyCase{"chapters", pgDn, alt, 1, 1, 1, 1.0, true};
    }
    void keyTable()
    {
        QFETCH(KeyCase, c);
        openSeries();
        goTo(qint16(c.startPage));
        const QString folderText = w->cboPagoraDir->currentText();
        QCOMPARE(press(c.focus, c.key, c.modifiers), c.passedOn);
        QCOMPARE(QList<int>({w->cboChapters->currentIndex(), w->PageIndex}), QList<int>({c.chapter, c.page}));
        QCOMPARE(w->ZoomFactor, c.zoom);
        QCOMPARE(w->cboPagoraDir->currentText() != folderText, c.focus == "folder");
    }

    // Alt+F belongs to the menu bar alone: one press opens File wherever the
    // focus is. The check box keeps its caption and stays reachable by Space
    // and by View > Fit To Window.
    void altFOpensFileAtTheFirstPress()
    {
        openSeries(-1); // no page: Space is not a page command
        for (QWidget *target : QWidgetList{w->PicImage, w->chkFitToWindow, w->cboPagoraDir, w->cboChapters, w->cmdNavigate[2]}) {
            target->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::AltModifier);
            QVERIFY2(w->mnuFile->isVisible(), qPrintable(target->objectName()));
            QCOMPARE(fitMarks(), "000");
            w->mnuFile->close();
        }
        QCOMPARE(w->chkFitToWindow->text(), "&Fit To Window");
        w->chkFitToWindow->setFocus();
        QTest::keyClick(w->chkFitToWindow, Qt::Key_Space);
        QCOMPARE(fitMarks(), "111");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::AltModifier);
        QVERIFY(w->mnuView->isVisible());
        QTest::keyClick(w->mnuView, Qt::Key_F);
        QCOMPARE(fitMarks(), "000");
    }

    void chapterCommands()
    {
        openSeries(-1);
        press("page", Qt::Key_PageUp, Qt::AltModifier); // previous with none: nothing
        w->rcmnuPreviousChapter->trigger();
        QCOMPARE(w->cboChapters->currentIndex(), -1);
        press("page", Qt::Key_PageDown, Qt::AltModifier); // next with none: the first
        QCOMPARE(w->cboChapters->currentIndex(), 0);
        QCOMPARE(w->PageIndex, qint16(1));
        goTo(3);
        w->rcmnuNextChapter->trigger();
        QCOMPARE(w->cboChapters->currentIndex(), 1);
        QCOMPARE(w->lblPage->text(), QStringLiteral("Page 1 of 2"));
        w->rcmnuNextChapter->trigger();
        w->rcmnuNextChapter->trigger(); // no fourth chapter
        QCOMPARE(w->cboChapters->currentIndex(), 2);
        w->cboChapters->setEnabled(false); // the entries stop, the keys do not
        w->rcmnuPreviousChapter->trigger();
        QCOMPARE(w->cboChapters->currentIndex(), 2);
        press("page", Qt::Key_PageUp, Qt::AltModifier);
        QCOMPARE(w->cboChapters->currentIndex(), 1);
    }

    void scrollKeys_data()
    {
        QTest::addColumn<ScrollCase>("c");
        const int up = Qt::Key_Up, down = Qt::Key_Down, pgDn = Qt::Key_PageDown, pgUp = Qt::Key_PageUp;
        const int left = Qt::Key_Left, right = Qt::Key_Right;
        QTest::newRow("down by the small step") << ScrollCase{"page", down, {0, 90}, {0, 95}, false};
        QTest::newRow("pgdn stops at Max") << ScrollCase{"page", pgDn, {0, 90}, {0, 100}, false};
        QTest::newRow("pgdn at Max passed on") << ScrollCase{"page", pgDn, {0, 100}, {0, 100}, true};
        QTest::newRow("up stops at 0") << ScrollCase{"page", up, {0, 3}, {0, 0}, false};
        QTest::newRow("up at 0 passed on") << ScrollCase{"page", up, {0, 0}, {0, 0}, true};
        QTest::newRow("pgup by the large step") << ScrollCase{"page", pgUp, {0, 50}, {0, 30}, false};
        QTest::newRow("right by the large step") << ScrollCase{"page", right, {50, 0}, {70, 0}, false};
        QTest::newRow("left at 0 passed on") << ScrollCase{"page", left, {0, 0}, {0, 0}, true};
        QTest::newRow("folder box: pgdn scrolls") << ScrollCase{"folder", pgDn, {0, 0}, {0, 20}, false};
        QTest::newRow("folder box: down scrolls") << ScrollCase{"folder", down, {0, 0}, {0, 5}, false};
        QTest::newRow("folder box: up scrolls") << ScrollCase{"folder", up, {0, 50}, {0, 45}, false};
        QTest::newRow("folder box keeps left") << ScrollCase{"folder", left, {50, 0}, {50, 0}, true};
        QTest::newRow("folder box keeps right") << ScrollCase{"folder", right, {50, 0}, {50, 0}, true};
        QTest::newRow("chapter list keeps down") << ScrollCase{"chapters", down, {0, 50}, {-1, -1}, true};
        QTest::newRow("chapter list keeps pgdn") << ScrollCase{"chapters", pgDn, {0, 50}, {-1, -1}, true};
    }
    void scrollKeys()
    {
        QFETCH(ScrollCase, c);
        openSeries();
        for (QScrollBar *bar : {w->vsImage, w->hsImage}) {
            QVERIFY(bar->isVisible());
            bar->setMaximum(100), bar->setSingleStep(5), bar->setPageStep(20);
        }
        w->hsImage->setValue(c.start.x());
        w->vsImage->setValue(c.start.y());
        QCOMPARE(press(c.focus, c.key), c.passedOn);
        if (c.end.x() >= 0) { // the chapter list may change the page itself
            QCOMPARE(QPoint(w->hsImage->value(), w->vsImage->value()), c.end);
            QCOMPARE(Twips::top(w->Image1), Twips::fromPixels(Twips::toPixels(-c.end.y())));
        }
    }

    // ---- Mouse ----

    void dragClampsAndPicksUpAgain()
    {
        openSeries();
        w->vsImage->setMaximum(3000);
        w->vsImage->setValue(2900);
        // The pointer in viewport twips; the handlers see it on the page, at minus the bar's value.
        const auto at = [this](float viewportY) { return viewportY + w->vsImage->value(); };
        w->Image1_MouseDown(1, 0, 100, at(1000));
        QCOMPARE(w->DragAnchorY, 3900);
        w->Image1_MouseMove(1, 0, 100, at(500)); // 500 up: clamped
        QCOMPARE(Twips::top(w->Image1), -3000);
        for (float y : {700, 900}) { // back down, the pointer still above the grip
            w->Image1_MouseMove(1, 0, 100, at(y));
            QCOMPARE(w->vsImage->value(), 3000);
        }
        w->Image1_MouseMove(1, 0, 100, at(1000));
        QCOMPARE(w->vsImage->value(), 2900);
        w->Image1_MouseUp(1, 0, 100, at(1000));
        QCOMPARE(w->DragAnchorX, -1);
    }

    void mouseDragsWithAnyButtonButTheRight_data()
    {
        QTest::addColumn<DragCase>("c");
        QTest::newRow("left drag up") << DragCase{Qt::LeftButton, -20, 0, 300};
        QTest::newRow("middle drag up") << DragCase{Qt::MiddleButton, -20, 0, 300};
        QTest::newRow("downward drag at 0") << DragCase{Qt::LeftButton, 20, 0, 0};
        QTest::newRow("click without moving") << DragCase{Qt::LeftButton, 0, 600, 600};
        QTest::newRow("right drag, pop-up disabled: nothing") << DragCase{Qt::RightButton, -20, 0, 0};
    }
    void mouseDragsWithAnyButtonButTheRight()
    {
        QFETCH(DragCase, c);
        openSeries();
        w->RCMenu->setEnabled(false);
        w->vsImage->setValue(c.startV);
        const int startH = w->hsImage->value();
        const QPoint grip = QPoint(40, 40) - w->Image1->pos(), to = grip + QPoint(0, c.dy);
        QTest::mousePress(w->Image1, Qt::MouseButton(c.button), {}, grip);
        QTest::mouseMove(w->Image1, to);
        QTest::mouseRelease(w->Image1, Qt::MouseButton(c.button), {}, to);
        QCOMPARE(QList<int>({w->hsImage->value(), w->vsImage->value(), Twips::top(w->Image1)}),
                 QList<int>({startH, c.endV, -c.endV}));
        QCOMPARE(w->DragAnchorX, -1);
        QVERIFY(!w->RCMenu->isVisible());
    }

    void popupEntriesFollowTheState_data()
    {
        QTest::addColumn<PopupCase>("c");
        QTest::newRow("first page, first chapter") << PopupCase{0, 1, false, 1.0, "10101101"};
        QTest::newRow("last page, middle chapter") << PopupCase{1, 2, false, 1.0, "01111101"};
        QTest::newRow("last chapter, zoomed") << PopupCase{2, 1, false, 1.2, "00011111"};
        QTest::newRow("fit on") << PopupCase{1, 1, true, 1.0, "10110001"};
    }
    void popupEntriesFollowTheState()
    {
        QFETCH(PopupCase, c);
        openSeries(c.chapter);
        goTo(qint16(c.page));
        w->chkFitToWindow->setChecked(c.fit);
        w->ZoomFactor = c.zoom;
        QTest::mouseClick(w->Image1, Qt::RightButton, {}, QPoint(10, 10) - w->Image1->pos());
        QVERIFY(w->RCMenu->isVisible());
        QString actual;
        for (QAction *a : w->RCMenu->actions())
            if (!a->isSeparator())
                actual += a->isEnabled() ? '1' : '0';
        QCOMPARE(actual, c.enabled);
        w->RCMenu->close();
    }

    void pageButtonsStepThePage()
    {
        openSeries();
        // "<<" on page 1 is disabled and leaves it there.
        for (auto [button, page] : {std::pair{3, 3}, {1, 2}, {0, 1}, {0, 1}, {2, 2}}) {
            QTest::mouseClick(w->cmdNavigate[button], Qt::LeftButton);
            QCOMPARE(w->PageIndex, qint16(page));
        }
        w->rcmnuNextPage->trigger();
        w->rcmnuNextPage->trigger(); // disabled on the last page
        QCOMPARE(w->PageIndex, qint16(3));
    }

    // Keys whose action cannot run go on to the focused control, which then
    // handles them itself; nothing on the page changes.
    void keysThatCannotActArePassedOn_data()
    {
        QTest::addColumn<int>("chapter");
        QTest::addColumn<bool>("fit");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("alt+pgdn on the last chapter") << 2 << false << int(Qt::Key_PageDown) << int(Qt::AltModifier);
        QTest::newRow("pgup at the top") << 0 << false << int(Qt::Key_PageUp) << int(Qt::NoModifier);
        QTest::newRow("shift+z in fit mode") << 0 << true << int(Qt::Key_Z) << int(Qt::ShiftModifier);
    }
    void keysThatCannotActArePassedOn()
    {
        QFETCH(int, chapter);
        QFETCH(bool, fit);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        openSeries(chapter);
        w->chkFitToWindow->setChecked(fit);
        QVERIFY(fit || w->vsImage->isVisible());
        QCOMPARE(w->vsImage->value(), 0);
        const double zoom = w->ZoomFactor;
        QVERIFY(press("page", key, modifiers));
        QCOMPARE(QList<int>({w->cboChapters->currentIndex(), w->PageIndex, w->vsImage->value()}),
                 QList<int>({chapter, 1, 0}));
        QCOMPARE(w->ZoomFactor, zoom);
    }

    // The pop-up's Next Chapter with the chapters listed but none chosen
    // opens the first one.
    void popupNextChapterWithNoneSelectedOpensTheFirst()
    {
        openSeries(-1);
        QTest::mouseClick(w->Image1, Qt::RightButton, {}, QPoint(10, 10));
        QVERIFY(w->RCMenu->isVisible());
        QTest::mouseClick(w->RCMenu, Qt::LeftButton, {}, w->RCMenu->actionGeometry(w->rcmnuNextChapter).center());
        QCOMPARE(w->cboChapters->currentIndex(), 0);
        QCOMPARE(w->lblPage->text(), QStringLiteral("Page 1 of 3"));
    }
};

PAGORA_TEST_MAIN(TestCommands)
#include "tst_commands.moc"
