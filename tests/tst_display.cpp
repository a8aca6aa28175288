// Showing a page on the real window: navigation state, caption, sizing,
// scroll bars, the reading position saved, and the failure boxes.
#include "ScriptedPrompts.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "app/frmMain.h"
#include "platform/PictureControls.h"
#include "platform/Twips.h"
#include "settings/SettingsStore.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QtTest>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace SeriesFixtures;

namespace {

QStringList pageNames(int count) // p01.jpg, p02.jpg, ...
{
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names << QStringLiteral("p%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
    return names;
}

} // namespace

class TestDisplay : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmMain> w;
    ScriptedPrompts *prompts = nullptr;
    QString series;

    void open(const QString &chapter) { WindowFixtures::openSeries(*w, series, chapter); }

    void show(qint16 page) { w->ShowPage(w->PageIndex = page); }
    QString stored(const QString &section, const QString &key) { return SettingsStore().read(section, key, "<missing>"); }
    // The viewport inside its border, where the page shows.
    int insideWidth() const { return Twips::fromPixels(w->PicImage->contentsRect().width()); }
    int insideHeight() const { return Twips::fromPixels(w->PicImage->contentsRect().height()); }

    // Sizes the window so that the viewport, with no scroll bar shown,
    // measures the given twips.
    void setBarlessViewport(int widthTwips, int heightTwips)
    {
        const int barW = w->vsImage->isVisibleTo(w.get()) ? Twips::width(w->vsImage) : 0;
        const int barH = w->hsImage->isVisibleTo(w.get()) ? Twips::height(w->hsImage) : 0;
        const int dW = widthTwips - (Twips::width(w->PicImage) + barW);
        const int dH = heightTwips - (Twips::height(w->PicImage) + barH);
        const QSize target(w->width() + Twips::toPixels(dW), w->height() + Twips::toPixels(dH));
        w->resize(target);
        QTRY_COMPARE(w->LastWidth, Twips::fromPixels(target.width()));
        QTRY_COMPARE(w->LastHeight, Twips::fromPixels(target.height()));
    }

private slots:
    void init()
    {
        prompts = ScriptedPrompts::install();
        QFile::remove(TestEnvironment::settingsFile());
        series = TestEnvironment::freshFolder(QStringLiteral("series"));
        w = WindowFixtures::windowWithoutStartup();
    }
    void cleanup()
    {
        w.reset();
        Prompts::install(nullptr);
    }

