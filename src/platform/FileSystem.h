#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Folders and files as the program reaches them: full paths using "/",
// failures thrown as PlatformError (53 File not found, 58 File already
// exists, 70 Permission denied, 75 Path/File access error, 76 Path not found).
// Every operation is virtual so a test can put a failing layer in its place.

namespace FileAttribute {
inline constexpr int Normal = 0;
// On Linux a file is read-only when its owner-write permission bit is off.
inline constexpr int ReadOnly = 1;
} // namespace FileAttribute

class FileSystem;

// A file found through a FileSystem; its operations go back through that
// object, which must outlive it.
class FsFile {
public:
    FsFile() = default;
    FsFile(const FileSystem *fileSystem, QString name, QString path);

    QString name() const { return m_name; } // no folder part
    QString path() const { return m_path; } // full path

    int attributes() const;
    void setAttributes(int attributes);
    void remove();
    // Renames to a new full path and follows the file there.
    void move(const QString &newPath);

private:
    const FileSystem &fileSystem() const;

    const FileSystem *m_fileSystem = nullptr;
    QString m_name;
    QString m_path;
};

// A folder found through a FileSystem, which must outlive it.
class FsFolder {
public:
    FsFolder() = default;
    FsFolder(const FileSystem *fileSystem, QString name, QString path);

    QString name() const { return m_name; } // empty for the root
    QString path() const { return m_path; } // ends with "/"

    QList<FsFolder> subFolders() const;
    QList<FsFile> files() const;

private:
    const FileSystem &fileSystem() const;

    const FileSystem *m_fileSystem = nullptr;
    QString m_name;
    QString m_path;
};

// The real file system. Folder paths may end with "/". Symbolic links are
// followed; a broken one is neither a file nor a folder. Listings come in
// the order the file system keeps the entries (callers sort) and include
// hidden (dot) entries.
class FileSystem {
public:
    virtual ~FileSystem();

    virtual bool folderExists(const QString &path) const;
    // Throws PathNotFound when there is no folder at the path.
    virtual FsFolder getFolder(const QString &path) const;
    // True only for a file, never for a folder.
    virtual bool fileExists(const QString &path) const;
    // Throws FileNotFound when there is no file at the path.
    virtual FsFile getFile(const QString &path) const;

    // Direct sub-folders and direct files; PathNotFound for a missing folder.
    virtual QList<FsFolder> subFolders(const QString &folderPath) const;
    virtual QList<FsFile> files(const QString &folderPath) const;

    // FileAttribute bits of a file; FileNotFound when there is none.
    virtual int attributes(const QString &filePath) const;
    // Sets or clears the owner-write bit only; other permission bits stay.
    virtual void setAttributes(const QString &filePath, int attributes) const;
    // PermissionDenied for a read-only file, even where the system would allow it.
    virtual void deleteFile(const QString &filePath) const;
    // Never replaces anything: FileAlreadyExists when the target is taken (by a
    // file or a folder), PathNotFound when its folder is missing.
    virtual void moveFile(const QString &from, const QString &to) const;
};

// Files of one folder whose names match a wildcard: first("/comics/Series/*.zip")
// gives the first matching name (no folder part), next() one more per call,
// and an empty string when none is left. Only "*" and "?" are wildcards and
// they match without regard to case; every other character stands for itself.
// Normal files only: no folders, hidden (dot) files, devices, pipes or sockets.
// A missing folder simply matches nothing. The names are taken when first()
// runs, in the file system's order.
class DirectorySearch {
public:
    QString first(const QString &pattern);
    QString next();

private:
    QStringList m_names;
    qsizetype m_next = 0;
};
