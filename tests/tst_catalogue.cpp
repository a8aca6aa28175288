// The name order shared by chapter and page lists, which entries are
// chapters, and which files of a chapter folder are pages.
#include "TestEnvironment.h"
#include "catalogue/ChapterCatalogue.h"
#include "catalogue/PageList.h"
#include "catalogue/Spreads.h"

#include <QApplication>
#include <QtTest>
#include <clocale>

using List = QStringList;
using namespace ChapterCatalogue;

class TestCatalogue : public QObject {
    Q_OBJECT

private slots:
    void nameOrderIsTheSameInEveryLocale_data()
    {
        QTest::addColumn<List>("folders");
        QTest::addColumn<List>("archives");
        QTest::addColumn<List>("expected"); // shown, archives marked "#"; no closing ""
        QTest::newRow("numbers as text, case ignored, prefix first")
            << List{"Ch10", "ch2", "Ch1"} << List{"Ch1.zip", "CH100.ZIP"}
            << List{"Ch1", "Ch1.zip#", "Ch10", "CH100.ZIP#", "ch2"};
        QTest::newRow("marker takes part in the key")
            << List{"Ch1.zip2"} << List{"Ch1.zip"} << List{"Ch1.zip2", "Ch1.zip#"};
        QTest::newRow("folders like the marker")
            << List{"Z!!Zebra", "Oddz!!z"} << List{} << List{"Oddz!!z", "Z!!Zebra"};
        // CTest runs this once more under tr_TR.UTF-8, whose collation puts "_" and "-" before
        // digits and "Ä" beside "A", and whose upper "i" is "İ": upper-cased bytes compare.
        QTest::newRow("the same in every locale")
            << List{"chi", "Ch_1", "äb", "ChJ", "ch2", "Ch-1", "Ch10", "ChA"} << List{}
            << List{"Ch-1", "Ch10", "ch2", "ChA", "chi", "ChJ", "Ch_1", "äb"};
        QTest::newRow("hidden folders are no chapters")
            << List{".thumbnails", "Ch1"} << List{} << List{"Ch1"};
        // More than a sort orders by insertion, so an unstable one shows.
        List same;
        for (int i = 0; i < 40; ++i)
            same << List{"ab", "aB", "Ab", "AB"}[i % 4];
        QTest::newRow("equal keys keep their order")
            << List{"b"} + same << List{} << same + List{"b"};
    }
    void nameOrderIsTheSameInEveryLocale()
    {
        QFETCH(List, folders);
        QFETCH(List, archives);
        QFETCH(List, expected);
        // A locale named for the run must be in force, or the run proves nothing.
        if (const QByteArray wanted = qgetenv("LC_ALL"); !wanted.isEmpty()) {
            QCOMPARE(QByteArray(setlocale(LC_COLLATE, nullptr)), wanted);
            QCOMPARE(QLocale().name(), QLocale(QString::fromLatin1(wanted)).name());
        }
        List shown;
        for (const QString &entry : chapterEntries(folders, archives))
            shown << chapterItem(entry).text + (chapterItem(entry).kind == ArchiveKind ? "#" : "");
        QCOMPARE(shown, expected + List{""});
    }

    // Pages end in .BMP, .JPG, .GIF, .PNG or .WEBP in any case, and sort as chapters do.
    void folderPagesAreImageExtensions()
    {
        QCOMPARE(
            PageList::folderPageNames({"p10.jpg", "P2.JPG", "p1.png", "a.txt", "b.jpeg", "JPG",
                                       ".png", "x.Gif", "y.bMp", "z.tif", "q.WebP", "r.webpx"}),
            (List{".png", "p1.png", "p10.jpg", "P2.JPG", "q.WebP", "x.Gif", "y.bMp"}));
    }

    // Counts are 16-bit: the first 32,767 met are kept, sub-folders first.
    void listsStopAtTheSixteenBitLimit()
    {
        List folders, files;
        for (int i = 0; i < 32767 + 5; ++i) {
            folders << QString::number(100000 + i);
            files << QStringLiteral("p%1.jpg").arg(40000 - i);
        }
        QCOMPARE(chapterEntries(folders, {"late.zip"}).mid(32765), (List{"132765", "132766", ""}));
        const List pages = PageList::folderPageNames(files);
        QVERIFY(pages.size() == 32767 && pages.contains(files[0]) && !pages.contains(files.last()));
    }

    // Pages "t" tall, "w" wide, "?" of no readable size; the spreads as "first[-second]" pages.
    // Every page, reached from either side, is found in the spread that holds it; the sizes of
    // the first pages alone give the first spreads, never one the whole chapter would not.
    void spreads_data()
    {
        QTest::addColumn<QString>("pages");
        QTest::addColumn<QString>("spreads");
        const auto row = [](const char *tag, const char *pages, const char *spreads) {
            QTest::newRow(tag) << QString(pages) << QString(spreads);
        };
        row("cover alone, then pairs", "ttttt", "1 2-3 4-5");
        row("odd last page alone", "tttt", "1 2-3 4");
        row("a wide page alone, its neighbours too", "tttwtt", "1 2-3 4 5-6");
        row("wide next: alone", "ttwt", "1 2 3 4");
        row("unreadable counts as tall", "t??w", "1 2-3 4");
        row("wide cover", "wtt", "1 2-3");
        row("one page", "t", "1");
        row("no pages", "", "");
    }
    void spreads()
    {
        QFETCH(QString, pages);
        QList<QSize> sizes;
        for (const QChar kind : pages)
            sizes << (kind == 't' ? QSize(100, 150) : kind == 'w' ? QSize(150, 100) : QSize());
        const QList<Spreads::Spread> spreads = Spreads::split(sizes);
        QStringList shown;
        for (const Spreads::Spread &s : spreads)
            shown << QString::number(s.first + 1)
                         + (s.count == 2 ? '-' + QString::number(s.first + 2) : QString());
        QTEST(shown.join(' '), "spreads");
        for (int page = -1; page <= pages.size(); ++page) {
            const int at = Spreads::holding(spreads, page);
            const bool inside = page >= 0 && page < pages.size();
            QVERIFY(inside
                        ? spreads[at].first <= page && page < spreads[at].first + spreads[at].count
                        : at == -1);
        }
        for (int known = 0; known <= sizes.size(); ++known) {
            const QList<Spreads::Spread> first = Spreads::split(sizes.mid(0, known), sizes.size());
            QVERIFY(first == spreads.mid(0, first.size()));
            QVERIFY(first.size() >= (known + 1) / 2); // each spread decided as soon as it can be
        }
    }
};

PAGORA_TEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
