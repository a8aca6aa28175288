#include "archive/modUnZip.h"
#include "ScriptedPrompts.h"
#include "TestEnvironment.h"
#include "ZipFixtures.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QtTest>

#include <zip.h>

using namespace modUnZip;
namespace zf = ZipFixtures;

namespace {

// The two requests, made as the page lists and the page display make them.
QString listed(const QString &archive)
{
    ZipListText.clear();
    ZipListFlag = 1;
    ZipIncludeNames[0].reset();
    ZipIncludeCount = 0;
    ZipFileName = archive;
    RunUnzip();
    return ZipListText;
}

void extraction(const QString &archive, const QString &pattern, const QString &folder)
{
    ZipMessageText.clear();
    ZipListFlag = 0;
    ZipIncludeNames[0] = pattern;
    ZipIncludeCount = 1;
    ZipFileName = archive;
    ZipExtractDir = folder;
    RunUnzip();
}

// Everything in a folder, hidden entries included, so leftovers show.
QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                      | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

#define VERIFY_MESSAGE(text) \
    QVERIFY2(ZipMessageText.contains(QLatin1String(text)), qPrintable(ZipMessageText))

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
        QTest::addColumn<QByteArrayList>("names");
        QTest::newRow("archive order, folder entries")
            << QByteArrayList{"b.jpg", "A.jpg", "c/", "Ch/01.png"};
        QTest::newRow("dot only in the folder part") << QByteArrayList{"Vol.1/", "Vol.1/01"};
        QTest::newRow("name over 256 bytes")
            << QByteArrayList{"d/" + QByteArray(300, 'n') + ".jpg"};
        QTest::newRow("empty archive") << QByteArrayList{};
        QByteArrayList many;
        for (int i = 9999; i >= 0; --i)
            many.append("p" + QByteArray::number(i).rightJustified(5, '0') + ".jpg");
        QTest::newRow("10,000 members") << many;
    }

    void listing()
    {
        QFETCH(QByteArrayList, names);
        QVERIFY(zf::write(archive, zf::members(names)));
        ZipMessageText.clear();
        QString expected;
        for (const QByteArray &name : names)
            expected += QString::fromUtf8(name) + '\t';
        QCOMPARE(listed(archive), expected);
        QCOMPARE(ZipMessageText, QString());
    }

    void unreadableArchive_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "missing" << "cannot open archive";
        QTest::newRow("a folder") << "folder" << "cannot open archive";
        QTest::newRow("not a zip") << "garbage" << "not a zip archive";
        QTest::newRow("truncated") << "truncated" << "not a zip archive";
    }

    void unreadableArchive()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        if (kind == "folder")
            QDir().mkpath(archive);
        if (kind == "garbage")
            QVERIFY(zf::writeBytes(archive, QByteArray(5000, '\x17')));
        if (kind == "truncated") {
            QVERIFY(zf::write(archive, zf::members({"a.jpg", "b.jpg", "c.jpg"})));
            QVERIFY(zf::truncate(archive, QFileInfo(archive).size() / 2));
        }
        QCOMPARE(listed(archive), QString());
        extraction(archive, "a.jpg", out);
        QVERIFY2(ZipMessageText.contains(message) && ZipMessageText.contains(archive)
                     && ZipMessageText.endsWith("\r\n"), qPrintable(ZipMessageText));
        QCOMPARE(entriesOf(out), QStringList());
    }

    void printCallback_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("added");
        QTest::newRow("plain") << QByteArray("inflating") << 9 << "inflating";
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

    void memberCallbackAddsNameAndTab()
    {
        ZipListText.clear();
        const QByteArray longName = "Ch/" + QByteArray(400, 'L') + ".jpg";
        const char *none = nullptr;
        for (const char *name : {"a.jpg", "", none, longName.constData()})
            ZipMemberCallback(1, 1, 0, 1, 1, 2024, 0, 0, ' ', name, "Stored", 0, 0);
        QCOMPARE(ZipListText, "a.jpg\t\t\t" + QString::fromLatin1(longName) + "\t");
    }

    void passwordDeclined_data()
    {
        QTest::addColumn<bool>("accepted");
        QTest::newRow("box cancelled") << false;
        QTest::newRow("empty answer") << true;
    }

    void passwordDeclined()
    {
        QFETCH(bool, accepted);
        prompts->inputAnswers.enqueue({accepted, QString()});
        prompts->inputAnswers.enqueue({true, "too late"});
        char buffer[16] = {};
        QCOMPARE(ZipPasswordCallback(buffer, sizeof buffer, "", "a.jpg"), 1);
        QCOMPARE(ZipPasswordCancelled, qint16(1));
        QCOMPARE(ZipPasswordCallback(buffer, sizeof buffer, "", "b.jpg"), 1);
        QCOMPARE(prompts->shown.size(), 1);
        QVERIFY(prompts->shown[0].isInput);
        QCOMPARE(prompts->shown[0].input.prompt, "Please Enter The Password!");
        QCOMPARE(prompts->shown[0].input.title, QGuiApplication::applicationDisplayName());
        QCOMPARE(prompts->shown[0].input.defaultText, QString());
    }

    void passwordAnswer_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("fits") << "secret" << 16 << QByteArray("secret");
        QTest::newRow("cut to size - 1") << "secret" << 4 << QByteArray("sec");
        QTest::newRow("never over 256") << QString(300, 'p') << 1000 << QByteArray(256, 'p');
        QTest::newRow("no half character")
            << QStringLiteral("\u00e9\u00e9") << 4 << QByteArray("\xc3\xa9");
    }

    void passwordAnswer()
    {
        QFETCH(QString, answer);
        QFETCH(int, size);
        QFETCH(QByteArray, written);
        prompts->inputAnswers.enqueue({true, answer});
        QByteArray buffer(size, 'X');
        QCOMPARE(ZipPasswordCallback(buffer.data(), size, "", "a.jpg"), 0);
        QCOMPARE(ZipPasswordCancelled, qint16(0));
        // The answer, then nothing but zero bytes to the buffer's end.
        QCOMPARE(buffer, written + QByteArray(size - written.size(), '\0'));
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
        const MessageRequest &box = prompts->shown[0].message;
        QVERIFY(box.title.endsWith("- File Already Exists!"));
        QCOMPARE(box.text, "Overwrite /run/page 1.jpg?");
        QCOMPARE(box.buttons, PromptButtons::YesNoCancel);
        QCOMPARE(box.icon, PromptIcon::Exclamation);
        QCOMPARE(box.defaultButton, 0);
    }

    // The run folder holds only our leftovers: an existing file is replaced
    // without a box, and a link there is replaced, never written through.
    void existingFilesReplacedWithoutAsking()
    {
        QVERIFY(zf::write(archive, zf::members({"a.jpg", "b.jpg"})));
        QVERIFY(zf::writeBytes(out + "/a.jpg", "old") && zf::writeBytes(folder + "/t", "old"));
        QVERIFY(QFile::link(folder + "/t", out + "/b.jpg"));
        extraction(archive, "?.jpg", out);
        QCOMPARE(contentOf(out + "/a.jpg"), zf::pageBytes("a.jpg"));
        QCOMPARE(contentOf(out + "/b.jpg"), zf::pageBytes("b.jpg"));
        QVERIFY(!QFileInfo(out + "/b.jpg").isSymLink());
        QCOMPARE(contentOf(folder + "/t"), "old");
        QCOMPARE(prompts->shown.size(), 0);
    }

    void patterns_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("? for brackets, two members")
            << "page?1?.jpg" << QStringList{"page(1).jpg", "page[1].jpg"};
        QTest::newRow("brackets are literal") << "page[1].jpg" << QStringList{"page[1].jpg"};
        QTest::newRow("* spans folders") << "*er.jpg" << QStringList{"other.jpg"};
        QTest::newRow("case-sensitive") << "PAGE?1?.JPG" << QStringList{};
    }

    void patterns()
    {
        QFETCH(QString, pattern);
        QFETCH(QStringList, written);
        QVERIFY(zf::write(archive, zf::members({"page[1].jpg", "page(1).jpg", "Page[1].jpg",
                                                "x/other.jpg"})));
        extraction(archive, pattern, out);
        QCOMPARE(entriesOf(out), written);
        QCOMPARE(ZipMessageText.contains("no member matches"), written.isEmpty());
    }

    void hostileNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("symlink");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("../x.jpg") << QByteArray("../x.jpg") << false << QStringList{"x.jpg"};
        QTest::newRow("/abs.jpg")
            << QByteArray("/pagora-abs.jpg") << false << QStringList{"pagora-abs.jpg"};
        QTest::newRow("a/..") << QByteArray("a/..") << false << QStringList{};
        QTest::newRow("empty name") << QByteArray("") << false << QStringList{};
        QTest::newRow("symbolic link") << QByteArray("link.jpg") << true << QStringList{};
    }

    // Only a bare name ever reaches the disk, and only inside the folder.
    void hostileNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, symlink);
        QFETCH(QStringList, written);
        const QString hostile = TestEnvironment::freshFolder("hostile") + "/h.zip";
        QVERIFY(zf::write(hostile, {symlink ? zf::symlink(name, "/etc/passwd") : zf::file(name)}));
        extraction(hostile, "*", out);
        QCOMPARE(entriesOf(out), written);
        QCOMPARE(entriesOf(folder), QStringList{"out"});
        QVERIFY(!QFile::exists("/pagora-abs.jpg"));
        if (written.isEmpty())
            VERIFY_MESSAGE("refused");
        else
            QCOMPARE(contentOf(out + '/' + written[0]), zf::pageBytes(name));
    }

    void damagedMember_data()
    {
        QTest::addColumn<quint32>("declared"); // 0: garble the data instead
        QTest::addColumn<QString>("message");
        QTest::newRow("more data than declared") << 1000u << "damaged member";
        QTest::newRow("less data than declared") << 200000u << "damaged member";
        QTest::newRow("declared over 1 GiB") << 0xC0000000u << "too large";
        QTest::newRow("garbled data") << 0u << "damaged member";
    }

    void damagedMember()
    {
        QFETCH(quint32, declared);
        QFETCH(QString, message);
        QVERIFY(zf::write(archive, {zf::file("big.jpg", QByteArray(100000, 'z'))}));
        QVERIFY(declared ? zf::setDeclaredSize(archive, "big.jpg", declared)
                         : zf::damageData(archive, "big.jpg"));
        extraction(archive, "big.jpg", out);
        QCOMPARE(entriesOf(out), QStringList()); // no partial file, no temporary
        QVERIFY2(ZipMessageText.contains(message), qPrintable(ZipMessageText));
    }

    void encrypted_data()
    {
        QTest::addColumn<quint16>("method");
        QTest::newRow("AES-256") << quint16(ZIP_EM_AES_256);
        QTest::newRow("traditional PKWARE") << quint16(ZIP_EM_TRAD_PKWARE);
    }

    void encrypted()
    {
        QFETCH(quint16, method);
        if (!zip_encryption_method_supported(method, 1))
            QSKIP("this libzip cannot write the method");
        QVERIFY(zf::write(archive, {zf::encrypted("p1.jpg", method, "right"),
                                    zf::encrypted("p2.jpg", method, "right"),
                                    zf::encrypted("p3.jpg", method, "right")}));
        prompts->inputAnswers.enqueue({true, "right"});
        // One request per page, as the reader turns them: one box in all.
        for (const char *page : {"p1.jpg", "p2.jpg", "p3.jpg"}) {
            extraction(archive, page, out);
            QCOMPARE(contentOf(out + '/' + page), zf::pageBytes(page));
        }
        QCOMPARE(prompts->shown.size(), 1);
    }

    void wrongPassword_data()
    {
        QTest::addColumn<quint16>("method");
        QTest::addColumn<bool>("passesCheck");
        QTest::newRow("AES, caught at open") << quint16(ZIP_EM_AES_256) << false;
        QTest::newRow("PKWARE, caught at open") << quint16(ZIP_EM_TRAD_PKWARE) << false;
        QTest::newRow("PKWARE, caught while reading") << quint16(ZIP_EM_TRAD_PKWARE) << true;
    }

    void wrongPassword()
    {
        QFETCH(quint16, method);
        QFETCH(bool, passesCheck);
        QVERIFY(zf::write(archive, {zf::encrypted("p1.jpg", method, "right")}));
        const QByteArray wrong =
            passesCheck ? zf::passwordPassingCheck(archive, "p1.jpg", "right") : "nope";
        QVERIFY(!wrong.isEmpty());
        prompts->inputAnswers.enqueue({true, QString::fromLatin1(wrong)});
        extraction(archive, "p1.jpg", out);
        QCOMPARE(entriesOf(out), QStringList());
        VERIFY_MESSAGE("wrong password");
        // A wrong password is not remembered: the next try asks again.
        prompts->inputAnswers.enqueue({true, "right"});
        extraction(archive, "p1.jpg", out);
        QCOMPARE(entriesOf(out), QStringList{"p1.jpg"});
        QCOMPARE(prompts->shown.size(), 2);
    }

    void cancelStopsLaterBoxes()
    {
        QVERIFY(zf::write(archive, {zf::encrypted("p1.jpg", ZIP_EM_AES_256, "r"),
                                    zf::encrypted("p2.jpg", ZIP_EM_AES_256, "r")}));
        prompts->inputAnswers.enqueue({false, QString()});
        prompts->inputAnswers.enqueue({true, "r"});
        for (const char *page : {"p1.jpg", "p2.jpg"}) {
            extraction(archive, page, out);
            VERIFY_MESSAGE("no password given");
        }
        QCOMPARE(prompts->shown.size(), 1);
        QCOMPARE(entriesOf(out), QStringList());
    }
};

PAGORA_TEST_MAIN(TestUnzip)
#include "tst_unzip.moc"
