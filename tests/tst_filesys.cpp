#include "platform/FileSystem.h"
#include "platform/PlatformError.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QtTest>

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

QString descriptionOf(int number)
{
    switch (number) {
    case 53: return QStringLiteral("File not found");
    case 58: return QStringLiteral("File already exists");
    case 70: return QStringLiteral("Permission denied");
    case 75: return QStringLiteral("Path/File access error");
    case 76: return QStringLiteral("Path not found");
    }
    return {};
}

#define EXPECT_ERROR(expectedNumber, ...)                                       \
    do {                                                                          \
        const auto error_ = errorOf([&] { __VA_ARGS__; });                       \
        QVERIFY2(error_.has_value(), "no PlatformError thrown");                  \
        QCOMPARE(error_->number(), expectedNumber);                               \
        QCOMPARE(error_->description(), descriptionOf(expectedNumber));           \
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

// Every name a search yields, in order, stopping at the first empty one.
QStringList searchAll(DirectorySearch &search, const QString &pattern)
{
    QStringList names;
    for (QString name = search.first(pattern); !name.isEmpty(); name = search.next())
        names.append(name);
    return names;
}

// A folder holding one of each kind of entry a listing has to tell apart.
QString mixedFolder()
{
    const QString dir = TestEnvironment::freshFolder(QStringLiteral("mixed"));
    QDir(dir).mkdir(QStringLiteral("sub A"));
    QDir(dir).mkdir(QStringLiteral(".hidden-dir"));
    QDir(dir).mkdir(QStringLiteral("e.zip"));
    for (const char *name : {"A.ZIP", "b.Zip", "c.zip.txt", ".hidden.zip", "f1.zip", "f22.zip",
                             "name [1].zip", "two words.zip", "Ärger.cbz"})
        writeFile(dir + QLatin1Char('/') + QString::fromUtf8(name));
    QFile::link(dir + QStringLiteral("/sub A"), dir + QStringLiteral("/link-dir"));
    QFile::link(dir + QStringLiteral("/f1.zip"), dir + QStringLiteral("/link.zip"));
    QFile::link(dir + QStringLiteral("/gone"), dir + QStringLiteral("/dangling.zip"));
    ::mkfifo(QFile::encodeName(dir + QStringLiteral("/pipe.zip")).constData(), 0644);
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
    void existenceTellsFoldersFromFiles_data();
    void existenceTellsFoldersFromFiles();
    void getFolderNamesItAndEndsItsPathWithSlash_data();
    void getFolderNamesItAndEndsItsPathWithSlash();
    void getFolderOfNoFolderFailsWithPathNotFound_data();
    void getFolderOfNoFolderFailsWithPathNotFound();
    void getFileOfNoFileFailsWithFileNotFound_data();
    void getFileOfNoFileFailsWithFileNotFound();
    void listingSplitsSubFoldersFromFiles_data();
    void listingSplitsSubFoldersFromFiles();
    void listingOfNoFolderFailsWithPathNotFound();
    void attributesFollowOwnerWriteBitOnly_data();
    void attributesFollowOwnerWriteBitOnly();
    void deleteRemovesNormalFile();
    void refusedDeleteKeepsEntry_data();
    void refusedDeleteKeepsEntry();
    void refusedMoveKeepsBothSides_data();
    void refusedMoveKeepsBothSides();
    void moveRenamesAndFollowsFile_data();
    void moveRenamesAndFollowsFile();
    void searchMatchesNormalFilesIgnoringCase_data();
    void searchMatchesNormalFilesIgnoringCase();
    void searchOfNoFolderFindsNothing_data();
    void searchOfNoFolderFindsNothing();
    void searchInFolderWithWildcardCharsInName();
    void searchStaysExhaustedAndRestartsOnFirst();
    void injectedLayerReceivesFileOperations();
};

void TestFileSystem::existenceTellsFoldersFromFiles_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("isFolder");
    QTest::addColumn<bool>("isFile");
    QTest::newRow("folder") << "sub A" << true << false;
    QTest::newRow("folder with slash") << "sub A/" << true << false;
    QTest::newRow("hidden folder") << ".hidden-dir" << true << false;
    QTest::newRow("link to folder") << "link-dir" << true << false;
    QTest::newRow("file") << "Ärger.cbz" << false << true;
    QTest::newRow("file with slash") << "Ärger.cbz/" << false << false;
    QTest::newRow("link to file") << "link.zip" << false << true;
    QTest::newRow("broken link") << "dangling.zip" << false << false;
    QTest::newRow("pipe") << "pipe.zip" << false << false;
    QTest::newRow("missing") << "nothing" << false << false;
    QTest::newRow("empty path") << QString() << false << false;
}

