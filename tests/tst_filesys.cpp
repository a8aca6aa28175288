#include "platform/FileSystem.h"
#include "platform/PlatformError.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QtTest>
#include <filesystem>

namespace {

void writeFile(const QString &path, const QByteArray &content = "x")
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly) && file.write(content) == content.size(), qPrintable(path));
}

QByteArray readFile(const QString &path) { QFile f(path); return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(); }

const QHash<int, QString> descriptions{{53, "File not found"}, {58, "File already exists"},
                                       {70, "Permission denied"}, {76, "Path not found"}};

// A statement: the action must throw the numbered error with its usual description.
#define EXPECT_ERROR(expectedNumber, ...)                                                  \
    try {                                                                                  \
        __VA_ARGS__;                                                                       \
        QFAIL("no PlatformError thrown");                                                  \
    } catch (const PlatformError &error_) {                                                \
        QCOMPARE(std::pair(error_.number(), error_.description()),                         \
                 std::pair(int(expectedNumber), descriptions[expectedNumber]));              \
    }

template <typename Entry>
QStringList sortedNames(const QList<Entry> &entries)
{
    QStringList names;
    for (const Entry &entry : entries)
        names.append(entry.name());
    return names.sort(), names;
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
    void deleteFile(const QString &) const override { throw PlatformError(ErrorNumber::PermissionDenied); }
};

} // namespace

class TestFileSystem : public QObject {
    Q_OBJECT

private slots:
    void existenceTellsFoldersFromFiles_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << "sub A" << "folder";
        QTest::newRow("folder with slash") << "sub A/" << "folder";
        QTest::newRow("file") << "A.ZIP" << "file";
        QTest::newRow("file with slash") << "A.ZIP/" << "";
        QTest::newRow("broken link") << "dangling.zip" << "";
        QTest::newRow("empty path") << QString() << "";
    }
    void existenceTellsFoldersFromFiles()
    {
        QFETCH(QString, relative);
        QFETCH(QString, kind);
        const QString path = relative.isNull() ? QString() : mixedFolder() + QLatin1Char('/') + relative;
        FileSystem fs;
        QCOMPARE(fs.folderExists(path), kind == QStringLiteral("folder"));
        QCOMPARE(fs.fileExists(path), kind == QStringLiteral("file"));
    }

    void getFolderListsSubFoldersApartFromFiles()
    {
        const QString dir = mixedFolder();
        FileSystem fs;
        EXPECT_ERROR(ErrorNumber::PathNotFound, fs.getFolder(dir + QStringLiteral("/A.ZIP")));
        EXPECT_ERROR(ErrorNumber::FileNotFound, fs.getFile(dir + QStringLiteral("/sub A")));
        QCOMPARE(fs.getFolder(dir + QStringLiteral("/sub A")).path(), dir + QStringLiteral("/sub A/"));
        const FsFolder folder = fs.getFolder(dir);
        QCOMPARE(sortedNames(folder.subFolders()), (QStringList{".hidden-dir", "e.zip", "sub A"}));
        const QList<FsFile> files = folder.files();
        QCOMPARE(sortedNames(files), (QStringList{".hidden.zip", "A.ZIP", "b.Zip", "f1.zip", "f22.zip", "name [1].zip"}));
        for (const FsFile &file : files)
            QCOMPARE(file.path(), dir + QLatin1Char('/') + file.name());
    }

    void attributesFollowOwnerWriteAndGuardDelete_data()
    {
        QTest::addColumn<int>("startMode");
        QTest::addColumn<int>("startAttributes");
        QTest::newRow("0644") << 0644 << FileAttribute::Normal;
        QTest::newRow("0477 only owner can't write") << 0477 << FileAttribute::ReadOnly;
    }
    void attributesFollowOwnerWriteAndGuardDelete()
    {
        QFETCH(int, startMode);
        QFETCH(int, startAttributes);
        const QString path = TestEnvironment::freshFolder(QStringLiteral("attr")) + QStringLiteral("/p.zip");
        writeFile(path);
        const QByteArray native = QFile::encodeName(path);
        // The starting mode only; the layer's own rule is what is tested.
        std::filesystem::permissions(native.constData(), std::filesystem::perms(startMode));
        const auto modeNow = [&] { return int(std::filesystem::status(native.constData()).permissions()); };

        FileSystem fs;
        FsFile file = fs.getFile(path);
        QCOMPARE(file.attributes(), startAttributes);
        file.setAttributes(FileAttribute::ReadOnly);
        QCOMPARE(file.attributes(), FileAttribute::ReadOnly);
        QCOMPARE(modeNow(), startMode & ~0200);
        EXPECT_ERROR(ErrorNumber::PermissionDenied, file.remove());
        QCOMPARE(readFile(path), QByteArray("x"));
        file.setAttributes(FileAttribute::Normal);
        QCOMPARE(file.attributes(), FileAttribute::Normal);
        QCOMPARE(modeNow(), startMode | 0200);
        // A file from an injected layer goes through that layer, whatever its mode.
        RefusingFileSystem refusing;
        EXPECT_ERROR(ErrorNumber::PermissionDenied, static_cast<const FileSystem &>(refusing).getFile(path).remove());
        QVERIFY(QFile::exists(path));
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
        writeFile(dir + QStringLiteral("b.Zip"), "target");
        FileSystem fs;
        EXPECT_ERROR(number, fs.moveFile(dir + QStringLiteral("A.ZIP"), dir + to));
        QCOMPARE(readFile(dir + QStringLiteral("A.ZIP")), QByteArray("x"));
        QCOMPARE(readFile(dir + QStringLiteral("b.Zip")), QByteArray("target"));
        QVERIFY(fs.folderExists(dir + QStringLiteral("sub A")));
    }

    void moveRenamesAndFollowsFile()
    {
        const QString dir = mixedFolder() + QLatin1Char('/'), to = dir + QStringLiteral("sub A/renamed.zip");
        FileSystem fs;
        FsFile file = fs.getFile(dir + QStringLiteral("A.ZIP"));
        file.move(to);
        QVERIFY(!QFileInfo::exists(dir + QStringLiteral("A.ZIP")));
        QCOMPARE(readFile(to), QByteArray("x"));
        QCOMPARE(QStringList({file.path(), file.name()}), QStringList({to, "renamed.zip"}));
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
        QTest::newRow("missing folder") << "nothing/*" << QStringList{};
    }
    void searchMatchesNormalFilesIgnoringCase()
    {
        QFETCH(QString, wildcard);
        QFETCH(QStringList, expected);
        DirectorySearch search;
        QStringList found;
        for (QString name = search.first(mixedFolder() + u'/' + wildcard); !name.isEmpty(); name = search.next())
            found.append(name);
        QCOMPARE(search.next(), QString()); // still nothing once the names ran out
        found.sort();
        QCOMPARE(found, expected);
    }
};

PAGORA_TEST_MAIN(TestFileSystem)
#include "tst_filesys.moc"
