// The keys, the page buttons, the pop-up menu and dragging the page, on the real window.
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "platform/Twips.h"

#include <QtTest>
#include <QtWidgets>

using WindowFixtures::control;

// Presses the keys on the focused control: whether they went on past the window's preview.
static bool passesOn(QKeyCombination keys)
{
    struct Spy : QObject { // counts the presses of the key that reach the control
        int key = 0, presses = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            presses += e->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(e)->key() == key;
            return false;
        }
    } spy;
    spy.key = keys.key();
    QApplication::focusWidget()->installEventFilter(&spy);
    QTest::keyClick(QApplication::focusWidget(), keys.key(), keys.keyboardModifiers());
    return spy.presses > 0;
}

// Before: "chapter page [fit]", the bars' values (Max 100, steps 5 and 20). After: "chapter page
// zoom h,v" (M for Max), and whether the key went on to the focused control.
struct Press {
    const char *focus, *keys, *before;
    QPoint bars;
    const char *after;
    bool passedOn;
};
Q_DECLARE_METATYPE(Press)

class TestCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> w;
    template <typename T = QWidget> T *c(const char *n) { return control<T>(*w, n); }

    // Three chapters of 3, 2 and 1 pages larger than the viewport, opened at "chapter page [fit]".
    void open(const QString &place)
    {
        const QString series = TestEnvironment::freshFolder(QStringLiteral("series"));
        const QStringList pages{"a.jpg", "b.jpg", "c.jpg"}, at = place.split(' ');
        for (int n : {1, 2, 3})
            SeriesFixtures::makeFolderChapter(series, QString("Ch%1").arg(n), pages.first(4 - n),
                                              {600, 900});
        w = WindowFixtures::firstRunWindow();
        WindowFixtures::openSeries(*w, series, at[0]);
        WindowFixtures::goToPage(*w, at[1].toInt());
        c<QCheckBox>("chkFitToWindow")->setChecked(at.contains("fit"));
    }

    // "chapter page zoom", as the window shows them.
    QString state() const
    {
        return QString("%1 %2 %3").arg(w->view().chapter).arg(w->view().page).arg(w->view().zoom);
    }

