#include "archive/modUnZip.h"
#include "ScriptedPrompts.h"
#include "TestEnvironment.h"
#include "SeriesFixtures.h"
#include "ZipFixtures.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QtTest>

#include <zip.h>

using namespace modUnZip;
namespace zf = ZipFixtures;
using Names = QByteArrayList; // members of an archive
using Files = QStringList;    // entries of a folder

namespace {

// One request, made as the page lists (no pattern) and the page display make them.
QString run(const QString &archive, const QString &pattern = {}, const QString &folder = {})
{
    ZipListText.clear();
    ZipMessageText.clear();
    ZipListFlag = pattern.isEmpty();
    ZipIncludeNames[0] = pattern.isEmpty() ? std::nullopt : std::optional(pattern);
    ZipIncludeCount = !pattern.isEmpty();
    ZipFileName = archive;
    ZipExtractDir = folder;
    RunUnzip();
    return ZipListText;
}

const auto entriesOf = SeriesFixtures::folderEntries;
const auto contentOf = SeriesFixtures::fileContent;

} // namespace

#define VERIFY_MESSAGE(text) \
    QVERIFY2(ZipMessageText.contains(text), qPrintable(ZipMessageText))

class TestUnzip : public QObject {
    Q_OBJECT

    ScriptedPrompts *prompts = nullptr;
    QString folder;  // this test's fixtures
    QString archive; // in `folder`
    QString out;     // the extraction folder, in `folder`

private slots:
    void init()
    {
        prompts = ScriptedPrompts::install();
        ZipPasswordCancelled = 0;
        folder = TestEnvironment::freshFolder("unzip");
        archive = folder + "/a.zip";
        out = folder + "/out";
        QDir().mkpath(out);
    }

    void listing_data()
    {
        QTest::addColumn<Names>("names");
        QTest::addColumn<QString>("damage"); // "", "truncated", "not a zip" or "missing"
        QTest::addColumn<QString>("message");
        Names many;
        for (int i = 9999; i >= 0; --i)
            many.append("p" + QByteArray::number(i).rightJustified(5, '0') + ".jpg");
        QTest::newRow("archive order, folders")
            << Names{"b.jpg", "A.jpg", "c/", "Ch/01.png"} << "" << "";
        QTest::newRow("dot only in a folder") << Names{"Vol.1/", "Vol.1/01"} << "" << "";
        QTest::newRow("name over 256 bytes") << Names{"d/" + QByteArray(300, 'n')} << "" << "";
        QTest::newRow("empty archive") << Names{} << "" << "";
        QTest::newRow("10,000 members") << many << "" << "";
        QTest::newRow("truncated") << Names{"a.jpg", "b.jpg"} << "truncated" << "not a zip archive";
        QTest::newRow("not a zip") << Names{} << "not a zip" << "not a zip archive";
        QTest::newRow("missing") << Names{} << "missing" << "cannot open archive";
    }

    void listing()
    {
        QFETCH(Names, names);
        QFETCH(QString, damage);
        QFETCH(QString, message);
        QVERIFY(damage == "missing" || zf::write(archive, zf::members(names)));
        if (damage == "truncated")
            QVERIFY(QFile::resize(archive, QFileInfo(archive).size() / 2));
        if (damage == "not a zip")
            QVERIFY(zf::writeBytes(archive, QByteArray(5000, '\x17')));
        QString expected;
        for (const QByteArray &name : names)
            expected += QString::fromUtf8(name) + '\t';
        QCOMPARE(run(archive), damage.isEmpty() ? expected : QString());
        if (damage.isEmpty()) {
            QCOMPARE(ZipMessageText, QString());
            return;
        }
        QVERIFY2(ZipMessageText.contains(message) && ZipMessageText.contains(archive)
                     && ZipMessageText.endsWith("\r\n"), qPrintable(ZipMessageText));
        run(archive, "a.jpg", out);
        QCOMPARE(entriesOf(out), Files());
    }

