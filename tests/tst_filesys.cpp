// Files as the program changes them, and the errors it reports (folder listings: tst_chapters).
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "platform/FileSystem.h"
#include "platform/PlatformError.h"

#include <QApplication>
#include <QDir>
#include <QtTest>
#include <filesystem>

using SeriesFixtures::fileContent;

// The error number the action fails with; 0 when it does not fail.
static int failure(const std::function<void()> &action)
{
    try {
        action();
    } catch (const PlatformError &error) {
        return error.number();
    }
    return 0;
}

class TestFileSystem : public QObject {
    Q_OBJECT

    FileSystem fs;
    QString dir; // ends in "/" and holds "sub A/", "A.ZIP" and "b.Zip"

private slots:
    void init()
    {
        dir = TestEnvironment::freshFolder(QStringLiteral("files")) + '/';
        QDir(dir).mkdir("sub A");
        SeriesFixtures::writeBytes(dir + "A.ZIP", "a");
        SeriesFixtures::writeBytes(dir + "b.Zip", "b");
    }

    // Read-only is the owner-write bit alone, set and cleared without
    // touching other bits; a read-only file is not deleted, even by root.
    void readOnlyFollowsOwnerWriteAndGuardsDelete()
    {
        const std::string native = QFile::encodeName(dir + "A.ZIP").toStdString();
        std::filesystem::permissions(native, std::filesystem::perms(0477));
        const auto mode = [&] { return int(std::filesystem::status(native).permissions()); };
        FsFile file = fs.getFile(dir + "A.ZIP");
        QCOMPARE(file.attributes(), FileAttribute::ReadOnly);
        QCOMPARE(failure([&] { file.remove(); }), ErrorNumber::PermissionDenied);
        file.setAttributes(FileAttribute::Normal);
        QCOMPARE(std::pair(file.attributes(), mode()), std::pair(FileAttribute::Normal, 0677));
        file.setAttributes(FileAttribute::ReadOnly);
        QCOMPARE(mode(), 0477);
        file.setAttributes(FileAttribute::Normal);
        file.remove();
        QVERIFY(!QFile::exists(dir + "A.ZIP"));
    }

    // A move never replaces anything, keeps both sides when refused, and the file follows a
    // move that works. A folder is no file, nor a file a folder.
    void moveRefusesTakenOrMissingTargets()
    {
        QCOMPARE(failure([&] { fs.getFolder(dir + "A.ZIP"); }), ErrorNumber::PathNotFound);
        QCOMPARE(failure([&] { fs.getFile(dir + "sub A"); }), ErrorNumber::FileNotFound);
        FsFile file = fs.getFile(dir + "A.ZIP");
        QCOMPARE(failure([&] { file.move(dir + "b.Zip"); }), ErrorNumber::FileAlreadyExists);
        QFile::link(dir + "gone", dir + "link.zip"); // a broken link is in the way too
        QCOMPARE(failure([&] { file.move(dir + "link.zip"); }), ErrorNumber::FileAlreadyExists);
        QCOMPARE(failure([&] { file.move(dir + "no/A.ZIP"); }), ErrorNumber::PathNotFound);
        QCOMPARE(fileContent(dir + "A.ZIP") + fileContent(dir + "b.Zip"), QByteArray("ab"));
        file.move(dir + "sub A/renamed.zip");
        QCOMPARE(QStringList({file.path(), file.name()}),
                 QStringList({dir + "sub A/renamed.zip", "renamed.zip"}));
        QVERIFY(!QFile::exists(dir + "A.ZIP") && fileContent(file.path()) == "a");
    }
};

PAGORA_TEST_MAIN(TestFileSystem)
#include "tst_filesys.moc"
