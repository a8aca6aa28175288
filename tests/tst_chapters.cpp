// The chapter list of a series folder on the window, and what choosing a chapter shows.
#include "ArchiveFixtures.h"
#include "ScriptedPrompts.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "platform/PictureControls.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QtTest>

using namespace SeriesFixtures;
using WindowFixtures::control;

class TestChapters : public QObject {
    Q_OBJECT

private slots:
    void chaptersListedAndOpened()
    {
        const QString series = TestEnvironment::freshFolder(QStringLiteral("series"));
        makeFolderChapter(series, "Ch1", {"p10.jpg", "P2.JPG", "p1.png", "a.txt", "b.jpeg"});
        makeFolderChapter(series + "/Ch1", "extras", {"inner.jpg"});
        makeFolderChapter(series, "Ch10", {"a.jpg"});
        QDir(series).mkdir("folder.zip");
        for (const char *name : {"Ch1.zip", "ch2.Zip", ".hidden.zip", "notes.txt"})
            writeBytes(series + '/' + name, "not really an archive");
        QFile::link(series + "/gone", series + "/dangling.zip");
        auto *prompts = ScriptedPrompts::install();
        const auto w = WindowFixtures::firstRunWindow();
        w->OpenFolderAfterStartup(series); // no closing "/", as on the command line
        auto *chapters = control<QComboBox>(*w, "cboChapters");
        const auto *image = control<ImageControl>(*w, "Image1");
        const auto choose = [&](const QString &chapter) {
            chapters->setCurrentIndex(chapters->findText(chapter));
            return w->view();
        };

        // Sub-folders and archives (files only, no broken link, in any case) in
        // the name order, archives without the marker.
        QCOMPARE(WindowFixtures::items(chapters),
                 (QStringList{"Ch1", "Ch1.zip", "Ch10", "ch2.Zip", "folder.zip"}));

        // The picture files of the chapter folder alone; the first in name
        // order (the one PNG) shows first.
        auto view = choose("Ch1");
        QCOMPARE(std::tuple(view.chapter, view.page, view.pageCount, view.pngPage, view.zipChapter),
                 std::tuple(QString("Ch1"), qint16(1), qint16(3), true, false));
        QVERIFY(!image->picture().isNull());
        // A page whose file went after the list was made: its box, no picture, the place kept.
        QVERIFY(QFile::remove(series + "/Ch1/P2.JPG"));
        WindowFixtures::goToPage(*w, 3);
        const MessageRequest box = prompts->shown.value(0).message;
        QCOMPARE(control<QLabel>(*w, "lblPage")->text() + WindowFixtures::pageButtons(*w)
                     + box.title + ": " + box.text,
                 "Page 3 of 31100Error Accessing Page: Unable to load the requested page:" + series
                     + "/Ch1/P2.JPG\r\n\r\nError message was: 53 File not found");
        QVERIFY(image->picture().isNull() && prompts->shown.size() == 1);
        QCOMPARE(SettingsStore().read("General", "LastPage", {}), "2");
        prompts->shown.clear();

        // A chapter whose folder went after the list was made opens empty and quietly.
        QVERIFY(QDir(series + "/Ch10").removeRecursively());
        QCOMPARE(choose("Ch10").pageCount, qint16(0));
        QVERIFY(image->picture().isNull() && prompts->shown.isEmpty());

        // The kind follows each choice: a folder is a folder whatever its name.
        QVERIFY(choose("ch2.Zip").zipChapter && !choose("folder.zip").zipChapter);
    }

    // Every kind of chapter in one series, in the name order, read page by page (p1 a red
    // JPEG, p2 a blue WebP, named in any case); an archive no library reads says why, and
    // reading goes on.
    void archiveKindsReadPageByPage()
    {
        const QString series = TestEnvironment::freshFolder(QStringLiteral("kinds"));
        writePage(series + "/Ch1/p1.jpg", {80, 120}, Qt::red);
        writePage(series + "/Ch1/p2.WEBP", {80, 120}, Qt::blue);
        writeBytes(series + "/Ch1/p3.webp.txt", "no page");
        const QList<ZipFixtures::Member> pages{
            ZipFixtures::file("p2.webp", solidPage(QSize(80, 120), Qt::blue, "WEBP")),
            ZipFixtures::file("p1.jpg", solidPage(QSize(80, 120), Qt::red))};
        QVERIFY(ZipFixtures::write(series + "/Ch2.zip", pages)
                && ZipFixtures::write(series + "/Ch3.CBZ", pages)
                && ArchiveFixtures::writeRar(series + "/Ch4.cbr", pages)
                && ArchiveFixtures::write7z(series + "/Ch5.cb7", pages)
                && ArchiveFixtures::write7z(series + "/.hidden.cb7", pages));
        writeBytes(series + "/Ch6.cbr", "not really an archive");
        auto *prompts = ScriptedPrompts::install();
        const auto w = WindowFixtures::firstRunWindow();
        WindowFixtures::openSeries(*w, series);
        auto *chapters = control<QComboBox>(*w, "cboChapters");
        const auto *image = control<ImageControl>(*w, "Image1");
        QCOMPARE(WindowFixtures::items(chapters),
                 (QStringList{"Ch1", "Ch2.zip", "Ch3.CBZ", "Ch4.cbr", "Ch5.cb7", "Ch6.cbr"}));

        for (int chapter = 0; chapter <= 4; ++chapter) {
            chapters->setCurrentIndex(chapter);
            for (const int page : {2, 1}) {
                WindowFixtures::goToPage(*w, page);
                QCOMPARE(std::tuple(w->view().page, w->view().pageCount, w->view().zipChapter),
                         std::tuple(qint16(page), qint16(2), chapter > 0));
                QCOMPARE(image->picture().pixelColor(10, 10).blue() > 128, page == 2);
            }
        }
        QVERIFY(prompts->shown.isEmpty());
        chapters->setCurrentIndex(5);
        const QString box = prompts->shown.value(0).message.text;
        QVERIFY2(box.startsWith("Unable to read the image zip archive: " + series + "/Ch6.cbr")
                     && box.contains("Zip Information: \r\n")
                     && box.contains("Unrecognized archive format"),
                 qPrintable(box));
        chapters->setCurrentIndex(3);
        QVERIFY(w->view().page == 1 && !image->picture().isNull());
    }
};

PAGORA_TEST_MAIN(TestChapters)
#include "tst_chapters.moc"
