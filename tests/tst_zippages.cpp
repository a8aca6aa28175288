#include "archive/ZipPages.h"
#include "archive/modUnZip.h"
#include "platform/FileSystem.h"
#include "platform/PlatformError.h"
#include "ScriptedPrompts.h"
#include "TestEnvironment.h"
#include "ZipFixtures.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                      | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A file-system layer whose moves fail, as a file in use would make them.
class FailingMoves : public FileSystem {
public:
    void moveFile(const QString &, const QString &) const override
    {
        throw PlatformError(ErrorNumber::PathFileAccessError,
                            QStringLiteral("Path/File access error"));
    }
};

} // namespace

class TestZipPages : public QObject {
    Q_OBJECT

    QString archiveFolder;
    QString appFolder; // with its trailing "/", as the main window keeps it
    FileSystem fs;

private slots:
    void init()
    {
        ScriptedPrompts::install();
        archiveFolder = TestEnvironment::freshFolder(QStringLiteral("series"));
        appFolder = TestEnvironment::freshFolder(QStringLiteral("run")) + QLatin1Char('/');
    }

    void replaceChars_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pairs");
        QTest::addColumn<QString>("result");
        QTest::newRow("page pattern") << "Ch[1]/p(2){3}<4>.jpg" << "[?]?(?)?{?}?<?>?"
                                      << "Ch?1?/p?2??3??4?.jpg";
        QTest::newRow("pairs in order") << "abc" << "abbc" << "ccc";
        QTest::newRow("case-sensitive") << "aA" << "ab" << "bA";
        QTest::newRow("odd last character ignored") << "ab" << "abb" << "bb";
        QTest::newRow("no pairs") << "a[b]" << "" << "a[b]";
    }

    void replaceChars()
    {
        QFETCH(QString, text);
        QFETCH(QString, pairs);
        QFETCH(QString, result);
        QCOMPARE(ReplaceChars(text, pairs), result);
    }

    void pageNames_data()
    {
        QTest::addColumn<QString>("listText");
        QTest::addColumn<QStringList>("pages");
        QTest::newRow("name order, folder entry dropped")
            << "b.jpg\tA.jpg\tc/\tCh/01.png\t" << QStringList{"A.jpg", "b.jpg", "Ch/01.png"};
        QTest::newRow("folder entry with a dot") << "Vol.1/\tVol.1/01.jpg\t"
                                                 << QStringList{"Vol.1/01.jpg"};
        QTest::newRow("equal but for case keep archive order")
            << "b.jpg\tA.JPG\ta.jpg\tA.jpg\t" << QStringList{"A.JPG", "a.jpg", "A.jpg", "b.jpg"};
        QTest::newRow("upper-cased ordinal order") << "a_1.jpg\tab.jpg\t2.jpg\t"
                                                   << QStringList{"2.jpg", "ab.jpg", "a_1.jpg"};
        QTest::newRow("names without a dot") << "README\tcover\t" << QStringList{};
        QTest::newRow("empty listing") << "" << QStringList{};
    }

    void pageNames()
    {
        QFETCH(QString, listText);
        QFETCH(QStringList, pages);
        QCOMPARE(zipPageNames(listText), pages);
    }

    void pageNamesKeepFirst32767()
    {
        // Listed from the end of the name order: the first met are the highest.
        QString listText;
        for (int i = 32799; i >= 0; --i)
            listText += QStringLiteral("p%1.jpg\t").arg(i, 5, 10, QLatin1Char('0'));
        const QStringList pages = zipPageNames(listText);
        QCOMPARE(pages.size(), 32767);
        QCOMPARE(pages.first(), QStringLiteral("p00033.jpg"));
        QCOMPARE(pages.last(), QStringLiteral("p32799.jpg"));
    }

    void listArchive()
    {
        const QString archive = archiveFolder + QStringLiteral("/Ch001.zip");
        QVERIFY(ZipFixtures::write(archive, {ZipFixtures::file("b.jpg"), ZipFixtures::file("A.jpg"),
                                             ZipFixtures::folder("c/"),
                                             ZipFixtures::file("Ch/01.png")}));
        QCOMPARE(listZipPages(archive), (QStringList{"A.jpg", "b.jpg", "Ch/01.png"}));
        QCOMPARE(listZipPages(archiveFolder + QStringLiteral("/missing.zip")), QStringList());
        QVERIFY(modUnZip::ZipMessageText.contains(QLatin1String("missing.zip")));
    }

    void extractPage_data()
    {
        QTest::addColumn<QByteArrayList>("archived");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QStringList>("before"); // files already in the run folder
        QTest::addColumn<QString>("ext");
        QTest::addColumn<QStringList>("after");
        const QByteArrayList chapter{"Ch001/Sorvik01-00.jpg", "Ch001/Sorvik01-01.jpg"};
        QTest::newRow("folder part dropped") << chapter << "Ch001/Sorvik01-00.jpg" << QStringList{}
                                             << "jpg" << QStringList{"TempImage.jpg"};
        QTest::newRow("other extension stays")
            << chapter << "Ch001/Sorvik01-01.jpg" << QStringList{"TempImage.png"} << "jpg"
            << QStringList{"TempImage.jpg", "TempImage.png"};
        QTest::newRow("brackets in the name") << QByteArrayList{"page[1].jpg"} << "page[1].jpg"
                                              << QStringList{} << "jpg"
                                              << QStringList{"TempImage.jpg"};
        QTest::newRow("dot in the folder part") << QByteArrayList{"Vol.1/01.jpg"} << "Vol.1/01.jpg"
                                                << QStringList{} << "jpg"
                                                << QStringList{"TempImage.jpg"};
        QTest::newRow("three characters after the dot") << QByteArrayList{"a/page.jpeg"}
                                                        << "a/page.jpeg" << QStringList{} << "jpe"
                                                        << QStringList{"TempImage.jpe"};
        QTest::newRow("pattern matching two members")
            << QByteArrayList{"page(1).jpg", "page[1].jpg"} << "page[1].jpg" << QStringList{}
            << "jpg" << QStringList{"TempImage.jpg", "page(1).jpg"};
        QTest::newRow("member named like the temporary file")
            << QByteArrayList{"x/TempImage.jpg"} << "x/TempImage.jpg"
            << QStringList{"TempImage.jpg"} << "jpg" << QStringList{"TempImage.jpg"};
        QTest::newRow("member missing") << QByteArrayList{"a.jpg"} << "b.jpg"
                                        << QStringList{"TempImage.jpg"} << "" << QStringList{};
    }

    void extractPage()
    {
        QFETCH(QByteArrayList, archived);
        QFETCH(QString, member);
        QFETCH(QStringList, before);
        QFETCH(QString, ext);
        QFETCH(QStringList, after);
        const QString archive = archiveFolder + QStringLiteral("/Ch001.zip");
        QVERIFY(ZipFixtures::write(archive, ZipFixtures::members(archived)));
        for (const QString &name : before)
            QVERIFY(ZipFixtures::writeBytes(appFolder + name, "earlier page"));
        QCOMPARE(extractZipPage(fs, archive, member, appFolder), ext);
        QCOMPARE(filesIn(appFolder), after);
        if (!ext.isEmpty())
            QCOMPARE(contentOf(appFolder + QStringLiteral("TempImage.") + ext),
                     ZipFixtures::pageBytes(member.toUtf8()));
        else
            QVERIFY(modUnZip::ZipMessageText.contains(QLatin1String("no member matches")));
    }

    void extractPageReplacesReadOnlyTemp()
    {
        const QString archive = archiveFolder + QStringLiteral("/Ch001.zip");
        QVERIFY(ZipFixtures::write(archive, ZipFixtures::members({"Ch001/01.jpg"})));
        const QString temp = appFolder + QStringLiteral("TempImage.jpg");
        QVERIFY(ZipFixtures::writeBytes(temp, "earlier page"));
        fs.setAttributes(temp, FileAttribute::ReadOnly);
        QCOMPARE(extractZipPage(fs, archive, QStringLiteral("Ch001/01.jpg"), appFolder),
                 QStringLiteral("jpg"));
        QCOMPARE(contentOf(temp), ZipFixtures::pageBytes("Ch001/01.jpg"));
    }

    void extractPageFileErrorsPropagate()
    {
        const QString archive = archiveFolder + QStringLiteral("/Ch001.zip");
        QVERIFY(ZipFixtures::write(archive, ZipFixtures::members({"01.jpg"})));
        FailingMoves failing;
        QVERIFY_THROWS_EXCEPTION(PlatformError,
                                 extractZipPage(failing, archive, QStringLiteral("01.jpg"),
                                                appFolder));
    }
};

PAGORA_TEST_MAIN(TestZipPages)
#include "tst_zippages.moc"