    void printCallback_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("added");
        QTest::newRow("line feed first") << QByteArray("\nrest of it") << 10 << "\r\n";
        QTest::newRow("line feed later") << QByteArray("a\nb") << 3 << "a\nb";
        QTest::newRow("length shorter") << QByteArray("abcdef") << 3 << "abc";
        QTest::newRow("zero byte inside") << QByteArray("ab\0cd", 5) << 5 << "ab";
        QTest::newRow("zero byte first") << QByteArray("\0ab", 3) << 3 << "";
        QTest::newRow("length zero") << QByteArray("abc") << 0 << "";
        QTest::newRow("over 32801 bytes") << QByteArray(40000, 'x') << 40000 << QString(32801, 'x');
    }

    void printCallback()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, length);
        QFETCH(QString, added);
        ZipMessageText = "before|";
        QCOMPARE(ZipPrintCallback(text.constData(), static_cast<unsigned long>(length)), 0);
        QCOMPARE(ZipMessageText, "before|" + added);
    }

    void passwordCallback_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("cut to size - 1") << "secret" << 4 << QByteArray("sec");
        QTest::newRow("never over 256") << QString(300, 'p') << 1000 << QByteArray(256, 'p');
        QTest::newRow("no half character") << "\u00e9\u00e9" << 4 << QByteArray("\xc3\xa9");
        QTest::newRow("empty answer declines") << "" << 16 << QByteArray();
    }

    void passwordCallback()
    {
        QFETCH(QString, answer);
        QFETCH(int, size);
        QFETCH(QByteArray, written);
        prompts->inputAnswers.enqueue({true, answer});
        prompts->inputAnswers.enqueue({true, "again"});
        const int declined = answer.isEmpty(); // and no box is shown after it
        QByteArray buffer(size, 'X');
        QCOMPARE(ZipPasswordCallback(buffer.data(), size, "", "a.jpg"), declined);
        QCOMPARE(ZipPasswordCancelled, qint16(declined));
        if (!declined) // the answer, then nothing but zero bytes to the buffer's end
            QCOMPARE(buffer, written + QByteArray(size - written.size(), '\0'));
        QCOMPARE(ZipPasswordCallback(buffer.data(), size, "", "b.jpg"), declined);
        QCOMPARE(prompts->shown.size(), 2 - declined);
        QCOMPARE(prompts->shown[0].input.prompt, "Please Enter The Password!");
        QCOMPARE(prompts->shown[0].input.title, "Pagora Viewer"); // the program's title, not its executable's name
    }

    void replaceCallback_data()
    {
        QTest::addColumn<PromptResult>("answer");
        QTest::addColumn<int>("result");
        QTest::newRow("Yes") << PromptResult::Yes << 102;
        QTest::newRow("No") << PromptResult::No << 100;
        QTest::newRow("Cancel") << PromptResult::Cancel << 104;
    }

    void replaceCallback()
    {
        QFETCH(PromptResult, answer);
        QFETCH(int, result);
        prompts->messageAnswers.enqueue(answer);
        QCOMPARE(ZipReplaceCallback("/run/page 1.jpg"), result);
        QCOMPARE(prompts->shown.size(), 1);
        QCOMPARE(prompts->shown[0].message.text, "Overwrite /run/page 1.jpg?");
        QCOMPARE(prompts->shown[0].message.buttons, PromptButtons::YesNoCancel);
    }

    void extractionWritesBareNamesInside_data()
    {
        QTest::addColumn<Names>("names"); // "link.jpg" is a link to /etc/passwd
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<Files>("written");
        QTest::addColumn<QString>("message");
        const Names pages{"page[1].jpg", "page(1).jpg", "Page[1].jpg"};
        QTest::newRow("? for brackets, two members")
            << pages << "page?1?.jpg" << Files{"page(1).jpg", "page[1].jpg"} << "";
        QTest::newRow("brackets literal") << pages << "page[1].jpg" << Files{"page[1].jpg"} << "";
        QTest::newRow("case-sensitive") << pages << "PAGE?1?.JPG" << Files{} << "no member matches";
        QTest::newRow("../x.jpg") << Names{"../x.jpg"} << "*" << Files{"x.jpg"} << "";
        QTest::newRow("/abs.jpg") << Names{"/pagora-abs.jpg"} << "*" << Files{"pagora-abs.jpg"}
                                  << "";
        QTest::newRow("a/..") << Names{"a/.."} << "*" << Files{} << "refused";
        QTest::newRow("symbolic link") << Names{"link.jpg"} << "*" << Files{} << "refused";
    }

    void extractionWritesBareNamesInside()
    {
        QFETCH(Names, names);
        QFETCH(QString, pattern);
        QFETCH(Files, written);
        QFETCH(QString, message);
        QList<zf::Member> members;
        for (const QByteArray &name : names)
            members << (name == "link.jpg" ? zf::symlink(name, "/etc/passwd") : zf::file(name));
        const QString elsewhere = TestEnvironment::freshFolder("archive") + "/h.zip";
        QVERIFY(zf::write(elsewhere, members));
        run(elsewhere, pattern, out);
        QCOMPARE(entriesOf(out), written);
        QCOMPARE(entriesOf(folder), Files{"out"});
        QVERIFY(!QFile::exists("/pagora-abs.jpg"));
        VERIFY_MESSAGE(message);
        for (const QByteArray &name : names) {
            const QString bare = QString::fromUtf8(name.mid(name.lastIndexOf('/') + 1));
            if (written.contains(bare))
                QCOMPARE(contentOf(out + '/' + bare), zf::pageBytes(name));
        }
    }

    void declaredSize_data()
    {
        QTest::addColumn<quint32>("declared");
        QTest::addColumn<QString>("message");
        QTest::newRow("more data than declared") << 1000u << "damaged member";
        QTest::newRow("less data than declared") << 200000u << "damaged member";
        QTest::newRow("declared over 512 MiB") << 0x25800000u << "too large";
    }

    void declaredSize()
    {
        QFETCH(quint32, declared);
        QFETCH(QString, message);
        QVERIFY(zf::write(archive, {zf::file("big.jpg", QByteArray(100000, 'z'))}));
        QVERIFY(zf::setDeclaredSize(archive, "big.jpg", declared));
        run(archive, "big.jpg", out);
        QCOMPARE(entriesOf(out), Files()); // no partial file, no temporary
        VERIFY_MESSAGE(message);
    }

    void encrypted_data()
    {
        QTest::addColumn<quint16>("method");
        QTest::addColumn<QString>("answer"); // to the first box: "" cancels, "?" passes the check
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("boxes");
        QTest::addColumn<Files>("written");
        const Files all{"p1.jpg", "p2.jpg", "p3.jpg"}, later{"p2.jpg", "p3.jpg"};
        const quint16 aes = ZIP_EM_AES_256, pkware = ZIP_EM_TRAD_PKWARE;
        QTest::newRow("AES, right") << aes << "right" << "" << 1 << all;
        QTest::newRow("PKWARE, right") << pkware << "right" << "" << 1 << all;
        // A wrong password is not kept: the next page asks again.
        QTest::newRow("AES, wrong at open") << aes << "nope" << "wrong password" << 2 << later;
        QTest::newRow("PKWARE, wrong at read") << pkware << "?" << "wrong password" << 2 << later;
        QTest::newRow("cancelled") << aes << "" << "no password given" << 1 << Files{};
    }

    // One request per page, as the reader turns them.
    void encrypted()
    {
        QFETCH(quint16, method);
        QFETCH(QString, answer);
        QFETCH(QString, message);
        QFETCH(int, boxes);
        QFETCH(Files, written);
        if (!zip_encryption_method_supported(method, 1))
            QSKIP("this libzip cannot write the method");
        QVERIFY(zf::write(archive, {zf::encrypted("p1.jpg", method, "right"),
                                    zf::encrypted("p2.jpg", method, "right"),
                                    zf::encrypted("p3.jpg", method, "right")}));
        if (answer == "?") {
            answer = QString::fromLatin1(zf::passwordPassingCheck(archive, "p1.jpg", "right"));
            QVERIFY(!answer.isEmpty());
        }
        prompts->inputAnswers.enqueue({!answer.isEmpty(), answer});
        prompts->inputAnswers.enqueue({true, "right"});
        run(archive, "p1.jpg", out);
        VERIFY_MESSAGE(message);
        for (const char *page : {"p2.jpg", "p3.jpg"})
            run(archive, page, out);
        QCOMPARE(entriesOf(out), written);
        for (const QString &page : written)
            QCOMPARE(contentOf(out + '/' + page), zf::pageBytes(page.toUtf8()));
        QCOMPARE(prompts->shown.size(), boxes);
    }
};

PAGORA_TEST_MAIN(TestUnzip)
#include "tst_unzip.moc"
