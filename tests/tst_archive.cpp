// The archive layer on its own: the page list of an archive and the page file left
// in the run folder, for zip chapters and for the RAR and 7z ones read through libarchive. What a
// reader sees of bad archives and passwords is in tst_badinput.
#include "ArchiveFixtures.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "ZipFixtures.h"
#include "archive/ZipPages.h"
#include "archive/modUnZip.h"
#include "platform/FileSystem.h"

#include <QtTest>

#include <zip.h>

namespace zf = ZipFixtures;
namespace af = ArchiveFixtures;
using Names = QByteArrayList; // members of an archive
using Files = QStringList;    // pages, or entries of a folder
using modUnZip::ZipMessageText;

class TestArchive : public QObject {
    Q_OBJECT

    QString archive, runFolder; // the run folder with its trailing "/", as the window keeps it
    FileSystem fs;

private slots:
    void init()
    {
        archive = TestEnvironment::freshFolder("series") + "/Ch001.zip";
        runFolder = TestEnvironment::freshFolder("run") + '/';
        ZipMessageText.clear();
    }

    void pageList_data()
    {
        QTest::addColumn<Names>("names");
        QTest::addColumn<Files>("pages");
        // Names equal but for case keep their archive order; a folder entry is no
        // page even with a dot, nor a name without one; a long name stays whole.
        const QByteArray longName = "d/" + QByteArray(300, 'n') + ".jpg";
        QTest::newRow("name order")
            << Names{"b.jpg", "A.JPG", "c/", longName, "a.jpg", "Vol.1/", "readme", "A.jpg"}
            << Files{"A.JPG", "a.jpg", "A.jpg", "b.jpg", longName};
        Names many; // in reverse: the first 32,767 met are the highest numbers
        for (int i = 39999; i >= 0; --i)
            many << "p" + QByteArray::number(i).rightJustified(5, '0') + ".jpg";
        QTest::newRow("40,000 members: the first 32,767")
            << many << Files(many.crend() - 32767, many.crend());
        QTest::newRow("empty archive") << Names{} << Files{};
    }

    void pageList()
    {
        QFETCH(Names, names);
        QVERIFY(zf::write(archive, zf::members(names)));
        QTEST(listZipPages(archive), "pages");
        QCOMPARE(ZipMessageText, QString());
    }

    void extractPage_data()
    {
        QTest::addColumn<Names>("names"); // in the archive; none: the member alone
        QTest::addColumn<QString>("member");
        QTest::addColumn<Files>("before"); // read-only files already in the run folder
        QTest::addColumn<QString>("ext");
        QTest::addColumn<Files>("after");
        const Files temp{"TempImage.jpg"}, none;
        QTest::newRow("folder part dropped, earlier page replaced")
            << Names{"Ch1/p0.jpg", "Ch1/p1.jpg"} << "Ch1/p0.jpg" << temp << "jpg" << temp;
        QTest::newRow("extension as spelled, another stays")
            << Names{} << "01.JPG" << temp << "JPG" << Files{"TempImage.JPG", temp[0]};
        // The extension follows the last dot of the bare name, three characters at most.
        QTest::newRow("dots") << Names{} << "V.1/p.01.jpg" << none << "jpg" << temp;
        QTest::newRow("a.jpeg") << Names{} << "a.jpeg" << none << "jpe" << Files{"TempImage.jpe"};
        // The page file of the extension goes even when the member can't be read.
        QTest::newRow("member missing") << Names{"a.jpg"} << "b.jpg" << temp << "" << none;
        QTest::newRow("name ends in ..") << Names{} << "Vol/.." << none << "" << none;
    }

    void extractPage()
    {
        QFETCH(Names, names);
        QFETCH(QString, member);
        QFETCH(Files, before);
        QFETCH(QString, ext);
        QVERIFY(zf::write(archive, zf::members(names.size() ? names : Names{member.toUtf8()})));
        for (const QString &name : before) {
            QVERIFY(zf::writeBytes(runFolder + name, "earlier page"));
            fs.setAttributes(runFolder + name, FileAttribute::ReadOnly);
        }
        QByteArray bytes("from an earlier page");
        QCOMPARE(extractZipPage(fs, archive, member, runFolder, &bytes), ext);
        QTEST(SeriesFixtures::folderEntries(runFolder), "after");
        QCOMPARE(bytes, ext.isEmpty() ? QByteArray() : zf::pageBytes(member.toUtf8()));
        QCOMPARE(SeriesFixtures::fileContent(runFolder + "TempImage." + ext), bytes);
        QCOMPARE(ZipMessageText.isEmpty(), !ext.isEmpty());
    }