private slots:
    void cleanup() { w.reset(); }

    void keys_data()
    {
        QTest::addColumn<Press>("p");
        const char *page = "PicImage", *box = "cboPagoraDir", *list = "cboChapters";
        const auto row = [](const char *name, Press p) { QTest::newRow(name) << p; };
        row("ctrl+pgdn: next page", {page, "Ctrl+PgDown", "Ch1 1", {}, "Ch1 2 1 M,0", false});
        row("ctrl+pgup: previous page", {page, "Ctrl+PgUp", "Ch1 2", {}, "Ch1 1 1 M,0", false});
        row("ctrl+alt+pgdn is ctrl", {page, "Ctrl+Alt+PgDown", "Ch1 1", {}, "Ch1 2 1 M,0", false});
        row("alt+pgdn: next chapter", {page, "Alt+PgDown", "Ch1 2", {}, "Ch2 1 1 M,0", false});
        row("alt+pgup on the first chapter", {page, "Alt+PgUp", "Ch1 2", {}, "Ch1 2 1 0,0", true});
        row("alt+pgdn on the last chapter", {page, "Alt+PgDown", "Ch3 1", {}, "Ch3 1 1 0,0", true});
        row("chapter list: ctrl+pgdn", {list, "Ctrl+PgDown", "Ch1 1", {}, "Ch2 1 1 M,0", true});
        row("backspace: previous page", {page, "Backspace", "Ch1 2", {}, "Ch1 1 1 M,0", true});
        row("folder box: backspace", {box, "Backspace", "Ch1 2", {}, "Ch1 2 1 0,0", true});
        row("space: next page", {page, "Space", "Ch1 1", {}, "Ch1 2 1 M,0", true});
        // The page shown takes the focus: the button (to the last page) never sees the key.
        row("space on a button", {"cmdNavigate(3)", "Space", "Ch1 1", {}, "Ch1 2 1 M,0", false});
        row("folder box: space", {box, "Space", "Ch1 1", {}, "Ch1 1 1 0,0", true});
        row("z: zoom in", {page, "Z", "Ch1 1", {}, "Ch1 1 1.2 M,0", false});
        row("shift+z: zoom out", {page, "Shift+Z", "Ch1 1", {}, "Ch1 1 0.8 M,0", false});
        row("folder box: z", {box, "Z", "Ch1 1", {}, "Ch1 1 1 0,0", true});
        row("z with fit on", {page, "Shift+Z", "Ch1 1 fit", {}, "Ch1 1 1 0,0", true});
        row("folder box: a key of no command", {box, "A", "Ch1 1", {}, "Ch1 1 1 0,0", true});
        row("folder box: a key of no code", {box, "/", "Ch1 1", {}, "Ch1 1 1 0,0", true});
        row("down: the small step", {page, "Down", "Ch1 1", {0, 90}, "Ch1 1 1 0,95", false});
        row("pgdn stops at Max", {page, "PgDown", "Ch1 1", {0, 90}, "Ch1 1 1 0,M", false});
        row("pgdn at Max", {page, "PgDown", "Ch1 1", {0, 100}, "Ch1 1 1 0,M", true});
        row("pgdn with no bar", {page, "PgDown", "Ch1 1 fit", {}, "Ch1 1 1 0,0", true});
        row("up at 0", {page, "Up", "Ch1 1", {0, 0}, "Ch1 1 1 0,0", true});
        row("pgup: the large step", {page, "PgUp", "Ch1 1", {0, 50}, "Ch1 1 1 0,30", false});
        row("right: the large step", {page, "Right", "Ch1 1", {50, 0}, "Ch1 1 1 70,0", false});
        row("right at Max", {page, "Right", "Ch1 1", {100, 0}, "Ch1 1 1 M,0", true});
        row("left at 0", {page, "Left", "Ch1 1", {0, 0}, "Ch1 1 1 0,0", true});
        row("folder box keeps left", {box, "Left", "Ch1 1", {50, 0}, "Ch1 1 1 50,0", true});
        row("chapter list keeps down", {list, "Down", "Ch1 1", {0, 50}, "Ch2 1 1 M,0", true});
        row("chapter list keeps right", {list, "Right", "Ch2 1", {50, 0}, "Ch2 1 1 50,0", true});
        // The wheel over the page: the turns (angle deltas) in a row; never a page turned.
        row("wheel: a notch down", {page, "Wheel 0,-120", "Ch1 1", {0, 50}, "Ch1 1 1 0,55", false});
        row("wheel: 2 notches up", {page, "Wheel 0,240", "Ch1 1", {0, 50}, "Ch1 1 1 0,40", false});
        row("parts add up", {page, "Wheel 0,-60 0,-60", "Ch1 1", {0, 50}, "Ch1 1 1 0,55", false});
        row("wheel stops at Max", {page, "Wheel 0,-2400", "Ch1 1", {0, 50}, "Ch1 1 1 0,M", false});
        row("shift+wheel", {page, "Shift+Wheel 0,-120", "Ch1 1", {50, 0}, "Ch1 1 1 70,0", false});
        row("tilted wheel", {page, "Wheel 240,0", "Ch1 1", {50, 0}, "Ch1 1 1 10,0", false});
        row("wheel, no bar", {page, "Wheel 0,-120 -120,0", "Ch1 1 fit", {}, "Ch1 1 1 0,0", false});
    }
    void keys()
    {
        QFETCH(Press, p);
        open(p.before);
        auto *hs = c<QScrollBar>("hsImage"), *vs = c<QScrollBar>("vsImage");
        for (QScrollBar *bar : {hs, vs})
            bar->setMaximum(100), bar->setSingleStep(5), bar->setPageStep(20), bar->setValue(0);
        hs->setValue(p.bars.x()), vs->setValue(p.bars.y());
        c(p.focus)->setFocus();
        const QStringList turns = QString(p.keys).split(' '); // a key, or the wheel's turns
        const auto shift = turns[0].startsWith("Shift") ? Qt::ShiftModifier : Qt::NoModifier;
        for (const QString &turn : turns.mid(1)) {
            const QPoint angle(turn.section(',', 0, 0).toInt(), turn.section(',', 1).toInt());
            QWheelEvent wheel({9, 9}, c("Image1")->mapToGlobal(QPointF(9, 9)), {}, angle, {}, shift,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(c("Image1"), &wheel);
        }
        QCOMPARE(turns.size() == 1 && passesOn(QKeySequence(p.keys)[0]), p.passedOn);
        const auto at = [](QScrollBar *b) {
            return b->value() == b->maximum() ? QString("M") : QString::number(b->value());
        };
        QCOMPARE(state() + QString(" %1,%2").arg(at(hs), at(vs)), p.after);
    }

    // Strokes from a grip on the page, one after the other: the button, the bar's value at
    // the press, the pointer's moves in pixels (15 twips each), the value after.
    void dragMovesThePageWithinTheBar()
    {
        open("Ch1 1");
        c<QMenu>("RCMenu")->setEnabled(false); // no pop-up, as with no chapter open
        auto *vs = c<QScrollBar>("vsImage");
        QWidget *image = c("Image1");
        vs->setMaximum(3000);
        using Stroke = std::tuple<Qt::MouseButton, int, QList<int>, int>;
        const auto left = Qt::LeftButton;
        const auto at = [image](int dy) { return QPoint(40, 40 + dy) - image->pos(); };
        for (const auto &[button, start, moves, end] : {Stroke{left, 0, {-20}, 300},
                                                        {Qt::MiddleButton, 0, {-20}, 300},
                                                        {Qt::RightButton, 0, {-20}, 0},
                                                        {left, 0, {20}, 0},
                                                        {left, 2895, {-20, -10}, 3000},
                                                        {left, 2895, {-20, 0}, 2895}}) {
            vs->setValue(start);
            QTest::mousePress(image, button, {}, at(0));
            for (int dy : moves)
                QTest::mouseMove(image, at(dy));
            QTest::mouseRelease(image, button, {}, at(moves.back()));
            QCOMPARE(QList({start, vs->value(), Twips::top(image)}), QList({start, end, -end}));
        }
    }

    // The buttons and the entries one after the other: the state after each, the pop-up's
    // entries enabled (next/previous page, next/previous chapter, zoom in, out, none, fit) and
    // Fit To Window's marks.
    void buttonsAndEntries()
    {
        open("Ch1 1");
        auto *menu = c<QMenu>("RCMenu");
        for (const QString step :
             {"cmdNavigate(3) Ch1 3 1 01101101 000", "cmdNavigate(1) Ch1 2 1 11101101 000",
              "cmdNavigate(0) Ch1 1 1 10101101 000", "cmdNavigate(2) Ch1 2 1 11101101 000",
              "rcmnuNextPage Ch1 3 1 01101101 000", "rcmnuNextPage Ch1 3 1 01101101 000",
              "rcmnuPreviousChapter Ch1 3 1 01101101 000", "rcmnuNextChapter Ch2 1 1 10111101 000",
              "rcmnuZoomIn Ch2 1 1.2 10111111 000", "rcmnuZoomOut Ch2 1 0.96 10111111 000",
              "rcmnuFitToWindow Ch2 1 1 10110001 111", "rcmnuFitToWindow Ch2 1 1 10111101 000",
              "rcmnuNextChapter Ch3 1 1 00011101 000", "rcmnuZoomIn Ch3 1 1.2 00011111 000",
              "rcmnuNoZoom Ch3 1 1 00011101 000"}) {
            const QString name = step.section(' ', 0, 0), after = step.section(' ', 1);
            WindowFixtures::command(*w, name);
            QTest::mouseClick(c("Image1"), Qt::RightButton, {}, -c("Image1")->pos());
            QString shown = name + ": " + state() + (menu->isVisible() ? " " : " hidden ");
            for (QAction *a : menu->actions())
                shown += a->isSeparator() ? "" : a->isEnabled() ? "1" : "0";
            menu->close();
            // Fit To Window's three marks: the box, the View menu's entry, the pop-up's entry.
            shown += ' ';
            for (bool on : {c<QCheckBox>("chkFitToWindow")->isChecked(),
                            c<QAction>("mnuFitToWindow")->isChecked(),
                            c<QAction>("rcmnuFitToWindow")->isChecked()})
                shown += on ? '1' : '0';
            QCOMPARE(shown, name + ": " + after);
        }
    }

    // F11, the View menu's entry and Esc: in and out of full screen, the entry's mark showing
    // it, the page kept, the controls laid out as for an ordinary resize to the same size, and
    // the window back as it was, maximised too. Esc goes on to the control unless it leaves.
    void fullScreenComesAndGoes()
    {
        open("Ch1 2");
        auto *entry = c<QAction>("mnuFullScreen");
        const auto layout = [this] {
            QMap<QString, QRect> at;
            for (const QWidget *child : w->findChildren<QWidget *>())
                at[child->objectName()] = child->geometry();
            return at;
        };
        const QRect normal = w->geometry();
        QVERIFY(passesOn(Qt::Key_Escape) && !w->isFullScreen());
        passesOn(Qt::Key_F11);
        QTRY_VERIFY(w->isFullScreen() && w->size() == w->screen()->size());
        const QMap<QString, QRect> full = layout();
        QVERIFY(entry->isChecked() && state() == "Ch1 2 1");
        QVERIFY(!passesOn(Qt::Key_Escape));
        QTRY_VERIFY(!w->isFullScreen() && w->geometry() == normal && !entry->isChecked());
        w->resize(w->screen()->size());
        QTRY_COMPARE(layout(), full);
        w->showMaximized();
        QTRY_VERIFY(w->isMaximized());
        entry->trigger();
        QTRY_VERIFY(w->isFullScreen() && entry->isChecked());
        entry->trigger();
        QTRY_VERIFY(!w->isFullScreen() && w->isMaximized());
    }
};

PAGORA_TEST_MAIN(TestCommands)
#include "tst_commands.moc"
