// Zip chapters on the real window: read like folder chapters, encrypted
// ones ask once, and failures say what went wrong.
#include "ScriptedPrompts.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "ZipFixtures.h"
#include "app/frmMain.h"
#include "archive/modUnZip.h"
#include "platform/PictureControls.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QtTest>
#include <zip.h>

using namespace SeriesFixtures;

namespace {

QByteArray jpegBytes(const QColor &colour, QSize size = QSize(60, 80))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes;
}

ZipFixtures::Member page(const QByteArray &name, const QColor &colour)
{
    return ZipFixtures::file(name, jpegBytes(colour));
}

bool near(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) <= 12;
}

} // namespace

class TestArchiveWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmMain> w;
    ScriptedPrompts *prompts = nullptr;
    QString series;

    void openChapter(const QString &chapter)
    {
        w->PagoraFolder = series + QLatin1Char('/');
        w->cboPagoraDir->setEditText(w->PagoraFolder);
        w->LoadChapterList(w->PagoraFolder);
        w->cboChapters->setEnabled(true);
        w->cboChapters->setCurrentIndex(w->cboChapters->findText(chapter));
    }

    void show(qint16 page)
    {
        w->PageIndex = page;
        w->ShowPage(w->PageIndex);
    }

    QColor shownColour() const
    {
        const QImage &picture = w->Image1->picture();
        return picture.pixelColor(picture.width() / 2, picture.height() / 2);
    }

