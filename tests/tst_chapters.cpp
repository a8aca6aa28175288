// The chapter list of a series folder on the window, and what choosing a chapter shows.
#include "ScriptedPrompts.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "platform/PictureControls.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
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
        QStringList listed;
        for (int i = 0; i < chapters->count(); ++i)
            listed << chapters->itemText(i);
        QCOMPARE(listed, (QStringList{"Ch1", "Ch1.zip", "Ch10", "ch2.Zip", "folder.zip"}));

        // The picture files of the chapter folder alone; the first in name
        // order (the one PNG) shows first.
        auto view = choose("Ch1");
        QCOMPARE(std::tuple(view.chapter, view.page, view.pageCount, view.pngPage, view.zipChapter),
                 std::tuple(QString("Ch1"), qint16(1), qint16(3), true, false));
        QVERIFY(!image->picture().isNull());

        // A chapter whose folder went after the list was made opens empty and quietly.
        QVERIFY(QDir(series + "/Ch10").removeRecursively());
        QCOMPARE(choose("Ch10").pageCount, qint16(0));
        QVERIFY(image->picture().isNull() && prompts->shown.isEmpty());

        // The kind follows each choice: a folder is a folder whatever its name.
        QVERIFY(choose("ch2.Zip").zipChapter && !choose("folder.zip").zipChapter);
    }
};

PAGORA_TEST_MAIN(TestChapters)
#include "tst_chapters.moc"
