// ZipArchive on its own: the bytes it reads into memory, the members it
// refuses, and reads without a prompt, as a worker thread makes them.
#include "archive/ZipArchive.h"
#include "archive/modUnZip.h"
#include "ScriptedPrompts.h"
#include "TestEnvironment.h"
#include "ZipFixtures.h"

#include <QApplication>
#include <QtTest>

#include <zip.h>

#include <thread>

namespace zf = ZipFixtures;
using Error = ZipArchive::Error;

namespace {

// Content that deflate can't flatten into a few bytes.
QByteArray noisy(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = 12345;
    for (char &byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = char(state >> 24);
    }
    return bytes;
}

QByteArray orFailed(const std::optional<QByteArray> &bytes)
{
    return bytes.value_or(QByteArray("<not read>"));
}

// What a worker learns about one member with an instance of its own.
struct WorkerRead {
    bool needsPassword = false;
    std::optional<QByteArray> bytes;
    Error error = Error::None;
};

WorkerRead readOnAnotherThread(const QString &archive, const QString &member)
{
    WorkerRead result;
    std::thread([&] {
        ZipArchive own(archive);
        const qint64 index = own.indexOf(member);
        result.needsPassword = own.needsPassword(index);
        result.bytes = own.read(index);
        result.error = own.error();
    }).join();
    return result;
}

} // namespace

class TestZipArchive : public QObject {
    Q_OBJECT

    ScriptedPrompts *prompts = nullptr;
    QString archive;

private slots:
    void init()
    {
        prompts = ScriptedPrompts::install();
        modUnZip::ZipPasswordCancelled = 0;
        archive = TestEnvironment::freshFolder(QStringLiteral("ziparchive")) + "/a.zip";
    }

    // Names in archive order, a name's position is its index, and a read
    // gives exactly the member's bytes, whatever their size.
    void readsExactlyTheMembersBytes()
    {
        const QList<zf::Member> members{
            zf::file("z/2.jpg"), zf::folder("z/"), zf::file("empty.png", QByteArray("")),
            zf::file("big.jpg", noisy(9 * 1024 * 1024 + 3)), // more than the first buffer
            zf::file("zeros.jpg", QByteArray("\0\1\0", 3))};
        QVERIFY(zf::write(archive, members));
        ZipArchive zip(archive);
        QVERIFY2(zip.isOpen(), qPrintable(zip.errorText()));
        const QStringList names = zip.memberNames();
        QCOMPARE(names, (QStringList{"z/2.jpg", "z/", "empty.png", "big.jpg", "zeros.jpg"}));
        for (const zf::Member &member : members) {
            if (member.kind != zf::Member::Kind::File)
                continue;
            const qint64 index = zip.indexOf(QString::fromUtf8(member.name));
            QCOMPARE(names.value(index), QString::fromUtf8(member.name));
            QCOMPARE(zip.isEncrypted(index), false);
            const std::optional<QByteArray> bytes = zip.read(index);
            QVERIFY2(bytes, qPrintable(zip.errorText()));
            QCOMPARE(bytes->size(), member.content.size());
            QVERIFY(*bytes == member.content);
            QCOMPARE(zip.errorText(), QString());
        }
        // Exact names only: no folder part dropped, no case folded.
        QCOMPARE(zip.indexOf(QStringLiteral("2.jpg")), -1);
        QCOMPARE(zip.indexOf(QStringLiteral("EMPTY.PNG")), -1);
    }

    void refusesMembersThatLie_data()
    {
        QTest::addColumn<QString>("lie"); // "declares N", "damaged" or "link"
        QTest::addColumn<Error>("error");
        QTest::addColumn<QString>("text");
        QTest::newRow("declared over 1 GiB") << "declares 3221225472" << Error::TooLarge
                                             << "too large";
        QTest::newRow("declared over 512 MiB") << "declares 629145600" << Error::TooLarge
                                               << "too large";
        QTest::newRow("more data than declared") << "declares 1000" << Error::Damaged
                                                 << "damaged member";
        QTest::newRow("less data than declared") << "declares 200000" << Error::Damaged
                                                 << "damaged member";
        QTest::newRow("garbled data") << "damaged" << Error::Damaged << "damaged member";
        QTest::newRow("symbolic link") << "link" << Error::SymbolicLink << "symbolic link";
    }

    void refusesMembersThatLie()
    {
        QFETCH(QString, lie);
        QFETCH(Error, error);
        QFETCH(QString, text);
        QVERIFY(zf::write(archive, {lie == "link" ? zf::symlink("bad.jpg", "/etc/passwd")
                                                  : zf::file("bad.jpg", noisy(100000)),
                                    zf::file("good.jpg")}));
        if (lie.startsWith("declares "))
            QVERIFY(zf::setDeclaredSize(archive, "bad.jpg", lie.mid(9).toUInt()));
        if (lie == "damaged")
            QVERIFY(zf::damageData(archive, "bad.jpg"));
        ZipArchive zip(archive);
        QVERIFY(!zip.read(zip.indexOf(QStringLiteral("bad.jpg"))));
        QCOMPARE(zip.error(), error);
        QVERIFY2(zip.errorText().contains(text) && zip.errorText().contains("bad.jpg"),
                 qPrintable(zip.errorText()));
        // The archive stays usable for the next page.
        QCOMPARE(orFailed(zip.read(zip.indexOf(QStringLiteral("good.jpg")))), zf::pageBytes("good.jpg"));
        QCOMPARE(zip.error(), Error::None);
        QVERIFY(prompts->shown.isEmpty());
    }

    // A worker reads with an instance of its own and no prompt: a member
    // whose password is unknown fails without a box; once the reader has
    // typed the password on the user-interface side, the worker reads too.
    void readWithoutPromptNeverAsks()
    {
        const quint16 aes = ZIP_EM_AES_256;
        if (!zip_encryption_method_supported(aes, 1))
            QSKIP("this libzip cannot write the method");
        QVERIFY(zf::write(archive, {zf::file("plain.jpg"), zf::encrypted("p1.jpg", aes, "right"),
                                    zf::encrypted("p2.jpg", aes, "right")}));
        prompts->inputAnswers.enqueue({true, "right"}); // for whichever box comes first

        WorkerRead plain = readOnAnotherThread(archive, "plain.jpg");
        QVERIFY(!plain.needsPassword);
        QCOMPARE(orFailed(plain.bytes), zf::pageBytes("plain.jpg"));
        WorkerRead locked = readOnAnotherThread(archive, "p1.jpg");
        QVERIFY(locked.needsPassword);
        QVERIFY(!locked.bytes);
        QCOMPARE(locked.error, Error::NoPassword);
        QVERIFY(prompts->shown.isEmpty());
        QCOMPARE(modUnZip::ZipPasswordCancelled, qint16(0)); // not taken for a refusal

        ZipArchive shown(archive);
        const auto ask = [](const QString &member) {
            return modUnZip::ZipAskPassword(modUnZip::ZipPasswordCallback, member);
        };
        QCOMPARE(orFailed(shown.read(shown.indexOf(QStringLiteral("p1.jpg")), ask)),
                 zf::pageBytes("p1.jpg"));
        QCOMPARE(prompts->shown.size(), 1);

        WorkerRead unlocked = readOnAnotherThread(archive, "p2.jpg");
        QVERIFY(!unlocked.needsPassword);
        QCOMPARE(orFailed(unlocked.bytes), zf::pageBytes("p2.jpg"));
        QCOMPARE(prompts->shown.size(), 1);
    }
};

PAGORA_TEST_MAIN(TestZipArchive)
#include "tst_ziparchive.moc"
