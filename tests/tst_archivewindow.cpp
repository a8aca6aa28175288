// Zip chapters on the real window: read like folder chapters, encrypted
// ones ask once, and failures say what went wrong.
#include "ScriptedPrompts.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "ZipFixtures.h"
#include "app/frmMain.h"
#include "archive/modUnZip.h"
#include "platform/PictureControls.h"

#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QtTest>
#include <zip.h>

using namespace SeriesFixtures;

namespace {

// A one-colour JPEG member, encrypted with "sesame" when a method is given.
ZipFixtures::Member page(const QByteArray &name, const QColor &colour, int method = 0)
{
    ZipFixtures::Member member = ZipFixtures::file(name, solidJpeg(QSize(60, 80), colour));
    member.encryption = quint16(method);
    member.password = method ? "sesame" : "";
    return member;
}

} // namespace

class TestArchiveWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmMain> w;
    ScriptedPrompts *prompts = nullptr;
    QString series;

    void openChapter(const QString &chapter) { WindowFixtures::openSeries(*w, series, chapter); }

    void show(qint16 page) { w->ShowPage(w->PageIndex = page); }

    bool shows(const QColor &wanted) const // within what JPEG keeps of a solid colour
    {
        const QColor seen = w->Image1->picture().pixelColor(30, 40);
        return qAbs(seen.red() - wanted.red()) + qAbs(seen.green() - wanted.green())
                   + qAbs(seen.blue() - wanted.blue()) <= 12;
    }