void TestFileSystem::existenceTellsFoldersFromFiles()
{
    QFETCH(QString, relative);
    QFETCH(bool, isFolder);
    QFETCH(bool, isFile);
    const QString path = relative.isNull() ? QString() : mixedFolder() + QLatin1Char('/') + relative;
    FileSystem fs;
    QCOMPARE(fs.folderExists(path), isFolder);
    QCOMPARE(fs.fileExists(path), isFile);
}

void TestFileSystem::getFolderNamesItAndEndsItsPathWithSlash_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("plain") << "";
    QTest::newRow("one slash") << "/";
    QTest::newRow("two slashes") << "//";
}

void TestFileSystem::getFolderNamesItAndEndsItsPathWithSlash()
{
    QFETCH(QString, suffix);
    const QString parent = TestEnvironment::freshFolder(QStringLiteral("named"));
    const QString dir = parent + QStringLiteral("/Série [2] *?");
    QVERIFY(QDir().mkpath(dir));
    FileSystem fs;
    const FsFolder folder = fs.getFolder(dir + suffix);
    QCOMPARE(folder.name(), QStringLiteral("Série [2] *?"));
    QCOMPARE(folder.path(), dir + QLatin1Char('/'));
    QCOMPARE(fs.getFolder(QStringLiteral("/")).path(), QStringLiteral("/"));
}

void TestFileSystem::getFolderOfNoFolderFailsWithPathNotFound_data()
{
    QTest::addColumn<QString>("relative");
    QTest::newRow("file") << "A.ZIP";
    QTest::newRow("missing") << "nothing/";
    QTest::newRow("under a file") << "A.ZIP/inner";
    QTest::newRow("empty path") << QString();
}

void TestFileSystem::getFolderOfNoFolderFailsWithPathNotFound()
{
    QFETCH(QString, relative);
    const QString path = relative.isNull() ? QString() : mixedFolder() + QLatin1Char('/') + relative;
    FileSystem fs;
    EXPECT_ERROR(ErrorNumber::PathNotFound, fs.getFolder(path));
}

void TestFileSystem::getFileOfNoFileFailsWithFileNotFound_data()
{
    QTest::addColumn<QString>("relative");
    QTest::newRow("folder") << "sub A";
    QTest::newRow("missing") << "nothing.zip";
    QTest::newRow("broken link") << "dangling.zip";
    QTest::newRow("empty path") << QString();
}

void TestFileSystem::getFileOfNoFileFailsWithFileNotFound()
{
    QFETCH(QString, relative);
    const QString dir = mixedFolder();
    const QString path = relative.isNull() ? QString() : dir + QLatin1Char('/') + relative;
    FileSystem fs;
    EXPECT_ERROR(ErrorNumber::FileNotFound, fs.getFile(path));
    const FsFile file = fs.getFile(dir + QStringLiteral("/two words.zip"));
    QCOMPARE(file.name(), QStringLiteral("two words.zip"));
    QCOMPARE(file.path(), dir + QStringLiteral("/two words.zip"));
}

void TestFileSystem::listingSplitsSubFoldersFromFiles_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("path without slash") << "";
    QTest::newRow("path with slash") << "/";
}

