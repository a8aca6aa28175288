// The chapter list of a series folder on the real window, and what choosing
// a chapter does.
#include "ScriptedPrompts.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "app/frmMain.h"
#include "platform/PictureControls.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QtTest>

using namespace SeriesFixtures;

class TestChapters : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmMain> w;
    ScriptedPrompts *prompts = nullptr;
    QString series;

    QStringList items() const
    {
        QStringList list;
        for (int i = 0; i < w->cboChapters->count(); ++i)
            list << w->cboChapters->itemText(i) + QLatin1Char(':')
                        + w->cboChapters->itemData(i).toString();
        return list;
    }

    void openFolder() { WindowFixtures::openSeries(*w, series, -1); }

private slots:
    void init()
    {
        prompts = ScriptedPrompts::install();
        series = TestEnvironment::freshFolder(QStringLiteral("series"));
        w = std::make_unique<frmMain>();
    }
    void cleanup()
    {
        w.reset();
        Prompts::install(nullptr);
    }

    void folderAndArchiveChaptersAreListedInOrderWithTheirKind()
    {
        for (const char *name : {"Ch10", "ch2", "Ch1", "Ch1.zip2"})
            QDir().mkpath(series + '/' + name);
        for (const char *name : {"Ch1.zip", "CH100.ZIP", ".hidden.zip", "notes.txt"})
            writeBytes(series + '/' + name, "x");
        QDir().mkpath(series + "/folder.zip"); // a folder, whatever its name
        openFolder();
        QCOMPARE(items(), (QStringList{"Ch1:0", "Ch1.zip2:0", "Ch1.zip:1", "Ch10:0",
                                       "CH100.ZIP:1", "ch2:0", "folder.zip:0"}));
        QCOMPARE(w->cboChapters->currentIndex(), -1);
        QCOMPARE(w->ChapterNames.size(), 8);
        QVERIFY(w->ChapterNames.last().isEmpty());
    }

    void folderWithoutChaptersLeavesThePageOnScreen()
    {
        makeFolderChapter(series, QStringLiteral("Ch1"), {QStringLiteral("a.jpg")});
        openFolder();
        w->cboChapters->setCurrentIndex(0);
        QVERIFY(!w->Image1->picture().isNull());

        const QString other = TestEnvironment::freshFolder(QStringLiteral("nochapters"));
        writeBytes(other + QStringLiteral("/Readme.txt"), "hello");
        w->LoadChapterList(other + QLatin1Char('/'));
        QCOMPARE(w->cboChapters->count(), 0);
        QVERIFY(!w->Image1->picture().isNull());

        w->LoadChapterList(other + QStringLiteral("/missing/"));
        QCOMPARE(w->cboChapters->count(), 0);
        QVERIFY(!w->Image1->picture().isNull());

        // A folder with chapters clears the old page at once.
        w->LoadChapterList(series + QLatin1Char('/'));
        QVERIFY(w->Image1->picture().isNull());
    }

    void choosingAChapterOpensItsFirstPage()
    {
        makeFolderChapter(series, QStringLiteral("Ch1"),
                          {"p10.jpg", "P2.JPG", "p1.png", "notes.txt", "cover.jpeg"});
        QDir().mkpath(series + QStringLiteral("/Ch1/extras"));
        writePage(series + QStringLiteral("/Ch1/extras/inner.jpg"), QSize(10, 10));
        openFolder();
        w->cboChapters->setCurrentIndex(0);
        QCOMPARE(w->PageNames, (QStringList{"p1.png", "p10.jpg", "P2.JPG"}));
        QCOMPARE(w->PageCount, qint16(3));
        QCOMPARE(w->PageIndex, qint16(1));
        QCOMPARE(w->IsZipChapter, kFalse16);
        QCOMPARE(w->lblPage->text(), QStringLiteral("Page 1 of 3"));
        QVERIFY(!w->Image1->picture().isNull());
        QVERIFY(w->ChapterFolder);
    }

    void chapterWithoutPagesEmptiesTheView()
    {
        makeFolderChapter(series, QStringLiteral("Ch1"), {QStringLiteral("a.jpg")});
        makeFolderChapter(series, QStringLiteral("Ch2"), {});
        writeBytes(series + QStringLiteral("/Ch2/readme.txt"), "no pages here");
        openFolder();
        w->cboChapters->setCurrentIndex(0);
        QCOMPARE(w->lblPage->text(), QStringLiteral("Page 1 of 1"));
        w->cboChapters->setCurrentIndex(1);
        QCOMPARE(w->PageCount, qint16(0));
        QCOMPARE(w->PageNames, QStringList{QString()});
        QCOMPARE(w->PageIndex, qint16(1));
        QCOMPARE(w->lblPage->text(), QString());
        QVERIFY(w->Image1->picture().isNull());
        QVERIFY(prompts->shown.isEmpty());
    }

    void vanishedChapterFolderOpensEmpty()
    {
        makeFolderChapter(series, QStringLiteral("Ch1"), {QStringLiteral("a.jpg")});
        makeFolderChapter(series, QStringLiteral("Ch2"), {QStringLiteral("a.jpg")});
        openFolder();
        w->cboChapters->setCurrentIndex(0);
        QVERIFY(QDir(series + QStringLiteral("/Ch2")).removeRecursively());
        w->cboChapters->setCurrentIndex(1);
        QCOMPARE(w->PageCount, qint16(0));
        QCOMPARE(w->lblPage->text(), QString());
        QVERIFY(w->Image1->picture().isNull());
    }

    void kindFollowsEachChoice()
    {
        makeFolderChapter(series, QStringLiteral("A"), {QStringLiteral("a.jpg")});
        writeBytes(series + QStringLiteral("/B.zip"), "not really a zip");
        makeFolderChapter(series, QStringLiteral("C"), {QStringLiteral("a.jpg")});
        openFolder();
        w->cboChapters->setCurrentIndex(0);
        QCOMPARE(w->IsZipChapter, kFalse16);
        w->cboChapters->setCurrentIndex(1);
        QCOMPARE(w->IsZipChapter, kTrue16);
        w->cboChapters->setCurrentIndex(2);
        QCOMPARE(w->IsZipChapter, kFalse16);
    }
};

PAGORA_TEST_MAIN(TestChapters)
#include "tst_chapters.moc"
