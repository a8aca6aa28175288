#include "platform/FileSystem.h"
#include "platform/PlatformError.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QtTest>
#include <filesystem>

#include <optional>
#include <sys/stat.h>

namespace {

void writeFile(const QString &path, const QByteArray &content = "x")
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(content);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

template <typename Action>
std::optional<PlatformError> errorOf(Action &&action)
{
    try {
        action();
    } catch (const PlatformError &error) {
        return error;
    }
    return std::nullopt;
}

const QHash<int, QString> descriptions{{53, "File not found"}, {58, "File already exists"},
                                       {70, "Permission denied"}, {76, "Path not found"}};

#define EXPECT_ERROR(expectedNumber, ...)                                       \
    do {                                                                          \
        const auto error_ = errorOf([&] { __VA_ARGS__; });                       \
        QVERIFY2(error_.has_value(), "no PlatformError thrown");                  \
        QCOMPARE(error_->number(), expectedNumber);                               \
        QCOMPARE(error_->description(), descriptions[expectedNumber]);            \
    } while (false)

template <typename Entry>
QStringList sortedNames(const QList<Entry> &entries)
{
    QStringList names;
    for (const Entry &entry : entries)
        names.append(entry.name());
    names.sort();
    return names;
}

// A folder holding one of each kind of entry a listing or search has to tell apart.
QString mixedFolder()
{
    const QString dir = TestEnvironment::freshFolder(QStringLiteral("mixed"));
    for (const char *name : {"sub A", ".hidden-dir", "e.zip"})
        QDir(dir).mkdir(QString::fromUtf8(name));
    for (const char *name : {"A.ZIP", "b.Zip", ".hidden.zip", "f1.zip", "f22.zip", "name [1].zip"})
        writeFile(dir + QLatin1Char('/') + QString::fromUtf8(name));
    QFile::link(dir + QStringLiteral("/gone"), dir + QStringLiteral("/dangling.zip"));
    return dir;
}

// Refuses every delete, as a locked-down medium would.
class RefusingFileSystem : public FileSystem {
public:
    void deleteFile(const QString &) const override
    {
        throw PlatformError(ErrorNumber::PermissionDenied, QStringLiteral("Permission denied"));
    }
};

} // namespace

