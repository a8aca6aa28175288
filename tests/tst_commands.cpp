// The keys, the page buttons, the pop-up menu and dragging the page, on the real window.
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "platform/Twips.h"

#include <QtTest>
#include <QtWidgets>

using WindowFixtures::control;

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

// Focus by object name; chapters by name. Bar values as (horizontal, vertical).
struct KeyCase { const char *focus; int key, mods; bool fit; QString from; int fromPage;
                 QString chapter; int page; double zoom; bool passedOn; };
struct ScrollCase { const char *focus; int key; QPoint start, end; bool passedOn; };
struct DragCase { Qt::MouseButton button; int start; QList<int> moves; int end; };

} // namespace

Q_DECLARE_METATYPE(KeyCase)
Q_DECLARE_METATYPE(ScrollCase)
Q_DECLARE_METATYPE(DragCase)

class TestCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> w;

    template <typename T = QWidget> T *c(const char *name) { return control<T>(*w, name); }

    // Three chapters of 3, 2 and 1 pages larger than the viewport, opened as typed into
    // the folder box, at that page of that chapter.
    void open(const QString &chapter = "Ch1", int page = 1)
    {
        const QString series = TestEnvironment::freshFolder(QStringLiteral("series"));
        for (int n : {1, 2, 3})
            SeriesFixtures::makeFolderChapter(series, QString("Ch%1").arg(n),
                                              QStringList{"a.jpg", "b.jpg", "c.jpg"}.first(4 - n), {600, 900});
        w = WindowFixtures::firstRunWindow();
        c<QComboBox>("cboPagoraDir")->setFocus(), c<QComboBox>("cboPagoraDir")->setEditText(series);
        c("PicImage")->setFocus();
        c<QComboBox>("cboChapters")->setCurrentText(chapter);
        WindowFixtures::goToPage(*w, page);
    }

    // Presses a key on the named control; true when the key reached it.
    bool press(const char *focus, int key, int modifiers = Qt::NoModifier)
    {
        c(focus)->setFocus();
        QWidget *receiver = QApplication::focusWidget();
        KeySpy spy(key);
        receiver->installEventFilter(&spy);
        QTest::keyClick(receiver, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        receiver->removeEventFilter(&spy);
        return spy.presses > 0;
    }

private slots:
    void cleanup() { w.reset(); }

    void keys_data()
    {
        QTest::addColumn<KeyCase>("k");
        const char *page = "PicImage", *box = "cboPagoraDir", *list = "cboChapters";
        const int ctrl = Qt::ControlModifier, alt = Qt::AltModifier, shift = Qt::ShiftModifier;
        const int dn = Qt::Key_PageDown, up = Qt::Key_PageUp, sp = Qt::Key_Space, bs = Qt::Key_Backspace;
        const int z = Qt::Key_Z;
        const auto row = [](const char *name, KeyCase k) { QTest::newRow(name) << k; };
        row("ctrl+pgdn: next page", {page, dn, ctrl, false, "Ch1", 1, "Ch1", 2, 1.0, false});
        row("ctrl+pgdn on the last page", {page, dn, ctrl, false, "Ch1", 3, "Ch1", 3, 1.0, false});
        row("ctrl+pgup: previous page", {page, up, ctrl, false, "Ch1", 2, "Ch1", 1, 1.0, false});
        row("ctrl+pgup on page 1", {page, up, ctrl, false, "Ch1", 1, "Ch1", 1, 1.0, false});
        row("ctrl+alt+pgdn is ctrl", {page, dn, ctrl | alt, false, "Ch1", 1, "Ch1", 2, 1.0, false});
        row("alt+pgdn: next chapter", {page, dn, alt, false, "Ch1", 2, "Ch2", 1, 1.0, false});
        row("alt+pgup on the first chapter", {page, up, alt, false, "Ch1", 2, "Ch1", 2, 1.0, true});
        row("alt+pgdn on the last chapter", {page, dn, alt, false, "Ch3", 1, "Ch3", 1, 1.0, true});
        row("pgdn with no bar", {page, dn, 0, true, "Ch1", 1, "Ch1", 1, 1.0, true});
        row("chapter list: ctrl+pgdn is its own", {list, dn, ctrl, false, "Ch1", 1, "Ch2", 1, 1.0, true});
        row("backspace: previous page", {page, bs, 0, false, "Ch1", 2, "Ch1", 1, 1.0, true});
        row("backspace on page 1", {page, bs, 0, false, "Ch1", 1, "Ch1", 1, 1.0, true});
        row("folder box: backspace", {box, bs, 0, false, "Ch1", 2, "Ch1", 2, 1.0, true});
        row("space: next page", {page, sp, 0, false, "Ch1", 1, "Ch1", 2, 1.0, true});
        row("space on the last page", {page, sp, 0, false, "Ch1", 3, "Ch1", 3, 1.0, true});
        // The page shown took the focus: the button never sees the key.
        row("space on a page button", {"cmdNavigate(3)", sp, 0, false, "Ch1", 1, "Ch1", 2, 1.0, false});
        row("folder box: space", {box, sp, 0, false, "Ch1", 1, "Ch1", 1, 1.0, true});
        row("z: zoom in", {page, z, 0, false, "Ch1", 1, "Ch1", 1, 1.2, false});
        row("ctrl+z: zoom in", {page, z, ctrl, false, "Ch1", 1, "Ch1", 1, 1.2, false});
        row("shift+z: zoom out", {page, z, shift, false, "Ch1", 1, "Ch1", 1, 0.8, false});
        row("folder box: z", {box, z, 0, false, "Ch1", 1, "Ch1", 1, 1.0, true});
        row("z with fit on", {page, z, shift, true, "Ch1", 1, "Ch1", 1, 1.0, true});
        row("folder box: a key of no command", {box, Qt::Key_A, 0, false, "Ch1", 1, "Ch1", 1, 1.0, true});
    }
    void keys()
    {
        QFETCH(KeyCase, k);
        open(k.from, k.fromPage);
        c<QCheckBox>("chkFitToWindow")->setChecked(k.fit);
        const QString folderText = c<QComboBox>("cboPagoraDir")->currentText();
        QCOMPARE(press(k.focus, k.key, k.mods), k.passedOn);
        QCOMPARE(std::tuple(w->view().chapter, int(w->view().page), w->view().zoom),
                 std::tuple(k.chapter, k.page, k.zoom));
        QCOMPARE(c<QScrollBar>("vsImage")->value(), 0);
        // What the folder box gets, it types.
        QCOMPARE(c<QComboBox>("cboPagoraDir")->currentText() != folderText, k.focus == QLatin1String("cboPagoraDir"));
    }

    void scrollKeys_data()
    {
        QTest::addColumn<ScrollCase>("s");
        const char *page = "PicImage", *box = "cboPagoraDir", *list = "cboChapters";
        const int up = Qt::Key_Up, down = Qt::Key_Down, pgUp = Qt::Key_PageUp, pgDn = Qt::Key_PageDown;
        const int left = Qt::Key_Left, right = Qt::Key_Right;
        const auto row = [](const char *name, ScrollCase s) { QTest::newRow(name) << s; };
        row("down: the small step", {page, down, {0, 90}, {0, 95}, false});
        row("pgdn stops at Max", {page, pgDn, {0, 90}, {0, 100}, false});
        row("pgdn at Max", {page, pgDn, {0, 100}, {0, 100}, true});
        row("down at Max", {page, down, {0, 100}, {0, 100}, true});
        row("up stops at 0", {page, up, {0, 3}, {0, 0}, false});
        row("up at 0", {page, up, {0, 0}, {0, 0}, true});
        row("pgup: the large step", {page, pgUp, {0, 50}, {0, 30}, false});
        row("pgup at 0", {page, pgUp, {0, 0}, {0, 0}, true});
        row("right: the large step", {page, right, {50, 0}, {70, 0}, false});
        row("right at Max", {page, right, {100, 0}, {100, 0}, true});
        row("left stops at 0", {page, left, {10, 0}, {0, 0}, false});
        row("left at 0", {page, left, {0, 0}, {0, 0}, true});
        row("folder box: pgdn scrolls", {box, pgDn, {0, 0}, {0, 20}, false});
        row("folder box: up scrolls", {box, up, {0, 50}, {0, 45}, false});
        row("folder box keeps left", {box, left, {50, 0}, {50, 0}, true});
        row("chapter list keeps down", {list, down, {0, 50}, {-1, -1}, true});
        row("chapter list keeps left", {list, left, {50, 0}, {-1, -1}, true});
    }
    void scrollKeys()
    {
        QFETCH(ScrollCase, s);
        open();
        auto *hs = c<QScrollBar>("hsImage"), *vs = c<QScrollBar>("vsImage");
        for (QScrollBar *bar : {hs, vs})
            bar->setMaximum(100), bar->setSingleStep(5), bar->setPageStep(20);
        hs->setValue(s.start.x()), vs->setValue(s.start.y());
        QCOMPARE(press(s.focus, s.key), s.passedOn);
        if (s.end.x() < 0) // the chapter list may change the chapter itself
            return;
        QCOMPARE(QPoint(hs->value(), vs->value()), s.end);
        QCOMPARE(c("Image1")->pos(), QPoint(Twips::toPixels(-s.end.x()), Twips::toPixels(-s.end.y())));
    }

    void drag_data()
    {
        // Pointer moves in pixels from where it was pressed, 15 twips each.
        QTest::addColumn<DragCase>("d");
        QTest::newRow("left drag up") << DragCase{Qt::LeftButton, 0, {-20}, 300};
        QTest::newRow("middle drag up") << DragCase{Qt::MiddleButton, 0, {-20}, 300};
        QTest::newRow("down at 0") << DragCase{Qt::LeftButton, 0, {20}, 0};
        QTest::newRow("stops at Max, back short of the grip") << DragCase{Qt::LeftButton, 2895, {-20, -10}, 3000};
        QTest::newRow("stops at Max, back to the grip") << DragCase{Qt::LeftButton, 2895, {-20, 0}, 2895};
        QTest::newRow("right button") << DragCase{Qt::RightButton, 0, {-20}, 0};
    }
    void drag()
    {
        QFETCH(DragCase, d);
        open();
        c<QMenu>("RCMenu")->setEnabled(false); // as with no chapter: no pop-up
        auto *hs = c<QScrollBar>("hsImage"), *vs = c<QScrollBar>("vsImage");
        QWidget *image = c("Image1");
        vs->setMaximum(3000), vs->setValue(d.start);
        const int h = hs->value();
        const QPoint grip(40, 40);
        QTest::mousePress(image, d.button, {}, grip - image->pos());
        for (int dy : d.moves)
            QTest::mouseMove(image, grip + QPoint(0, dy) - image->pos());
        QTest::mouseRelease(image, d.button, {}, grip + QPoint(0, d.moves.last()) - image->pos());
        QCOMPARE(QList({hs->value(), vs->value(), Twips::top(image)}), QList({h, d.end, -d.end}));
        // The mouse up ended the drag: a move with the right button held moves nothing.
        QTest::mousePress(image, Qt::RightButton, {}, grip - image->pos());
        QTest::mouseMove(image, grip + QPoint(0, -30) - image->pos());
        QTest::mouseRelease(image, Qt::RightButton, {}, grip + QPoint(0, -30) - image->pos());
        QCOMPARE(vs->value(), d.end);
        QVERIFY(!c<QMenu>("RCMenu")->isVisible());
    }

    // Entries enabled: next/previous page, next/previous chapter, zoom in, out, none, fit.
    void popupEntries_data()
    {
        QTest::addColumn<QString>("chapter");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("fit");
        QTest::addColumn<bool>("zoomed");
        QTest::addColumn<QString>("enabled");
        QTest::newRow("first page, first chapter") << "Ch1" << 1 << false << false << "10101101";
        QTest::newRow("last page, middle chapter") << "Ch2" << 2 << false << false << "01111101";
        QTest::newRow("last chapter, zoomed") << "Ch3" << 1 << false << true << "00011111";
        QTest::newRow("fit on") << "Ch2" << 1 << true << false << "10110001";
    }
    void popupEntries()
    {
        QFETCH(QString, chapter);
        QFETCH(int, page);
        QFETCH(bool, fit);
        QFETCH(bool, zoomed);
        open(chapter, page);
        c<QCheckBox>("chkFitToWindow")->setChecked(fit);
        if (zoomed)
            c<QAction>("mnuZoomIn")->trigger();
        QWidget *image = c("Image1");
        QTest::mouseClick(image, Qt::RightButton, {}, QPoint(10, 10) - image->pos());
        auto *menu = c<QMenu>("RCMenu");
        QVERIFY(menu->isVisible());
        QString enabled;
        for (QAction *a : menu->actions())
            enabled += a->isSeparator() ? "" : a->isEnabled() ? "1" : "0";
        QTEST(enabled, "enabled");
        menu->close();
    }

    // The buttons and the pop-up's page entries, whose disabled state keeps the page in
    // range; the zoom steps stop where the page would overhang or shrink too far.
    void buttonsAndMenuEntries()
    {
        open();
        for (auto [button, page] : {std::pair{"cmdNavigate(3)", 3}, {"cmdNavigate(1)", 2},
                                    {"cmdNavigate(0)", 1}, {"cmdNavigate(0)", 1}, {"cmdNavigate(2)", 2}}) {
            QTest::mouseClick(c(button), Qt::LeftButton);
            QCOMPARE(w->view().page, page);
        }
        c<QAction>("rcmnuNextPage")->trigger();
        c<QAction>("rcmnuNextPage")->trigger(); // disabled on the last page
        c<QAction>("rcmnuPreviousChapter")->trigger(); // none before the first
        QCOMPARE(std::pair(w->view().chapter, int(w->view().page)), std::pair(QString("Ch1"), 3));
        c<QAction>("rcmnuNextChapter")->trigger();
        QCOMPARE(std::pair(w->view().chapter, int(w->view().page)), std::pair(QString("Ch2"), 1));
        for (int i = 0; i < 7; ++i) // a 900 x 600 pixel page: five steps in, 32000 twips over
            c<QAction>("rcmnuZoomIn")->trigger();
        QVERIFY(qFuzzyCompare(w->view().zoom, std::pow(1.2, 5)));
        c<QAction>("rcmnuNoZoom")->trigger();
        for (int i = 0; i < 11; ++i) // nine out, to 1000 twips a side
            c<QAction>("mnuZoomOut")->trigger();
        QVERIFY(qFuzzyCompare(w->view().zoom, std::pow(0.8, 9)));
        c<QAction>("mnuExit")->trigger();
        QVERIFY(!w->isVisible());
    }
};

PAGORA_TEST_MAIN(TestCommands)
#include "tst_commands.moc"