private slots:
    void init()
    {
        prompts = ScriptedPrompts::install();
        modUnZip::ZipPasswordCancelled = 0;
        series = TestEnvironment::freshFolder(QStringLiteral("series"));
        w = WindowFixtures::windowWithoutStartup();
    }
    void cleanup()
    {
        w.reset();
        Prompts::install(nullptr);
    }

    void zipChapterReadsLikeAFolderChapter()
    {
        makeFolderChapter(series, QStringLiteral("A"), {QStringLiteral("1.jpg")});
        QVERIFY(ZipFixtures::write(series + QStringLiteral("/B.zip"),
                                   {page("b/02.jpg", Qt::green), ZipFixtures::folder("b/"),
                                    page("b/01.JPG", Qt::red), ZipFixtures::folder("Vol.1/"),
                                    page("Vol.1/03.jpg", Qt::blue)}));
        makeFolderChapter(series, QStringLiteral("C"), {QStringLiteral("1.jpg")});
        openChapter(QStringLiteral("B.zip"));
        QCOMPARE(w->IsZipChapter, kTrue16);
        QCOMPARE(w->PageNames, (QStringList{"b/01.JPG", "b/02.jpg", "Vol.1/03.jpg"}));
        const QList<QColor> colours = {Qt::red, Qt::green, Qt::blue};
        for (qint16 p = 1; p <= 3; ++p) {
            show(p);
            QCOMPARE(w->lblPage->text(), QStringLiteral("Page %1 of 3").arg(p));
            QVERIFY2(shows(colours[p - 1]), qPrintable(QString::number(p)));
        }
        QVERIFY(prompts->shown.isEmpty());
        // Only the run's lock and the page files, one per extension as the
        // members spell it, stay in the run's folder; nothing is written
        // beside the comics.
        QStringList left = QDir(w->AppFolder).entryList(QDir::Files | QDir::Hidden);
        left.sort();
        QCOMPARE(left, (QStringList{".lock", "TempImage.JPG", "TempImage.jpg"}));
        QCOMPARE(QDir(series).entryList(QDir::Files), QStringList{QStringLiteral("B.zip")});
        w->cboChapters->setCurrentIndex(2);
        QCOMPARE(w->IsZipChapter, kFalse16);
    }

    // A member that can't be read says what the archive engine said; one
    // read but not decoded, what the decoder said.
    void failedPageShowsTheArchiveBox_data()
    {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("damaged member") << true;
        QTest::newRow("member that is no picture") << false;
    }
    void failedPageShowsTheArchiveBox()
    {
        QFETCH(bool, damaged);
        const QString archive = series + QStringLiteral("/Ch001.zip");
        ZipFixtures::Member second = page("02.jpg", Qt::green);
        if (!damaged)
            second.content = QByteArray(4096, '\x5a');
        QVERIFY(ZipFixtures::write(archive, {page("01.jpg", Qt::red), second}));
        QVERIFY(!damaged || ZipFixtures::damageData(archive, "02.jpg"));
        openChapter(QStringLiteral("Ch001.zip"));
        show(2);
        QCOMPARE(prompts->shown.size(), 1);
        const MessageRequest box = prompts->shown.first().message;
        QCOMPARE(box.title, QStringLiteral("Error Accessing Page"));
        QCOMPARE(modUnZip::ZipMessageText.isEmpty(), !damaged);
        const QString why = damaged ? QStringLiteral("\r\n\r\nZip Information: \r\n") + modUnZip::ZipMessageText
                                    : QStringLiteral("\r\n\r\nError message was: 481 Invalid picture");
        QCOMPARE(box.text, QStringLiteral("Unable to load the requested page: 02.jpg\r\n from the image zip "
                                          "archive:")
                               + archive + why);
        QVERIFY(w->Image1->picture().isNull());
        QCOMPARE(w->lblPage->text(), QStringLiteral("Page 2 of 2"));
    }

    // A temporary folder that refuses the run's own folder: the page's box
    // says where and why, nothing is written anywhere else, and the next
    // page tries again.
    void refusedTemporaryFolderIsNamedWithItsReason()
    {
        const QByteArray tmp = qgetenv("TMPDIR");
        const QString notAFolder = series + QStringLiteral("/not-a-folder");
        writeBytes(notAFolder, "a file where the temporary folder should be");
        qputenv("TMPDIR", QFile::encodeName(notAFolder));
        w = WindowFixtures::windowWithoutStartup();
        qputenv("TMPDIR", tmp);
        QCOMPARE(w->AppFolder, QString());
        QVERIFY(ZipFixtures::write(series + QStringLiteral("/Ch001.zip"), {page("01.jpg", Qt::red), page("02.jpg", Qt::green)}));
        const QStringList rootBefore = QDir(QStringLiteral("/")).entryList(QDir::AllEntries | QDir::Hidden);
        qputenv("TMPDIR", QFile::encodeName(notAFolder));
        openChapter(QStringLiteral("Ch001.zip"));
        qputenv("TMPDIR", tmp);
        QCOMPARE(prompts->shown.size(), 1);
        QVERIFY2(prompts->shown.first().message.text.endsWith(
                     QStringLiteral("error: 01.jpg  not extracted (cannot make a private folder in %1: Not a directory)\r\n")
                         .arg(notAFolder)),
                 qPrintable(prompts->shown.first().message.text));
        QCOMPARE(QDir(QStringLiteral("/")).entryList(QDir::AllEntries | QDir::Hidden), rootBefore);
        show(2);
        QCOMPARE(prompts->shown.size(), 1);
        QVERIFY(shows(Qt::green) && w->AppFolder.startsWith(QString::fromLocal8Bit(tmp)));
    }

    // Pages 1, 2, 3 and 1 again of an encrypted chapter, the first question
    // answered as the row says and any later one cancelled. Boxes shown:
    // Q a question, E a failed page's box.
    void encryptedChapterAsksOnce_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<QString>("answer"); // empty: cancelled
        QTest::addColumn<QString>("boxes");
        QTest::newRow("traditional") << int(ZIP_EM_TRAD_PKWARE) << "sesame" << "Q";
        QTest::newRow("aes") << int(ZIP_EM_AES_256) << "sesame" << "Q";
        QTest::newRow("wrong: asked again on the next page") << int(ZIP_EM_AES_256) << "wrong" << "QEQEEE";
        QTest::newRow("cancelled: never asked again") << int(ZIP_EM_AES_256) << "" << "QEEEE";
    }
    void encryptedChapterAsksOnce()
    {
        QFETCH(int, method);
        QFETCH(QString, answer);
        QFETCH(QString, boxes);
        if (!zip_encryption_method_supported(quint16(method), 1))
            QSKIP("this libzip cannot write the method");
        QVERIFY(ZipFixtures::write(series + QStringLiteral("/Secret.zip"),
                                   {page("01.jpg", Qt::magenta, method), page("02.jpg", Qt::magenta, method),
                                    page("03.jpg", Qt::magenta, method)}));
        prompts->inputAnswers.enqueue({!answer.isEmpty(), answer});
        openChapter(QStringLiteral("Secret.zip"));
        for (qint16 p : {2, 3, 1})
            show(p);
        QString kinds;
        for (const auto &shown : prompts->shown)
            kinds += shown.isInput ? 'Q' : 'E';
        QCOMPARE(kinds, boxes);
        QCOMPARE(prompts->shown.first().input.prompt, QStringLiteral("Please Enter The Password!"));
        if (answer == QStringLiteral("sesame")) {
            QVERIFY(shows(Qt::magenta));
        } else {
            QVERIFY(prompts->shown[1].message.text.contains(QStringLiteral("Zip Information: ")));
            QVERIFY(w->Image1->picture().isNull());
        }
    }

    void unreadableArchiveSaysSoAndStaysEmpty_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: a readable archive without pages
        QTest::newRow("not a zip") << QByteArray("just some text, no archive");
        QTest::newRow("zero bytes") << QByteArray("");
        QTest::newRow("readable, no pages: no box") << QByteArray();
    }
    void unreadableArchiveSaysSoAndStaysEmpty()
    {
        QFETCH(QByteArray, content);
        const QString archive = series + QStringLiteral("/Bad.zip");
        if (content.isNull())
            QVERIFY(ZipFixtures::write(archive, ZipFixtures::members({"readme", "folder/"})));
        else
            writeBytes(archive, content);
        openChapter(QStringLiteral("Bad.zip"));
        QCOMPARE(w->PageCount, qint16(0));
        QCOMPARE(w->lblPage->text(), QString());
        QVERIFY(w->Image1->picture().isNull());
        QCOMPARE(prompts->shown.size(), content.isNull() ? 0 : 1);
        if (!content.isNull())
            QVERIFY(prompts->shown.first().message.text.startsWith(
                QStringLiteral("Unable to read the image zip archive: ") + archive
                + QStringLiteral("\r\n\r\nZip Information: ")));
    }
};

PAGORA_TEST_MAIN(TestArchiveWindow)
#include "tst_archivewindow.moc"