void TestFileSystem::listingSplitsSubFoldersFromFiles()
{
    QFETCH(QString, suffix);
    const QString dir = mixedFolder();
    FileSystem fs;
    const FsFolder folder = fs.getFolder(dir + suffix);

    const QList<FsFolder> subFolders = folder.subFolders();
    QCOMPARE(sortedNames(subFolders), (QStringList{".hidden-dir", "e.zip", "link-dir", "sub A"}));
    const QList<FsFile> files = fs.files(dir + suffix);
    QCOMPARE(sortedNames(files),
             (QStringList{".hidden.zip", "A.ZIP", "b.Zip", "c.zip.txt", "f1.zip", "f22.zip",
                          "link.zip", "name [1].zip", "two words.zip", "Ärger.cbz"}));

    for (const FsFolder &sub : subFolders)
        QCOMPARE(sub.path(), dir + QLatin1Char('/') + sub.name() + QLatin1Char('/'));
    for (const FsFile &file : files)
        QVERIFY2(fs.fileExists(file.path()), qPrintable(file.path()));
    const FsFolder empty = fs.getFolder(dir + QStringLiteral("/sub A"));
    QVERIFY(empty.subFolders().isEmpty());
    QVERIFY(empty.files().isEmpty());
}

void TestFileSystem::listingOfNoFolderFailsWithPathNotFound()
{
    const QString dir = mixedFolder();
    FileSystem fs;
    for (const QString &path : {dir + QStringLiteral("/nothing"), dir + QStringLiteral("/A.ZIP")}) {
        EXPECT_ERROR(ErrorNumber::PathNotFound, fs.subFolders(path));
        EXPECT_ERROR(ErrorNumber::PathNotFound, fs.files(path));
    }
}

void TestFileSystem::attributesFollowOwnerWriteBitOnly_data()
{
    QTest::addColumn<int>("startMode");
    QTest::addColumn<int>("startAttributes");
    QTest::newRow("0644") << 0644 << FileAttribute::Normal;
    QTest::newRow("0600") << 0600 << FileAttribute::Normal;
    QTest::newRow("0755") << 0755 << FileAttribute::Normal;
    QTest::newRow("0444 read-only") << 0444 << FileAttribute::ReadOnly;
    QTest::newRow("0477 only owner can't write") << 0477 << FileAttribute::ReadOnly;
}

void TestFileSystem::attributesFollowOwnerWriteBitOnly()
{
    QFETCH(int, startMode);
    QFETCH(int, startAttributes);
    const QString path = TestEnvironment::freshFolder(QStringLiteral("attr")) + QStringLiteral("/p.zip");
    writeFile(path);
    const QByteArray native = QFile::encodeName(path);
    QCOMPARE(::chmod(native.constData(), mode_t(startMode)), 0);
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

    QVERIFY(QFile::remove(path));
    EXPECT_ERROR(ErrorNumber::FileNotFound, file.attributes());
    EXPECT_ERROR(ErrorNumber::FileNotFound, file.setAttributes(FileAttribute::ReadOnly));
}

void TestFileSystem::deleteRemovesNormalFile()
{
    const QString path = TestEnvironment::freshFolder(QStringLiteral("del")) + QStringLiteral("/x.zip");
    writeFile(path);
    FileSystem fs;
    FsFile file = fs.getFile(path);
    file.remove();
    QVERIFY(!QFile::exists(path));
    EXPECT_ERROR(ErrorNumber::FileNotFound, file.remove());
}

void TestFileSystem::refusedDeleteKeepsEntry_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<int>("number");
    QTest::newRow("read-only file") << "A.ZIP" << true << int(ErrorNumber::PermissionDenied);
    QTest::newRow("folder") << "sub A" << false << int(ErrorNumber::FileNotFound);
    QTest::newRow("missing") << "nothing" << false << int(ErrorNumber::FileNotFound);
}

