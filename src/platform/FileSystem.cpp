#include "platform/FileSystem.h"

#include "platform/PlatformError.h"
#include "platform/Wildcard.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void fail(int number)
{
    throw PlatformError(number);
}

// What a failed system call on an existing file means to the user.
[[noreturn]] void failFromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR: fail(ErrorNumber::FileNotFound);
    case EACCES:
    case EPERM:
    case EROFS: fail(ErrorNumber::PermissionDenied);
    default: fail(ErrorNumber::PathFileAccessError);
    }
}

// stat() follows links, so a link counts as what it points to and a broken
// link as nothing; "file/" fails with ENOTDIR, so it is no file either.
bool statOf(const QString &path, struct stat &info)
{
    if (path.isEmpty())
        return false;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

// Anything at all at the path, broken links included: a move must not land there.
bool somethingAt(const QString &path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// "/a/b//" -> "/a/b"; the root stays "/".
QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

QString withTrailingSlash(const QString &path)
{
    const QString trimmed = withoutTrailingSlash(path);
    return trimmed.endsWith(QLatin1Char('/')) ? trimmed : trimmed + QLatin1Char('/');
}

QString lastComponent(const QString &path)
{
    const QString trimmed = withoutTrailingSlash(path);
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

// The folder part of a path; the current folder when there is none.
QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

// QDir's filters on Linux: Dirs and Files follow links; without QDir::System
// broken links, devices, pipes and sockets are left out. Unsorted keeps one
// pass over a large folder.
QStringList entryNames(const QString &folder, QDir::Filters filters)
{
    QStringList names;
    QDirIterator it(folder, filters | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        names.append(it.fileName());
    }
    return names;
}

} // namespace

// ---- FsFile ----------------------------------------------------------------

FsFile::FsFile(const FileSystem *fileSystem, QString name, QString path)
    : m_fileSystem(fileSystem), m_name(std::move(name)), m_path(std::move(path))
{
}

const FileSystem &FsFile::fileSystem() const
{
    if (!m_fileSystem)
        fail(ErrorNumber::FileNotFound);
    return *m_fileSystem;
}

int FsFile::attributes() const
{
    return fileSystem().attributes(m_path);
}

void FsFile::setAttributes(int attributes)
{
    fileSystem().setAttributes(m_path, attributes);
}

void FsFile::remove()
{
    fileSystem().deleteFile(m_path);
}

void FsFile::move(const QString &newPath)
{
    fileSystem().moveFile(m_path, newPath);
    m_path = newPath;
    m_name = lastComponent(newPath);
}

// ---- FsFolder --------------------------------------------------------------

FsFolder::FsFolder(const FileSystem *fileSystem, QString name, QString path)
    : m_fileSystem(fileSystem), m_name(std::move(name)), m_path(std::move(path))
{
}

const FileSystem &FsFolder::fileSystem() const
{
    if (!m_fileSystem)
        fail(ErrorNumber::PathNotFound);
    return *m_fileSystem;
}

QList<FsFolder> FsFolder::subFolders() const
{
    return fileSystem().subFolders(m_path);
}

QList<FsFile> FsFolder::files() const
{
    return fileSystem().files(m_path);
}

// ---- FileSystem ------------------------------------------------------------

FileSystem::~FileSystem() = default;

bool FileSystem::folderExists(const QString &path) const
{
    struct stat info;
    return statOf(path, info) && S_ISDIR(info.st_mode);
}

FsFolder FileSystem::getFolder(const QString &path) const
{
    if (!folderExists(path))
        fail(ErrorNumber::PathNotFound);
    return FsFolder(this, lastComponent(path), withTrailingSlash(path));
}

bool FileSystem::fileExists(const QString &path) const
{
    struct stat info;
    return statOf(path, info) && S_ISREG(info.st_mode);
}

FsFile FileSystem::getFile(const QString &path) const
{
    if (!fileExists(path))
        fail(ErrorNumber::FileNotFound);
    return FsFile(this, lastComponent(path), path);
}

QList<FsFolder> FileSystem::subFolders(const QString &folderPath) const
{
    if (!folderExists(folderPath))
        fail(ErrorNumber::PathNotFound);
    const QString base = withTrailingSlash(folderPath);
    const QStringList names = entryNames(folderPath, QDir::Dirs | QDir::Hidden);
    QList<FsFolder> folders;
    folders.reserve(names.size());
    for (const QString &name : names)
        folders.append(FsFolder(this, name, base + name + QLatin1Char('/')));
    return folders;
}

QList<FsFile> FileSystem::files(const QString &folderPath) const
{
    if (!folderExists(folderPath))
        fail(ErrorNumber::PathNotFound);
    const QString base = withTrailingSlash(folderPath);
    const QStringList names = entryNames(folderPath, QDir::Files | QDir::Hidden);
    QList<FsFile> result;
    result.reserve(names.size());
    for (const QString &name : names)
        result.append(FsFile(this, name, base + name));
    return result;
}

int FileSystem::attributes(const QString &filePath) const
{
    struct stat info;
    if (!statOf(filePath, info) || !S_ISREG(info.st_mode))
        fail(ErrorNumber::FileNotFound);
    return (info.st_mode & S_IWUSR) ? FileAttribute::Normal : FileAttribute::ReadOnly;
}

void FileSystem::setAttributes(const QString &filePath, int attributes) const
{
    struct stat info;
    if (!statOf(filePath, info) || !S_ISREG(info.st_mode))
        fail(ErrorNumber::FileNotFound);
    mode_t mode = info.st_mode & 07777;
    if (attributes & FileAttribute::ReadOnly)
        mode &= ~mode_t(S_IWUSR);
    else
        mode |= S_IWUSR;
    if (::chmod(QFile::encodeName(filePath).constData(), mode) != 0)
        failFromErrno(errno);
}

void FileSystem::deleteFile(const QString &filePath) const
{
    // As root the system would delete a read-only file; the user asked not to.
    if (attributes(filePath) & FileAttribute::ReadOnly)
        fail(ErrorNumber::PermissionDenied);
    if (::unlink(QFile::encodeName(filePath).constData()) != 0)
        failFromErrno(errno);
}

void FileSystem::moveFile(const QString &from, const QString &to) const
{
    if (!fileExists(from))
        fail(ErrorNumber::FileNotFound);
    if (to.isEmpty())
        fail(ErrorNumber::PathFileAccessError);
    if (somethingAt(to))
        fail(ErrorNumber::FileAlreadyExists);
    if (to.endsWith(QLatin1Char('/')))
        fail(ErrorNumber::PathFileAccessError);
    if (!folderExists(folderOf(to)))
        fail(ErrorNumber::PathNotFound);
    // QFile::rename never replaces an existing file, even one that appears
    // after the checks above, and copies across file systems.
    QFile file(from);
    if (!file.rename(to))
        fail(somethingAt(to) ? ErrorNumber::FileAlreadyExists : ErrorNumber::PathFileAccessError);
}

// ---- DirectorySearch -------------------------------------------------------

QString DirectorySearch::first(const QString &pattern)
{
    m_names.clear();
    m_next = 0;
    const QString folder = folderOf(pattern);
    const QRegularExpression wildcard = wildcardExpression(
        pattern.mid(pattern.lastIndexOf(QLatin1Char('/')) + 1), Qt::CaseInsensitive);
    // No QDir::Hidden: dot files stay out; the name check below makes sure.
    const QStringList names = entryNames(folder, QDir::Files);
    for (const QString &name : names) {
        if (!name.startsWith(QLatin1Char('.')) && wildcard.match(name).hasMatch())
            m_names.append(name);
    }
    return next();
}

QString DirectorySearch::next()
{
    if (m_next >= m_names.size())
        return {};
    return m_names.at(m_next++);
}