    // RAR and 7z chapters keep the pages a zip of the same members would keep (a name with a
    // TAB is none), each read whole; a link is no page, whatever its name says; and however a
    // page is named, only the page file is written, in the run folder.
    void otherKindsReadLikeZip()
    {
        QList<zf::Member> members = zf::members(
            {"b.jpg", "A.JPG", "Vol.1/", "Vol.1/c.jpg", "ab", "x\tb.jpg"});
        members << zf::symlink("link.jpg", "b.jpg") << zf::file("../x.jpg");
        for (const QString name : {"Ch.cbr", "Ch.RAR", "Ch.cb7", "Ch.7Z"}) {
            const QString path = QFileInfo(archive).path() + '/' + name;
            QVERIFY(name.contains('7') ? af::write7z(path, members) : af::writeRar(path, members));
            const Files pages{"../x.jpg", "A.JPG", "b.jpg", "Vol.1/c.jpg"};
            QCOMPARE(listZipPages(path), pages);
            for (const QString &page : pages)
                QCOMPARE(readZipPage(path, page), zf::pageBytes(page.toUtf8()));
            QString message;
            QVERIFY(!readZipPage(path, "link.jpg", {}, &message));
            QVERIFY2(message.contains("symbolic link"), qPrintable(name + ": " + message));
            QCOMPARE(extractZipPage(fs, path, "../x.jpg", runFolder), "jpg");
            QCOMPARE(SeriesFixtures::folderEntries(runFolder), Files{"TempImage.jpg"});
            QVERIFY(!QFile::exists(runFolder + "../x.jpg") && ZipMessageText.isEmpty());
        }
    }

    void otherKindsRefuse_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("member");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<QString>("reason"); // in the archive message's line; none: read
        const QString dir = TestEnvironment::freshFolder("refused"), garbage = dir + "/garbage.cbr",
                      cut = dir + "/cut.cbr", seven = dir + "/Ch.cb7", locked = dir + "/zip.cbr";
        const qint64 cap = ZipArchive::MemberSizeLimit, size = zf::pageBytes("a.jpg").size();
        QVERIFY(zf::writeBytes(garbage, "not really an archive")
                && af::writeRar(cut, zf::members({"a.jpg"}))
                && zf::writeBytes(cut, SeriesFixtures::fileContent(cut).chopped(100))
                && af::write7z(seven, zf::members({"a.jpg"}))
                && zf::write(locked, {zf::encrypted("a.jpg", ZIP_EM_TRAD_PKWARE, "key")}));
        QTest::newRow("garbage") << garbage << "a.jpg" << cap << "Unrecognized archive format";
        QTest::newRow("cut short") << cut << "a.jpg" << cap << "Truncated";
        QTest::newRow("over the limit") << seven << "a.jpg" << size - 1 << "too large";
        QTest::newRow("at the limit") << seven << "a.jpg" << size << "";
        QTest::newRow("encrypted") << locked << "a.jpg" << cap << "not read";
        QTest::newRow("no such member") << seven << "A.jpg" << cap << "no member matches A.jpg";
    }

    void otherKindsRefuse()
    {
        QFETCH(QString, path);
        QFETCH(QString, member);
        QFETCH(qint64, limit);
        QFETCH(QString, reason);
        QString message;
        // These kinds never ask: a password asked for would open the encrypted one.
        const auto ask = [](const QString &) { return std::optional<QByteArray>("key"); };
        QCOMPARE(bool(readZipPage(path, member, ask, &message, limit)), reason.isEmpty());
        QVERIFY2(message.contains(reason), qPrintable(message));
    }

    // Page sizes come from each member's first 64 KiB, in the order asked, for every kind; a
    // member missing, encrypted, a link, or with its header further in, has none.
    void pageSizesFromMemberStarts()
    {
        const QSize wide(53, 37), tall(37, 53), none;
        const QByteArray jpeg = SeriesFixtures::solidPage(tall, Qt::red);
        const QByteArray app1 = QByteArray("\xFF\xE1\x9C\x42", 4) + QByteArray(40'000, 'x');
        const QList<zf::Member> members{
            zf::file("long.jpg", jpeg + QByteArray(100'000, '\0')),
            zf::file("a.png", SeriesFixtures::solidPage(wide, Qt::red, "PNG")),
            zf::file("deep.jpg", "\xFF\xD8" + app1 + app1 + jpeg.mid(2)),
            zf::symlink("link.jpg", "a.png"), // a plain member but in the zip: no picture
            zf::encrypted("locked.jpg", ZIP_EM_TRAD_PKWARE, "key")};
        const QStringList asked{"a.png",      "long.jpg", "missing.jpg", "deep.jpg",
                                "locked.jpg", "link.jpg", "a.png"};
        for (const QString name : {"Ch.cbz", "Ch.cbr", "Ch.cb7", "gone.cbz"}) {
            const QString path = QFileInfo(archive).path() + '/' + name;
            const bool gone = name.startsWith("gone");
            QVERIFY(gone
                    || (name.endsWith("cbz")   ? zf::write(path, members)
                        : name.endsWith("cbr") ? af::writeRar(path, members)
                                               : af::write7z(path, members)));
            const QList<QSize> sizes = gone
                                           ? QList<QSize>(asked.size())
                                           : QList<QSize>{wide, tall, none, none, none, none, wide};
            QCOMPARE(zipPageSizes(path, asked), sizes);
            QStringList many; // long enough to be sized in two halves, in order
            QList<QSize> manySizes;
            for (int i = 0; i < 10; ++i)
                many += asked, manySizes += sizes;
            QCOMPARE(zipPageSizes(path, many), manySizes);
            QCOMPARE(ZipMessageText, QString());
        }
    }
};

PAGORA_TEST_MAIN(TestArchive)
#include "tst_archive.moc"