class TestFileSystem : public QObject {
    Q_OBJECT

private slots:
    void existenceTellsFoldersFromFiles_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("isFolder");
        QTest::addColumn<bool>("isFile");
        QTest::newRow("folder") << "sub A" << true << false;
        QTest::newRow("folder with slash") << "sub A/" << true << false;
        QTest::newRow("file") << "A.ZIP" << false << true;
        QTest::newRow("file with slash") << "A.ZIP/" << false << false;
        QTest::newRow("broken link") << "dangling.zip" << false << false;
        QTest::newRow("empty path") << QString() << false << false;
    }
    void existenceTellsFoldersFromFiles()
    {
        QFETCH(QString, relative);
        QFETCH(bool, isFolder);
        QFETCH(bool, isFile);
        const QString path = relative.isNull() ? QString() : mixedFolder() + QLatin1Char('/') + relative;
        FileSystem fs;
        QCOMPARE(fs.folderExists(path), isFolder);
        QCOMPARE(fs.fileExists(path), isFile);
    }

    void getFolderNamesFolderAndRefusesFile()
    {
        const QString dir = mixedFolder();
        FileSystem fs;
        const FsFolder folder = fs.getFolder(dir + QStringLiteral("/sub A"));
        QCOMPARE(folder.name(), QStringLiteral("sub A"));
        QCOMPARE(folder.path(), dir + QStringLiteral("/sub A/"));
        EXPECT_ERROR(ErrorNumber::PathNotFound, fs.getFolder(dir + QStringLiteral("/A.ZIP")));
        EXPECT_ERROR(ErrorNumber::FileNotFound, fs.getFile(dir + QStringLiteral("/sub A")));
    }

    void listingSplitsSubFoldersFromFiles()
    {
        const QString dir = mixedFolder();
        FileSystem fs;
        const FsFolder folder = fs.getFolder(dir);
        QCOMPARE(sortedNames(folder.subFolders()), (QStringList{".hidden-dir", "e.zip", "sub A"}));
        const QList<FsFile> files = folder.files();
        QCOMPARE(sortedNames(files), (QStringList{".hidden.zip", "A.ZIP", "b.Zip", "f1.zip", "f22.zip", "name [1].zip"}));
        for (const FsFile &file : files)
            QCOMPARE(file.path(), dir + QLatin1Char('/') + file.name());
    }

    void attributesFollowOwnerWriteBitOnly_data()
    {
        QTest::addColumn<int>("startMode");
        QTest::addColumn<int>("startAttributes");
        QTest::newRow("0644") << 0644 << FileAttribute::Normal;
        QTest::newRow("0477 only owner can't write") << 0477 << FileAttribute::ReadOnly;
    }
    void attributesFollowOwnerWriteBitOnly()
    {
        QFETCH(int, startMode);
        QFETCH(int, startAttributes);
        const QString path = TestEnvironment::freshFolder(QStringLiteral("attr")) + QStringLiteral("/p.zip");
        writeFile(path);
        const QByteArray native = QFile::encodeName(path);
        // The starting mode only; the layer's own rule is what is tested.
        std::filesystem::permissions(native.constData(), std::filesystem::perms(startMode));
        const auto modeNow = [&] {
            struct stat info;
            ::stat(native.constData(), &info);
            return int(info.st_mode & 07777);
        };

        FileSystem fs;
        FsFile file = fs.getFile(path);
        QCOMPARE(file.attributes(), startAttributes);
        file.setAttributes(FileAttribute::ReadOnly);
        QCOMPARE(file.attributes(), FileAttribute::ReadOnly);
        QCOMPARE(modeNow(), startMode & ~0200);
        file.setAttributes(FileAttribute::Normal);
        QCOMPARE(file.attributes(), FileAttribute::Normal);
        QCOMPARE(modeNow(), startMode | 0200);
    }

    void deleteRefusesReadOnlyFile()
    {
        const QString path = TestEnvironment::freshFolder(QStringLiteral("del")) + QStringLiteral("/x.zip");
        writeFile(path, "kept");
        FileSystem fs;
        FsFile file = fs.getFile(path);
        file.setAttributes(FileAttribute::ReadOnly);
        EXPECT_ERROR(ErrorNumber::PermissionDenied, file.remove());
        QCOMPARE(readFile(path), QByteArray("kept"));
        file.setAttributes(FileAttribute::Normal);
        file.remove();
        QVERIFY(!QFile::exists(path));
    }

    void refusedMoveKeepsBothSides_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("number");
        QTest::newRow("onto a file") << "b.Zip" << int(ErrorNumber::FileAlreadyExists);
        QTest::newRow("onto a folder") << "sub A" << int(ErrorNumber::FileAlreadyExists);
        QTest::newRow("into a missing folder") << "nowhere/A.ZIP" << int(ErrorNumber::PathNotFound);
    }
    void refusedMoveKeepsBothSides()
    {
        QFETCH(QString, to);
        QFETCH(int, number);
        const QString dir = mixedFolder() + QLatin1Char('/');
        writeFile(dir + QStringLiteral("A.ZIP"), "source");
        writeFile(dir + QStringLiteral("b.Zip"), "target");
        FileSystem fs;
        EXPECT_ERROR(number, fs.moveFile(dir + QStringLiteral("A.ZIP"), dir + to));
        QCOMPARE(readFile(dir + QStringLiteral("A.ZIP")), QByteArray("source"));
        QCOMPARE(readFile(dir + QStringLiteral("b.Zip")), QByteArray("target"));
        QVERIFY(fs.folderExists(dir + QStringLiteral("sub A")));
    }

    void moveRenamesAndFollowsFile()
    {
        const QString dir = mixedFolder() + QLatin1Char('/');
        writeFile(dir + QStringLiteral("A.ZIP"), "source");
        FileSystem fs;
        FsFile file = fs.getFile(dir + QStringLiteral("A.ZIP"));
        file.move(dir + QStringLiteral("sub A/renamed.zip"));
        QVERIFY(!QFileInfo::exists(dir + QStringLiteral("A.ZIP")));
        QCOMPARE(readFile(dir + QStringLiteral("sub A/renamed.zip")), QByteArray("source"));
        QCOMPARE(file.path(), dir + QStringLiteral("sub A/renamed.zip"));
        QCOMPARE(file.name(), QStringLiteral("renamed.zip"));
    }

    void searchMatchesNormalFilesIgnoringCase_data()
    {
        QTest::addColumn<QString>("wildcard");
        QTest::addColumn<QStringList>("expected");
        // No folder (e.zip), dot file or broken link among them.
        QTest::newRow("*.zip any case") << "*.zip" << QStringList{"A.ZIP", "b.Zip", "f1.zip", "f22.zip", "name [1].zip"};
        QTest::newRow("? is one char") << "F?.ZIP" << QStringList{"f1.zip"};
        QTest::newRow("brackets literal") << "*[1]*" << QStringList{"name [1].zip"};
        QTest::newRow("brackets not a set") << "[abf]*" << QStringList{};
        QTest::newRow("dot files hidden") << ".hidden*" << QStringList{};
    }
    void searchMatchesNormalFilesIgnoringCase()
    {
        QFETCH(QString, wildcard);
        QFETCH(QStringList, expected);
        DirectorySearch search;
        QStringList found;
        for (QString name = search.first(mixedFolder() + QLatin1Char('/') + wildcard); !name.isEmpty();
             name = search.next())
            found.append(name);
        found.sort();
        QCOMPARE(found, expected);
    }

    void searchOfMissingFolderAndAfterLastName()
    {
        const QString dir = mixedFolder();
        DirectorySearch search;
        QCOMPARE(search.first(dir + QStringLiteral("/nothing/*")), QString());
        QCOMPARE(search.next(), QString());
        QCOMPARE(search.first(dir + QStringLiteral("/f1.*")), QStringLiteral("f1.zip"));
        QCOMPARE(search.next(), QString());
        QCOMPARE(search.next(), QString());
    }

    void injectedLayerReceivesFileOperations()
    {
        const QString path = TestEnvironment::freshFolder(QStringLiteral("inject")) + QStringLiteral("/x.zip");
        writeFile(path);
        RefusingFileSystem refusing;
        FsFile file = static_cast<const FileSystem &>(refusing).getFile(path);
        EXPECT_ERROR(ErrorNumber::PermissionDenied, file.remove());
        QVERIFY(QFile::exists(path));
    }
};

PAGORA_TEST_MAIN(TestFileSystem)
#include "tst_filesys.moc"
