// The name order shared by chapter and page lists, which entries are
// chapters, and which files of a chapter folder are pages.
#include "TestEnvironment.h"
#include "catalogue/ChapterCatalogue.h"
#include "catalogue/NameOrder.h"
#include "catalogue/PageList.h"

#include <QApplication>
#include <QtTest>
#include <clocale>

using List = QStringList;

class TestCatalogue : public QObject {
    Q_OBJECT

private slots:
    void chapterEntriesInNameOrder_data()
    {
        QTest::addColumn<List>("folders");
        QTest::addColumn<List>("archives");
        QTest::addColumn<List>("expected"); // the closing empty entry left out
        QTest::newRow("numbers as text, case ignored, prefix first")
            << List{"Ch10", "ch2", "Ch1"} << List{"Ch1.zip", "CH100.ZIP"}
            << List{"Ch1", "Ch1.zipZ!!Z", "Ch10", "CH100.ZIPZ!!Z", "ch2"};
        QTest::newRow("marker takes part in the key")
            << List{"Ch1.zip2"} << List{"Ch1.zip"} << List{"Ch1.zip2", "Ch1.zipZ!!Z"};
        QTest::newRow("upper-cased before comparing")
            << List{"Ch_1", "ChA"} << List{} << List{"ChA", "Ch_1"};
        QTest::newRow("hidden folders are no chapters")
            << List{".thumbnails", "Ch1"} << List{} << List{"Ch1"};
        // More than a sort orders by insertion, so an unstable one shows.
        List same;
        for (int i = 0; i < 40; ++i)
            same << List{"ab", "aB", "Ab", "AB"}[i % 4];
        QTest::newRow("equal keys keep their order")
            << List{"b"} + same << List{} << same + List{"b"};
    }
    void chapterEntriesInNameOrder()
    {
        QFETCH(List, folders);
        QFETCH(List, archives);
        QFETCH(List, expected);
        QCOMPARE(ChapterCatalogue::chapterEntries(folders, archives), expected + List{""});
    }

    // An entry ending in the marker is an archive shown without it; any other a folder.
    void chapterItemKindIsTheLastFourCharacters()
    {
        using namespace ChapterCatalogue;
        QCOMPARE(chapterItem("Ch1.zipZ!!Z").text, QString("Ch1.zip"));
        QCOMPARE(chapterItem("Ch1.zipZ!!Z").kind, ArchiveKind);
        for (const QString entry : {"Ch2", "Z!!Zebra", "Oddz!!z"})
            QCOMPARE(std::pair(chapterItem(entry).text, chapterItem(entry).kind),
                     std::pair(entry, FolderKind));
    }

    // Pages end in .BMP, .JPG, .GIF or .PNG in any case, and sort as chapters do.
    void folderPagesAreTheFourImageExtensions()
    {
        QCOMPARE(PageList::folderPageNames({"p10.jpg", "P2.JPG", "p1.png", "a.txt", "b.jpeg"}),
                 (List{"p1.png", "p10.jpg", "P2.JPG"}));
        QCOMPARE(PageList::folderPageNames({"JPG", ".png", "x.Gif", "y.bMp", "z.tif"}),
                 (List{".png", "x.Gif", "y.bMp"}));
    }

    // Counts are 16-bit: the first 32,767 met are kept, sub-folders first.
    void listsStopAtTheSixteenBitLimit()
    {
        List folders, files;
        for (int i = 0; i < 32767 + 5; ++i) {
            folders << QString::number(100000 + i);
            files << QStringLiteral("p%1.jpg").arg(40000 - i);
        }
        const List entries = ChapterCatalogue::chapterEntries(folders, {"late.zip"});
        QCOMPARE(entries.size(), 32768);
        QVERIFY(entries.last().isEmpty() && !entries.contains("132767"));
        const List pages = PageList::folderPageNames(files);
        QCOMPARE(pages.size(), 32767);
        QVERIFY(pages.contains(files.first()) && !pages.contains(files.last()));
    }

    // CTest runs this once more under tr_TR.UTF-8, whose collation puts "_"
    // and "-" before digits and "Ä" beside "A", and whose upper "i" is "İ".
    void nameOrderIsTheSameInEveryLocale()
    {
        // A locale named for the run must be in force, or the run proves nothing.
        if (const QByteArray wanted = qgetenv("LC_ALL"); !wanted.isEmpty()) {
            QCOMPARE(QByteArray(setlocale(LC_COLLATE, nullptr)), wanted);
            QCOMPARE(QLocale().name(), QLocale(QString::fromLatin1(wanted)).name());
        }
        const List names{"chi", "Ch_1", "äb", "ChJ", "ch2", "Ch-1", "Ch10", "ChA"};
        const List ordered{"Ch-1", "Ch10", "ch2", "ChA", "chi", "ChJ", "Ch_1", "äb"};
        QCOMPARE(ChapterCatalogue::chapterEntries(names, {}), ordered + List{""});
    }
};

PAGORA_TEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