    void navigationFollowsThePage_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("enabled"); // <<, <, >, >>, next entry, previous entry
        QTest::newRow("first of 10") << 10 << 1 << "001110";
        QTest::newRow("middle of 10") << 10 << 5 << "111111";
        QTest::newRow("last of 10") << 10 << 10 << "110001";
        QTest::newRow("only page") << 1 << 1 << "000000";
    }
    void navigationFollowsThePage()
    {
        QFETCH(int, pages);
        QFETCH(int, page);
        QFETCH(QString, enabled);
        makeFolderChapter(series, QStringLiteral("Ch001"), pageNames(pages), QSize(20, 20));
        open(QStringLiteral("Ch001"));
        show(page);
        QString actual;
        for (QPushButton *b : w->cmdNavigate)
            actual += b->isEnabled() ? '1' : '0';
        actual += w->rcmnuNextPage->isEnabled() ? '1' : '0';
        actual += w->rcmnuPreviousPage->isEnabled() ? '1' : '0';
        QCOMPARE(actual, enabled);
        QCOMPARE(w->lblPage->text(), QStringLiteral("Page %1 of %2").arg(page).arg(pages));
        QVERIFY(prompts->shown.isEmpty());
    }

    void pageOutsideTheChapterIsRefused_data()
    {
        QTest::addColumn<int>("page");
        QTest::newRow("zero") << 0;
        QTest::newRow("one past the last") << 4;
        QTest::newRow("negative") << -3;
    }
    void pageOutsideTheChapterIsRefused()
    {
        QFETCH(int, page);
        makeFolderChapter(series, QStringLiteral("Ch001"), pageNames(3), QSize(20, 20));
        open(QStringLiteral("Ch001"));
        show(2);
        QFile::remove(TestEnvironment::settingsFile());
        const QString caption = w->lblPage->text();
        const QImage shown = w->Image1->picture();
        show(qint16(page));
        QCOMPARE(w->PageIndex, qint16(page));
        QCOMPARE(w->lblPage->text(), caption);
        QCOMPARE(w->Image1->picture(), shown);
        QVERIFY(w->cmdNavigate[0]->isEnabled());
        QVERIFY(!QFile::exists(TestEnvironment::settingsFile()));
    }

    void readingPositionIsSavedAfterEachPage()
    {
        makeFolderChapter(series, QStringLiteral("Ch001"), pageNames(3), QSize(20, 20));
        open(QStringLiteral("Ch001"));
        show(3);
        QCOMPARE(QStringList({stored("General", "LastChapter"), stored("General", "LastPage"),
                              stored("General", "ChapterDirectory"), stored("PagoraDirs", series + QLatin1Char('/'))}),
                 QStringList({"Ch001", "3", series + QLatin1Char('/'), "Ch001^^ 3"}));
        QFile file(TestEnvironment::settingsFile()); // saved, not only held in memory
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("LastPage=3"));
    }

    // A position that cannot be saved is told once a run; reading goes on,
    // and the save that works again says nothing.
    void unsavedPositionIsToldOnce()
    {
        makeFolderChapter(series, QStringLiteral("Ch001"),
                          {QStringLiteral("p1.jpg"), QStringLiteral("p2.jpg"), QStringLiteral("p3.jpg")}, QSize(20, 20));
        open(QStringLiteral("Ch001"));
        const QString file = TestEnvironment::settingsFile();
        QVERIFY(QFile::remove(file) && QDir().mkpath(file));
        show(2);
        show(3);
        QCOMPARE(prompts->shown.size(), 1);
        const MessageRequest box = prompts->shown.first().message;
        QCOMPARE(std::tuple(box.title, box.icon, box.buttons),
                 std::tuple(QStringLiteral("Settings Not Saved"), PromptIcon::Information, PromptButtons::OK));
        QCOMPARE(box.text, QStringLiteral("The reading position could not be saved in the settings file ") + file
                               + QStringLiteral("\r\n\r\nReason: a folder is in its place"));
        QVERIFY(!w->Image1->picture().isNull());
        QCOMPARE(w->lblPage->text(), QStringLiteral("Page 3 of 3"));
        QVERIFY(QDir(file).removeRecursively());
        show(2);
        QCOMPARE(prompts->shown.size(), 1);
        QCOMPARE(QSettings(file, QSettings::IniFormat).value(QStringLiteral("LastPage")).toString(), QStringLiteral("2"));
    }

    void failedPagesShowTheirBoxAndSaveNothing_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::addColumn<QString>("error");
        QTest::newRow("missing file") << "p02.jpg" << QByteArray() << "53 File not found";
        QTest::newRow("corrupt jpeg") << "p02.jpg" << QByteArray("\xff\xd8\xff garbage", 12)
                                      << "481 Invalid picture";
        QTest::newRow("zero-byte gif") << "p02.gif" << QByteArray("") << "481 Invalid picture";
        QTest::newRow("not a png") << "p02.png" << QByteArray("plain text, no picture")
                                   << "481 Invalid picture";
    }
    void failedPagesShowTheirBoxAndSaveNothing()
    {
        QFETCH(QString, page);
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        const QString folder = makeFolderChapter(series, QStringLiteral("Ch001"),
                                                 {QStringLiteral("p01.jpg"), page}, QSize(20, 20));
        if (!content.isNull())
            writeBytes(folder + QLatin1Char('/') + page, content);
        open(QStringLiteral("Ch001"));
        if (content.isNull()) // gone after the chapter was opened
            QFile::remove(folder + QLatin1Char('/') + page);
        QVERIFY(prompts->shown.isEmpty());
        QVERIFY(!w->Image1->picture().isNull());
        show(2);
        QCOMPARE(prompts->shown.size(), 1);
        const MessageRequest box = prompts->shown.first().message;
        QCOMPARE(box.title, QStringLiteral("Error Accessing Page"));
        QCOMPARE(box.text, QStringLiteral("Unable to load the requested page:") + series
                               + QStringLiteral("/Ch001/") + page + QStringLiteral("\r\n\r\n")
                               + QStringLiteral("Error message was: ") + error);
        QCOMPARE(box.icon, PromptIcon::Information);
        QCOMPARE(box.buttons, PromptButtons::OK);
        // The new page's caption over an empty view; the position stays on page 1.
        QCOMPARE(w->lblPage->text(), QStringLiteral("Page 2 of 2"));
        QVERIFY(w->Image1->picture().isNull());
        QCOMPARE(stored("General", "LastPage"), QStringLiteral("1"));
    }

    void sameUnchangedPageIsNotDecodedAgain()
    {
        const QString folder = makeFolderChapter(series, QStringLiteral("Ch001"),
                                                 {QStringLiteral("a.jpg")}, QSize(900, 900));
        open(QStringLiteral("Ch001"));
        const qint64 decoded = w->Image1->picture().cacheKey();
        const QSize target = w->size() + QSize(30, 20);
        w->resize(target); // the layout shows the page again
        QTRY_COMPARE(w->LastWidth, Twips::fromPixels(target.width()));
        QCOMPARE(w->Image1->picture().cacheKey(), decoded);
        // A page file that changed is read again.
        writePage(folder + QStringLiteral("/a.jpg"), QSize(600, 900), Qt::red);
        show(1);
        QVERIFY(w->Image1->picture().cacheKey() != decoded);
        QCOMPARE(Twips::width(w->Image2), 9000);
    }

    void vanishedMediumClearsTheView_data()
    {
        QTest::addColumn<QString>("page");
        QTest::newRow("jpeg, the picture loader") << "p02.jpg";
        QTest::newRow("png, the png route") << "p02.png";
    }
    void vanishedMediumClearsTheView()
    {
        // A page the system can't reach (a socket stands in for a medium that
        // is gone: opening it fails as a missing device does).
        QFETCH(QString, page);
        const QString folder = makeFolderChapter(series, QStringLiteral("Ch001"),
                                                 {"p01.jpg", page}, QSize(20, 20));
        open(QStringLiteral("Ch001"));
        const QByteArray socketPath = QFile::encodeName(folder + QLatin1Char('/') + page);
        QVERIFY(QFile::remove(folder + QLatin1Char('/') + page));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, socketPath.constData(), sizeof(address.sun_path));
        QVERIFY(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0);
        show(2);
        ::close(fd);
        QCOMPARE(prompts->shown.size(), 1);
        const MessageRequest box = prompts->shown.first().message;
        QCOMPARE(box.title, QStringLiteral("Disk Not Ready"));
        QCOMPARE(box.text, QStringLiteral("Disk not ready. If you are using removable media such "
                                          "as a CD or Zip disk, please be sure it is properly inserted"));
        QCOMPARE(w->cboChapters->count(), 0);
        QVERIFY(!w->cboChapters->isEnabled());
        QVERIFY(!w->RCMenu->isEnabled());
        QCOMPARE(w->lblPage->text(), QString());
        QCOMPARE(stored("General", "LastPage"), QStringLiteral("1"));
    }

    void fitShrinksToTheViewport_data()
    {
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("tall page, fitted by height") << QSize(800, 1200) << 4000 << 6000;
        QTest::newRow("wide page, then cut to the width") << QSize(1000, 600) << 9000 << 5400;
        QTest::newRow("small page keeps its size") << QSize(100, 80) << 1500 << 1200;
    }
    void fitShrinksToTheViewport()
    {
        QFETCH(QSize, pixels);
        QFETCH(int, width);
        QFETCH(int, height);
        makeFolderChapter(series, QStringLiteral("Ch001"), {QStringLiteral("a.jpg")}, pixels);
        setBarlessViewport(9000, 6000);
        w->chkFitToWindow->setChecked(true);
        w->ZoomFactor = 2.0;
        open(QStringLiteral("Ch001"));
        QCOMPARE(w->ZoomFactor, 1.0);
        // The control holds whole pixels.
        QCOMPARE(Twips::width(w->Image1), Twips::fromPixels(Twips::toPixels(width)));
        QCOMPARE(Twips::height(w->Image1), Twips::fromPixels(Twips::toPixels(height)));
        QVERIFY(!w->vsImage->isVisible());
        QVERIFY(!w->hsImage->isVisible());
        QCOMPARE(Twips::width(w->PicImage), 9000);
        QCOMPARE(Twips::height(w->PicImage), 6000);
    }

    void zoomScalesTheNaturalSize()
    {
        makeFolderChapter(series, QStringLiteral("Ch001"), {QStringLiteral("a.jpg")},
                          QSize(600, 900));
        w->ZoomFactor = 1.2;
        open(QStringLiteral("Ch001"));
        QCOMPARE(Twips::width(w->Image1), 10800);
        QCOMPARE(Twips::height(w->Image1), 16200);
        QCOMPARE(Twips::width(w->Image2), 9000);
    }

    void horizontalBarOnlyForAWiderPage_data()
    {
        QTest::addColumn<int>("extraPixels");
        QTest::addColumn<bool>("barShown");
        QTest::newRow("exactly as wide as the inside") << 0 << false;
        QTest::newRow("one pixel wider") << 1 << true;
    }
    void horizontalBarOnlyForAWiderPage()
    {
        QFETCH(int, extraPixels);
        QFETCH(bool, barShown);
        // A short page, so no vertical bar takes width away.
        setBarlessViewport(9000, 6000);
        makeFolderChapter(series, QStringLiteral("Ch001"), {QStringLiteral("a.jpg")},
                          QSize(600 - 4 + extraPixels, 100)); // a 2-pixel border each side
        open(QStringLiteral("Ch001"));
        QCOMPARE(w->hsImage->isVisible(), barShown);
        QVERIFY(!w->vsImage->isVisible());
        if (barShown) {
            QCOMPARE(w->hsImage->maximum(), 15);
            QCOMPARE(Twips::height(w->PicImage), 6000 - Twips::height(w->hsImage));
        } else {
            QCOMPARE(w->hsImage->maximum(), 0);
            QCOMPARE(Twips::height(w->PicImage), 6000);
        }
    }

    void largePageOpensAtItsTopRight()
    {
        setBarlessViewport(9000, 6000);
        makeFolderChapter(series, QStringLiteral("Ch001"), {QStringLiteral("a.jpg")},
                          QSize(1000, 1000));
        open(QStringLiteral("Ch001"));
        QVERIFY(w->hsImage->isVisible());
        QVERIFY(w->vsImage->isVisible());
        const int viewW = 9000 - Twips::width(w->vsImage);
        const int viewH = 6000 - Twips::height(w->hsImage);
        QCOMPARE(Twips::width(w->PicImage), viewW);
        QCOMPARE(Twips::height(w->PicImage), viewH);
        QCOMPARE(w->hsImage->maximum(), 15000 - insideWidth());
        QCOMPARE(w->vsImage->maximum(), 15000 - insideHeight());
        QCOMPARE(w->hsImage->value(), w->hsImage->maximum());
        QCOMPARE(w->vsImage->value(), 0);
        QCOMPARE(Twips::left(w->Image1), -w->hsImage->maximum());
        QCOMPARE(Twips::top(w->Image1), 0);
        QCOMPARE(w->vsImage->pageStep(), qRound(w->vsImage->maximum() * 0.2));
        QCOMPARE(w->vsImage->singleStep(), qRound(w->vsImage->maximum() * 0.05));
        QCOMPARE(w->hsImage->pageStep(), qRound(w->hsImage->maximum() * 0.05));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w->PicImage));
        // At Max each far edge of the page meets the inside of the border.
        w->vsImage->setValue(w->vsImage->maximum());
        QCOMPARE(w->Image1->geometry().right() + 1, w->PicImage->contentsRect().width());
        QCOMPARE(w->Image1->geometry().bottom() + 1, w->PicImage->contentsRect().height());
    }

    void barsAreDecidedTogether()
    {
        // Fits the height only while there is no horizontal bar: once the
        // page needs one, it needs the vertical bar too, or the strip under
        // the horizontal bar would be out of reach.
        setBarlessViewport(9000, 6000);
        makeFolderChapter(series, QStringLiteral("Ch001"), {QStringLiteral("a.jpg")},
                          QSize(700, 395));
        makeFolderChapter(series, QStringLiteral("Ch002"), {QStringLiteral("a.jpg")},
                          QSize(50, 50));
        open(QStringLiteral("Ch001"));
        QVERIFY(w->hsImage->isVisible());
        QVERIFY(w->vsImage->isVisible());
        QCOMPARE(w->vsImage->maximum(), 395 * 15 - insideHeight());
        QVERIFY(w->vsImage->maximum() > 0);
        // A page that fits leaves both bars hidden with empty ranges.
        w->cboChapters->setCurrentIndex(w->cboChapters->findText(QStringLiteral("Ch002")));
        QVERIFY(!w->hsImage->isVisible());
        QVERIFY(!w->vsImage->isVisible());
        QCOMPARE(w->hsImage->maximum(), 0);
        QCOMPARE(w->vsImage->maximum(), 0);
        QCOMPARE(Twips::width(w->PicImage), 9000);
        QCOMPARE(Twips::height(w->PicImage), 6000);
    }

    void pngSurfaceNeverShows()
    {
        // The PNG page is drawn onto a surface in the window's bottom right
        // corner; it measures the page but none of it may ever be seen.
        setBarlessViewport(9000, 6000);
        makeFolderChapter(series, QStringLiteral("Ch001"), {"a.png", "b.jpg"}, QSize(1000, 1000));
        open(QStringLiteral("Ch001"));
        QVERIFY(w->IsPngPage);
        QCOMPARE(w->Picture2->size(), QSize(1000, 1000));
        QCOMPARE(Twips::left(w->Picture2), 8100);
        for (qint16 page : {1, 2}) {
            show(page);
            QVERIFY(w->hsImage->isVisible() && w->vsImage->isVisible());
            const QImage shot = w->centralWidget()->grab().toImage();
            const QColor margin(0, 0, 128);
            // The square between the two bars and the margin beyond them.
            const QPoint corner(w->vsImage->geometry().center().x(),
                                w->hsImage->geometry().center().y());
            QCOMPARE(shot.pixelColor(corner), margin);
            QCOMPARE(shot.pixelColor(shot.width() - 1, shot.height() - 1), margin);
        }
    }

    void tinyRangeStillStepsByOne()
    {
        setBarlessViewport(9000, 6000);
        makeFolderChapter(series, QStringLiteral("Ch001"), {QStringLiteral("a.jpg")},
                          QSize(50, 400 - 4 + 1)); // one pixel taller than the inside
        open(QStringLiteral("Ch001"));
        QCOMPARE(w->vsImage->maximum(), 15);
        QCOMPARE(w->vsImage->pageStep(), 3);
        QCOMPARE(w->vsImage->singleStep(), 1);
    }

    void everyPageOfAGeneratedSeriesShows()
    {
        makeFolderChapter(series, QStringLiteral("Ch1"), {"a.jpg", "b.png", "c.bmp", "d.gif"});
        makeFolderChapter(series, QStringLiteral("Ch2"), {"01.PNG", "02.JPG"}, QSize(700, 900));
        makeFolderChapter(series, QStringLiteral("Scans.png"), {"x.jpg"});
        open(QStringLiteral("Ch1"));
        for (int c = 0; c < w->cboChapters->count(); ++c) {
            w->cboChapters->setCurrentIndex(c);
            for (qint16 p = 1; p <= w->PageCount; ++p) {
                show(p);
                QVERIFY2(!w->Image1->picture().isNull(),
                         qPrintable(w->cboChapters->currentText() + ' ' + QString::number(p)));
                const QColor seen = w->Image1->picture().pixelColor(5, 5);
                const QColor wanted(Qt::darkCyan); // within what JPEG keeps
                QVERIFY(qAbs(seen.red() - wanted.red()) + qAbs(seen.green() - wanted.green())
                            + qAbs(seen.blue() - wanted.blue())
                        <= 8);
            }
        }
        QVERIFY(prompts->shown.isEmpty());
        QCOMPARE(w->cboChapters->currentText(), QStringLiteral("Scans.png"));
        QVERIFY(w->IsPngPage); // the folder's name sends its JPEG the PNG way
    }

    void clearViewEmptiesAndDisables()
    {
        makeFolderChapter(series, QStringLiteral("Ch001"), pageNames(3), QSize(20, 20));
        open(QStringLiteral("Ch001"));
        show(2);
        w->ClearView();
        QVERIFY(w->Image1->picture().isNull());
        for (QPushButton *b : w->cmdNavigate)
            QVERIFY(!b->isEnabled());
        QVERIFY(!w->rcmnuNextPage->isEnabled() && !w->rcmnuPreviousPage->isEnabled());
        QCOMPARE(w->lblPage->text(), QString());
        QCOMPARE(w->cboChapters->count(), 0);
        QVERIFY(!w->cboChapters->isEnabled());
        QVERIFY(!w->RCMenu->isEnabled());
        QCOMPARE(w->PageIndex, qint16(2));
        QCOMPARE(w->PageCount, qint16(3));
    }
};

PAGORA_TEST_MAIN(TestDisplay)
#include "tst_display.moc"
