// Files as the program changes them, and the errors it reports (folder listings: tst_chapters).
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "platform/FileSystem.h"
#include "platform/PlatformError.h"

#include <QApplication>
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
    QString dir; // ends in "/" and holds "A.ZIP" and "b.Zip"

private slots:
    void init()
    {
        dir = TestEnvironment::freshFolder(QStringLiteral("files")) + '/';
        SeriesFixtures::writeBytes(dir + "A.ZIP", "a");
        SeriesFixtures::writeBytes(dir + "b.Zip", "b");
    }

    // Read-only is the owner-write bit alone, set and cleared without touching other bits; a
    // read-only file is not deleted, even by root (a writable one deleted, moved: tst_archive).
    void readOnlyFollowsOwnerWriteAndGuardsDelete()
    {
        const std::string native = QFile::encodeName(dir + "A.ZIP").toStdString();
        std::filesystem::permissions(native, std::filesystem::perms(0677));
        const auto mode = [&] { return int(std::filesystem::status(native).permissions()); };
        FsFile file = fs.getFile(dir + "A.ZIP");
        file.setAttributes(FileAttribute::ReadOnly);
        QCOMPARE(std::pair(file.attributes(), mode()), std::pair(FileAttribute::ReadOnly, 0477));
        QCOMPARE(failure([&] { file.remove(); }), ErrorNumber::PermissionDenied);
        file.setAttributes(FileAttribute::Normal);
        QCOMPARE(std::pair(file.attributes(), mode()), std::pair(FileAttribute::Normal, 0677));
    }

    // A move never replaces anything and keeps both sides when refused.
    void moveRefusesTakenOrMissingTargets()
    {
        FsFile file = fs.getFile(dir + "A.ZIP");
        QCOMPARE(failure([&] { file.move(dir + "b.Zip"); }), ErrorNumber::FileAlreadyExists);
        QFile::link(dir + "gone", dir + "link.zip"); // a broken link is in the way too
        QCOMPARE(failure([&] { file.move(dir + "link.zip"); }), ErrorNumber::FileAlreadyExists);
        QCOMPARE(failure([&] { file.move(dir + "no/A.ZIP"); }), ErrorNumber::PathNotFound);
        QCOMPARE(fileContent(dir + "A.ZIP") + fileContent(dir + "b.Zip"), QByteArray("ab"));
    }
};

PAGORA_TEST_MAIN(TestFileSystem)
#include "tst_filesys.moc"