private slots:
    void init()
    {
        prompts = ScriptedPrompts::install();
        series = TestEnvironment::freshFolder(QStringLiteral("series"));
        w = std::make_unique<frmMain>();
        w->StartupDone = true;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
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
        for (qint16 p = 1; p <= w->PageCount; ++p) {
            show(p);
            QCOMPARE(w->lblPage->text(), QStringLiteral("Page %1 of 3").arg(p));
            QVERIFY2(near(shownColour(), colours[p - 1]), qPrintable(QString::number(p)));
        }
        QVERIFY(prompts->shown.isEmpty());
        // Only the temporary page files stay in the run's folder, one per
        // extension as the member names spell it.
        QStringList left = QDir(w->AppFolder).entryList(QDir::Files | QDir::Hidden);
        left.sort();
        QCOMPARE(left, (QStringList{"TempImage.JPG", "TempImage.jpg"}));
        // And nothing was written beside the comics.
        QCOMPARE(QDir(series).entryList(QDir::Files), QStringList{QStringLiteral("B.zip")});

        w->cboChapters->setCurrentIndex(2);
        QCOMPARE(w->IsZipChapter, kFalse16);
        QCOMPARE(w->lblPage->text(), QStringLiteral("Page 1 of 1"));
    }

    void damagedPageShowsTheArchiveBox()
    {
        const QString archive = series + QStringLiteral("/Ch001.zip");
        QVERIFY(ZipFixtures::write(archive, {page("01.jpg", Qt::red), page("02.jpg", Qt::green)}));
        QVERIFY(ZipFixtures::damageData(archive, "02.jpg"));
        openChapter(QStringLiteral("Ch001.zip"));
        QVERIFY(prompts->shown.isEmpty());
        show(2);
        QCOMPARE(prompts->shown.size(), 1);
        const MessageRequest box = prompts->shown.first().message;
        QCOMPARE(box.title, QStringLiteral("Error Accessing Page"));
        const QString head = QStringLiteral("Unable to load the requested page: 02.jpg\r\n"
                                            " from the image zip archive:")
                             + series + QStringLiteral("/Ch001.zip\r\n\r\nZip Information: \r\n");
        QVERIFY2(box.text.startsWith(head), qPrintable(box.text));
        QCOMPARE(box.text.mid(head.size()), modUnZip::ZipMessageText);
        QVERIFY(!modUnZip::ZipMessageText.isEmpty());
        QVERIFY(w->Image1->picture().isNull());
        QCOMPARE(w->lblPage->text(), QStringLiteral("Page 2 of 2"));
    }

    void encryptedChapterAsksOncePerArchive_data()
    {
        QTest::addColumn<int>("method");
        QTest::newRow("traditional") << int(ZIP_EM_TRAD_PKWARE);
        QTest::newRow("aes") << int(ZIP_EM_AES_256);
    }
    void encryptedChapterAsksOncePerArchive()
    {
        QFETCH(int, method);
        if (!zip_encryption_method_supported(quint16(method), 1))
            QSKIP("this libzip cannot write the method");
        QList<ZipFixtures::Member> members;
        for (const char *name : {"01.jpg", "02.jpg", "03.jpg"}) {
            auto member = page(name, Qt::magenta);
            member.encryption = quint16(method);
            member.password = "sesame";
            members << member;
        }
        QVERIFY(ZipFixtures::write(series + QStringLiteral("/Secret.zip"), members));
        prompts->inputAnswers.enqueue({true, QStringLiteral("sesame")});
        openChapter(QStringLiteral("Secret.zip"));
        show(2);
        show(3);
        show(1);
        QCOMPARE(prompts->shown.size(), 1);
        QVERIFY(prompts->shown.first().isInput);
        QCOMPARE(prompts->shown.first().input.prompt, QStringLiteral("Please Enter The Password!"));
        QVERIFY(near(shownColour(), Qt::magenta));
    }

    void wrongOrWithheldPasswordFailsThePage()
    {
        QList<ZipFixtures::Member> members;
        for (const char *name : {"01.jpg", "02.jpg"}) {
            auto member = page(name, Qt::magenta);
            member.encryption = ZIP_EM_AES_256;
            member.password = "sesame";
            members << member;
        }
        if (!zip_encryption_method_supported(ZIP_EM_AES_256, 1))
            QSKIP("this libzip cannot write AES");
        QVERIFY(ZipFixtures::write(series + QStringLiteral("/Secret.zip"), members));
        prompts->inputAnswers.enqueue({true, QStringLiteral("wrong")});
        openChapter(QStringLiteral("Secret.zip"));
        // The wrong answer: the box of the failed page, with the component's words.
        QCOMPARE(prompts->shown.size(), 2);
        QVERIFY(!prompts->shown[1].isInput);
        QVERIFY(prompts->shown[1].message.text.contains(QStringLiteral("Zip Information: ")));
        QVERIFY(w->Image1->picture().isNull());
        // Cancelling the next question stops every later one.
        prompts->inputAnswers.enqueue({});
        show(2);
        const qsizetype asked = prompts->shown.size();
        show(1);
        show(2);
        int inputs = 0;
        for (qsizetype i = asked; i < prompts->shown.size(); ++i)
            inputs += prompts->shown[i].isInput ? 1 : 0;
        QCOMPARE(inputs, 0);
        QVERIFY(w->Image1->picture().isNull());
    }

    void unreadableArchiveSaysSoAndStaysEmpty_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("box");
        QTest::newRow("not a zip") << QByteArray("just some text, no archive") << true;
        QTest::newRow("zero bytes") << QByteArray("") << true;
        QTest::newRow("readable, no pages") << QByteArray() << false;
    }
    void unreadableArchiveSaysSoAndStaysEmpty()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, box);
        const QString archive = series + QStringLiteral("/Bad.zip");
        if (content.isNull())
            QVERIFY(ZipFixtures::write(archive, ZipFixtures::members({"readme", "folder/"})));
        else
            writeBytes(archive, content);
        openChapter(QStringLiteral("Bad.zip"));
        QCOMPARE(w->PageCount, qint16(0));
        QCOMPARE(w->lblPage->text(), QString());
        QVERIFY(w->Image1->picture().isNull());
        QCOMPARE(prompts->shown.size(), box ? 1 : 0);
        if (box) {
            const MessageRequest message = prompts->shown.first().message;
            QCOMPARE(message.title, QStringLiteral("Error Accessing Page"));
            QVERIFY(message.text.startsWith(QStringLiteral("Unable to read the image zip archive: ")
                                            + archive + QStringLiteral("\r\n\r\nZip Information: ")));
        }
    }
};

PAGORA_TEST_MAIN(TestArchiveWindow)
#include "tst_archivewindow.moc"