void TestFileSystem::refusedDeleteKeepsEntry()
{
    QFETCH(QString, relative);
    QFETCH(bool, readOnly);
    QFETCH(int, number);
    const QString path = mixedFolder() + QLatin1Char('/') + relative;
    FileSystem fs;
    if (readOnly)
        fs.setAttributes(path, FileAttribute::ReadOnly);
    const bool existed = QFileInfo::exists(path);
    EXPECT_ERROR(number, fs.deleteFile(path));
    QCOMPARE(QFileInfo::exists(path), existed);
}

void TestFileSystem::refusedMoveKeepsBothSides_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("number");
    const int taken = ErrorNumber::FileAlreadyExists;
    const int noPath = ErrorNumber::PathNotFound;
    QTest::newRow("onto a file") << "A.ZIP" << "b.Zip" << taken;
    QTest::newRow("onto itself") << "A.ZIP" << "A.ZIP" << taken;
    QTest::newRow("onto a folder") << "A.ZIP" << "sub A" << taken;
    QTest::newRow("onto a broken link") << "A.ZIP" << "dangling.zip" << taken;
    QTest::newRow("into a missing folder") << "A.ZIP" << "nowhere/A.ZIP" << noPath;
    QTest::newRow("into a file") << "A.ZIP" << "b.Zip/A.ZIP" << noPath;
    QTest::newRow("missing source") << "nothing" << "new.zip" << int(ErrorNumber::FileNotFound);
    QTest::newRow("folder source") << "sub A" << "new" << int(ErrorNumber::FileNotFound);
}

void TestFileSystem::refusedMoveKeepsBothSides()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, number);
    const QString dir = mixedFolder() + QLatin1Char('/');
    writeFile(dir + QStringLiteral("A.ZIP"), "source");
    writeFile(dir + QStringLiteral("b.Zip"), "target");
    FileSystem fs;
    EXPECT_ERROR(number, fs.moveFile(dir + from, dir + to));
    QCOMPARE(readFile(dir + QStringLiteral("A.ZIP")), QByteArray("source"));
    QCOMPARE(readFile(dir + QStringLiteral("b.Zip")), QByteArray("target"));
    QVERIFY(fs.folderExists(dir + QStringLiteral("sub A")));
    QVERIFY(QFileInfo(dir + QStringLiteral("dangling.zip")).isSymLink());
    QVERIFY(!QFileInfo::exists(dir + QStringLiteral("new.zip")));
}

void TestFileSystem::moveRenamesAndFollowsFile_data()
{
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("same folder") << "renamed.zip" << false;
    QTest::newRow("into a sub-folder") << "sub A/A.ZIP" << false;
    QTest::newRow("odd name") << "Čapek [1] *?.zip" << false;
    QTest::newRow("read-only file") << "kept.zip" << true;
}

void TestFileSystem::moveRenamesAndFollowsFile()
{
    QFETCH(QString, to);
    QFETCH(bool, readOnly);
    const QString dir = mixedFolder() + QLatin1Char('/');
    writeFile(dir + QStringLiteral("A.ZIP"), "source");
    FileSystem fs;
    FsFile file = fs.getFile(dir + QStringLiteral("A.ZIP"));
    if (readOnly)
        file.setAttributes(FileAttribute::ReadOnly);
    file.move(dir + to);
    QVERIFY(!QFileInfo::exists(dir + QStringLiteral("A.ZIP")));
    QCOMPARE(readFile(dir + to), QByteArray("source"));
    QCOMPARE(file.path(), dir + to);
    QCOMPARE(file.name(), to.mid(to.lastIndexOf(QLatin1Char('/')) + 1));
    QCOMPARE(file.attributes(), readOnly ? FileAttribute::ReadOnly : FileAttribute::Normal);
}

