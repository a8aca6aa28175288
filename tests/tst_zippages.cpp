#include "archive/ZipPages.h"
#include "archive/modUnZip.h"
#include "platform/FileSystem.h"
#include "platform/PlatformError.h"
#include "TestEnvironment.h"
#include "SeriesFixtures.h"
#include "ZipFixtures.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using Names = QByteArrayList; // members of an archive
using Files = QStringList;    // entries of a folder

namespace {

const auto filesIn = SeriesFixtures::folderEntries;
const auto contentOf = SeriesFixtures::fileContent;

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

    QString archive;
    QString appFolder; // with its trailing "/", as the main window keeps it
    FileSystem fs;

private slots:
    void init()
    {
        archive = TestEnvironment::freshFolder(QStringLiteral("series")) + "/Ch001.zip";
        appFolder = TestEnvironment::freshFolder(QStringLiteral("run")) + QLatin1Char('/');
    }

    void replaceChars_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pairs");
        QTest::addColumn<QString>("result");
        QTest::newRow("page pattern") << "Ch[1]/p(2){3}<4>.jpg" << "[?]?(?)?{?}?<?>?"
                                      << "Ch?1?/p?2??3??4?.jpg";
        QTest::newRow("pairs in order, case-sensitive") << "abcA" << "abbc" << "cccA";
        QTest::newRow("odd last character ignored") << "ab" << "abb" << "bb";
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
        QTest::addColumn<Files>("pages");
        QTest::newRow("name order, folder entry dropped")
            << "b.jpg\tA.jpg\tc/\tCh/01.png\t" << Files{"A.jpg", "b.jpg", "Ch/01.png"};
        QTest::newRow("folder entry with a dot")
            << "Vol.1/\tVol.1/01.jpg\t" << Files{"Vol.1/01.jpg"};
        QTest::newRow("equal but for case keep archive order")
            << "b.jpg\tA.JPG\ta.jpg\tA.jpg\t" << Files{"A.JPG", "a.jpg", "A.jpg", "b.jpg"};
    }

    void pageNames()
    {
        QFETCH(QString, listText);
        QFETCH(Files, pages);
        QCOMPARE(zipPageNames(listText), pages);
    }

    void extractPage_data()
    {
        QTest::addColumn<Names>("archived");
        QTest::addColumn<QString>("member");
        QTest::addColumn<Files>("before"); // read-only files already in the run folder
        QTest::addColumn<QString>("ext");
        QTest::addColumn<Files>("after");
        const Names chapter{"Ch001/Sorvik01-00.jpg", "Ch001/Sorvik01-01.jpg"};
        const Files temp{"TempImage.jpg"}, none;
        QTest::newRow("folder part dropped, earlier page replaced")
            << chapter << "Ch001/Sorvik01-00.jpg" << temp << "jpg" << temp;
        QTest::newRow("other extension stays") << chapter << "Ch001/Sorvik01-01.jpg"
                                               << Files{"TempImage.png"} << "jpg"
                                               << Files{"TempImage.jpg", "TempImage.png"};
        QTest::newRow("dot in the folder part")
            << Names{"Vol.1/01.jpg"} << "Vol.1/01.jpg" << none << "jpg" << temp;
        // The extension follows the last dot of the bare name, three characters at most.
        QTest::newRow("second dot in the name")
            << Names{"Sorvik.01.jpg"} << "Sorvik.01.jpg" << none << "jpg" << temp;
        QTest::newRow("version dot") << Names{"x.v2.png"} << "x.v2.png" << none << "png"
                                     << Files{"TempImage.png"};
        QTest::newRow("four-letter extension") << Names{"page.jpeg"} << "page.jpeg" << none
                                               << "jpe" << Files{"TempImage.jpe"};
        // Only the member of exactly that name is read, even when another one
        // differs from it but for brackets and comes later in the archive.
        QTest::newRow("brackets, a look-alike member")
            << Names{"page[1].jpg", "page(1).jpg"} << "page[1].jpg" << none << "jpg" << temp;
        QTest::newRow("brackets in the folder part, same bare name")
            << Names{"a[1]/x.jpg", "a(1)/x.jpg"} << "a[1]/x.jpg" << none << "jpg" << temp;
        QTest::newRow("a name that reads as a wildcard")
            << Names{"*.jpg", "a.jpg", "b.jpg"} << "*.jpg" << none << "jpg" << temp;
        QTest::newRow("member missing") << Names{"a.jpg"} << "b.jpg" << temp << "" << none;
        // Nothing to write under the last part of the name: refused unread.
        QTest::newRow("name ends in ..") << Names{"Vol/.."} << "Vol/.." << none << "" << none;
        QTest::newRow("name ends in .") << Names{"Vol/."} << "Vol/." << none << "" << none;
    }

    void extractPage()
    {
        QFETCH(Names, archived);
        QFETCH(QString, member);
        QFETCH(Files, before);
        QFETCH(QString, ext);
        QFETCH(Files, after);
        QVERIFY(ZipFixtures::write(archive, ZipFixtures::members(archived)));
        for (const QString &name : before) {
            QVERIFY(ZipFixtures::writeBytes(appFolder + name, "earlier page"));
            fs.setAttributes(appFolder + name, FileAttribute::ReadOnly);
        }
        QByteArray bytes("from an earlier page");
        QCOMPARE(extractZipPage(fs, archive, member, appFolder, &bytes), ext);
        QCOMPARE(filesIn(appFolder), after);
        // The bytes handed back are the page file's, so decoding either is the same.
        if (!ext.isEmpty()) {
            QCOMPARE(bytes, ZipFixtures::pageBytes(member.toUtf8()));
            QCOMPARE(contentOf(appFolder + "TempImage." + ext), bytes);
        } else {
            QCOMPARE(bytes, QByteArray());
        }
        QCOMPARE(modUnZip::ZipMessageText.isEmpty(), !ext.isEmpty());
    }

    // A write cut short (here by the file size limit, as a full disk cuts
    // it) names the system's reason and the folder, and leaves no part.
    void pageFileWriteCutShortSaysWhy()
    {
        QVERIFY(ZipFixtures::write(archive, {ZipFixtures::file("big.jpg", QByteArray(3 << 20, 'x'))}));
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit unlimited{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
        rlimit small = unlimited;
        small.rlim_cur = 1 << 20;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const QString ext = extractZipPage(fs, archive, QStringLiteral("big.jpg"), appFolder);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &unlimited), 0);
        QCOMPARE(ext, QString());
        QVERIFY2(modUnZip::ZipMessageText.contains(
                     QStringLiteral("big.jpg  not extracted (cannot write into %1: File too large)").arg(appFolder.chopped(1))),
                 qPrintable(modUnZip::ZipMessageText));
        QCOMPARE(QDir(appFolder).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void extractPageFileErrorsPropagate()
    {
        QVERIFY(ZipFixtures::write(archive, ZipFixtures::members({"01.jpg"})));
        FailingMoves failing;
        QVERIFY_THROWS_EXCEPTION(PlatformError,
                                 extractZipPage(failing, archive, QStringLiteral("01.jpg"),
                                                appFolder));
    }
};

PAGORA_TEST_MAIN(TestZipPages)
#include "tst_zippages.moc"
