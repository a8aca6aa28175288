// The name order shared by chapter and page lists, which entries are
// chapters, and which files of a chapter folder are pages.
#include "TestEnvironment.h"
#include "catalogue/ChapterCatalogue.h"
#include "catalogue/NameOrder.h"
#include "catalogue/PageList.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QtTest>
#include <clocale>

namespace {

// The reference order: passes of adjacent exchanges until none swaps.
QStringList exchangeSorted(QStringList names)
{
    bool swapped = true;
    while (swapped) {
        swapped = false;
        for (qsizetype i = 0; i + 1 < names.size(); ++i)
            if (names[i].toUpper() > names[i + 1].toUpper()) {
                names.swapItemsAt(i, i + 1);
                swapped = true;
            }
    }
    return names;
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT

private slots:
    void chapterEntriesSortByUpperCasedOrdinalKey_data()
    {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QStringList>("archives");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("case ignored, prefix first, full stop before digits")
            << QStringList{"Ch10", "ch2", "Ch1"} << QStringList{"Ch1.zip", "CH100.ZIP"}
            << QStringList{"Ch1", "Ch1.zipZ!!Z", "Ch10", "CH100.ZIPZ!!Z", "ch2", ""};
        QTest::newRow("marker takes part in the key")
            << QStringList{"Ch1.zip2"} << QStringList{"Ch1.zip"}
            << QStringList{"Ch1.zip2", "Ch1.zipZ!!Z", ""};
        QTest::newRow("upper-cased before comparing")
            << QStringList{"Ch_1", "ChA"} << QStringList{}
            << QStringList{"ChA", "Ch_1", ""};
        QTest::newRow("equal keys keep enumeration order, folders before archives")
            << QStringList{"CH5", "Ch5", "ch5"} << QStringList{"ch5z!!z"}
            << QStringList{"CH5", "Ch5", "ch5", "ch5z!!zZ!!Z", ""};
        QTest::newRow("hidden folders are no chapters")
            << QStringList{".thumbnails", "Ch1", ".Trash-0"} << QStringList{"Ch2.zip"}
            << QStringList{"Ch1", "Ch2.zipZ!!Z", ""};
        QTest::newRow("nothing") << QStringList{} << QStringList{} << QStringList{""};
    }
    void chapterEntriesSortByUpperCasedOrdinalKey()
    {
        QFETCH(QStringList, folders);
        QFETCH(QStringList, archives);
        QFETCH(QStringList, expected);
        QCOMPARE(ChapterCatalogue::chapterEntries(folders, archives), expected);
    }

    void chapterItemIsRecognisedByItsLastFourCharacters_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::newRow("archive") << "Ch001.zipZ!!Z" << "Ch001.zip" << 1;
        QTest::newRow("folder") << "Ch002" << "Ch002" << 0;
        QTest::newRow("folder named with the marker") << "OddZ!!Z" << "Odd" << 1;
        QTest::newRow("marker not at the end") << "Z!!Zebra" << "Z!!Zebra" << 0;
        QTest::newRow("lower-case marker is no marker") << "Oddz!!z" << "Oddz!!z" << 0;
    }
    void chapterItemIsRecognisedByItsLastFourCharacters()
    {
        QFETCH(QString, entry);
        QFETCH(QString, text);
        QFETCH(int, kind);
        const auto item = ChapterCatalogue::chapterItem(entry);
        QCOMPARE(item.text, text);
        QCOMPARE(item.kind, kind);
    }

    void sortMatchesTheExchangeSortOnShuffledNames()
    {
        // Many near-equal names in mixed case: any instability or a
        // locale-aware comparison shows up as a different order.
        const QStringList stems = {"a", "A", "a1", "A1", "a_", "A-", "b", "ä", "Ä", "z", "Z",
                                   "a.b", "a.B", "", "~", "aa", "AA", "aA"};
        auto *random = QRandomGenerator::global();
        for (int round = 0; round < 20; ++round) {
            QStringList names;
            for (int i = 0; i < 60; ++i)
                names << stems[random->bounded(int(stems.size()))]
                             + QString::number(random->bounded(3));
            QStringList sorted = names;
            NameOrder::sort(sorted);
            QCOMPARE(sorted, exchangeSorted(names));
        }
    }

    void sortLeavesEntriesBeyondTheCountInPlace()
    {
        QStringList names{"b", "a", "", "0"};
        NameOrder::sort(names, 2);
        QCOMPARE(names, (QStringList{"a", "b", "", "0"}));
    }

    void chapterEntriesStopAtTheSixteenBitLimit()
    {
        QStringList folders;
        for (int i = 0; i < 32767; ++i)
            folders << QStringLiteral("F%1").arg(i, 5, 10, QLatin1Char('0'));
        const auto entries = ChapterCatalogue::chapterEntries(folders, {"late.zip"});
        QCOMPARE(entries.size(), 32768);
        QVERIFY(entries.last().isEmpty());
        QVERIFY(!entries.contains("late.zipZ!!Z"));
    }

    void folderPagesAreTheFourImageExtensions_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("pages");
        QTest::newRow("mixed folder")
            << QStringList{"p10.jpg", "P2.JPG", "p1.png", "notes.txt", "cover.jpeg"}
            << QStringList{"p1.png", "p10.jpg", "P2.JPG"};
        QTest::newRow("bare extension is a page, bare word is not")
            << QStringList{"JPG", ".png", "x.Gif", "y.bMp", "z.tif"}
            << QStringList{".png", "x.Gif", "y.bMp"};
        QTest::newRow("single page") << QStringList{"only.gif"} << QStringList{"only.gif"};
        QTest::newRow("none") << QStringList{"a.txt"} << QStringList{};
    }
    void folderPagesAreTheFourImageExtensions()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, pages);
        QCOMPARE(PageList::folderPageNames(files), pages);
    }

    void folderPagesStopAtTheSixteenBitLimitInEnumerationOrder()
    {
        QStringList files;
        for (int i = 0; i < 32767 + 5; ++i)
            files << QStringLiteral("p%1.jpg").arg(40000 - i);
        const auto pages = PageList::folderPageNames(files);
        QCOMPARE(pages.size(), 32767);
        QVERIFY(!pages.contains(files.last()));
        QVERIFY(pages.contains(files.first()));
    }

    // Chapters and pages keep the one order under any locale. CTest runs this
    // case once more under tr_TR.UTF-8, whose collation puts "_" and "-"
    // before digits and "Ä" beside "A", and whose upper case of "i" is "İ".
    void nameOrderIsTheSameInEveryLocale()
    {
        // A locale named for the run must be in force, or the run proves nothing.
        if (const QByteArray wanted = qgetenv("LC_ALL"); !wanted.isEmpty()) {
            QCOMPARE(QByteArray(setlocale(LC_COLLATE, nullptr)), wanted);
            QCOMPARE(QLocale().name(), QLocale(QString::fromLatin1(wanted)).name());
        }
        const QStringList names{"chi", "Ch_1", "äb", "ChJ", "ch2", "Ch-1", "Ch10", "ChA"};
        const QStringList ordered{"Ch-1", "Ch10", "ch2", "ChA", "chi", "ChJ", "Ch_1", "äb"};
        QCOMPARE(ChapterCatalogue::chapterEntries(names, {}), ordered + QStringList{""});
        const auto jpg = [](QStringList list) {
            for (QString &name : list)
                name += ".jpg";
            return list;
        };
        QCOMPARE(PageList::folderPageNames(jpg(names)), jpg(ordered));
    }
};

PAGORA_TEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