void TestFileSystem::searchMatchesNormalFilesIgnoringCase_data()
{
    QTest::addColumn<QString>("wildcard");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("*.zip any case") << "*.zip"
        << QStringList{"A.ZIP", "b.Zip", "f1.zip", "f22.zip", "link.zip", "name [1].zip",
                       "two words.zip"};
    QTest::newRow("upper-case pattern") << "*.ZIP.TXT" << QStringList{"c.zip.txt"};
    QTest::newRow("? is one char") << "f?.zip" << QStringList{"f1.zip"};
    QTest::newRow("?? is two chars") << "F??.ZIP" << QStringList{"f22.zip"};
    QTest::newRow("non-ASCII case") << "ä*" << QStringList{"Ärger.cbz"};
    QTest::newRow("brackets literal") << "*[1]*" << QStringList{"name [1].zip"};
    QTest::newRow("brackets not a set") << "[abf]*" << QStringList{};
    QTest::newRow("exact name with space") << "two words.zip" << QStringList{"two words.zip"};
    QTest::newRow("dot files hidden") << ".hidden*" << QStringList{};
    QTest::newRow("folder not a file") << "e.zip" << QStringList{};
    QTest::newRow("pipe and broken link") << "p*e.zip" << QStringList{};
    QTest::newRow("nothing matches") << "zzz*" << QStringList{};
    QTest::newRow("empty wildcard") << "" << QStringList{};
    QTest::newRow("everything") << "*"
        << QStringList{"A.ZIP", "b.Zip", "c.zip.txt", "f1.zip", "f22.zip", "link.zip",
                       "name [1].zip", "two words.zip", "Ärger.cbz"};
}

void TestFileSystem::searchMatchesNormalFilesIgnoringCase()
{
    QFETCH(QString, wildcard);
    QFETCH(QStringList, expected);
    DirectorySearch search;
    QStringList found = searchAll(search, mixedFolder() + QLatin1Char('/') + wildcard);
    found.sort();
    expected.sort();
    QCOMPARE(found, expected);
}

void TestFileSystem::searchOfNoFolderFindsNothing_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("missing folder") << "nothing";
    QTest::newRow("file as folder") << "A.ZIP";
    QTest::newRow("broken link as folder") << "dangling.zip";
}

void TestFileSystem::searchOfNoFolderFindsNothing()
{
    QFETCH(QString, folder);
    DirectorySearch search;
    QCOMPARE(search.first(mixedFolder() + QLatin1Char('/') + folder + QStringLiteral("/*")),
             QString());
    QCOMPARE(search.next(), QString());
}

void TestFileSystem::searchInFolderWithWildcardCharsInName()
{
    const QString dir = TestEnvironment::freshFolder(QStringLiteral("odd")) + QStringLiteral("/Vol [1] *?");
    QVERIFY(QDir().mkpath(dir));
    writeFile(dir + QStringLiteral("/page 1.zip"));
    writeFile(dir + QStringLiteral("/page 2.cbz"));
    DirectorySearch search;
    QCOMPARE(searchAll(search, dir + QStringLiteral("/*.ZIP")), QStringList{"page 1.zip"});
}

void TestFileSystem::searchStaysExhaustedAndRestartsOnFirst()
{
    const QString dir = TestEnvironment::freshFolder(QStringLiteral("exhaust"));
    writeFile(dir + QStringLiteral("/one.zip"));
    writeFile(dir + QStringLiteral("/two.cbz"));
    DirectorySearch search;
    QCOMPARE(search.next(), QString());
    QCOMPARE(search.first(dir + QStringLiteral("/*.zip")), QStringLiteral("one.zip"));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(search.next(), QString());
    QCOMPARE(search.first(dir + QStringLiteral("/*.cbz")), QStringLiteral("two.cbz"));
    QCOMPARE(search.next(), QString());
}

void TestFileSystem::injectedLayerReceivesFileOperations()
{
    const QString path = TestEnvironment::freshFolder(QStringLiteral("inject")) + QStringLiteral("/x.zip");
    writeFile(path);
    RefusingFileSystem refusing;
    const FileSystem &fs = refusing;
    FsFile file = fs.getFolder(QFileInfo(path).path()).files().value(0);
    QCOMPARE(file.name(), QStringLiteral("x.zip"));
    EXPECT_ERROR(ErrorNumber::PermissionDenied, file.remove());
    QVERIFY(QFile::exists(path));
}

PAGORA_TEST_MAIN(TestFileSystem)
#include "tst_filesys.moc"
