#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// What the folder browser shows, as plain data: the lines of its directory
// list and the volumes of its volume list. No widgets here, so the rules can
// be checked without a window.
namespace FolderTree {

// One line of the directory list. The open folder and its ancestors are
// "open" lines (open-folder icon), one indent step per level from the root;
// the open folder's sub-folders sit one step further in, closed.
struct DirLine {
    QString name; // "/" for the root
    QString path; // ends with "/"
    int indent = 0;
    bool open = false;

    bool operator==(const DirLine &) const = default;
};

// "/a//b/./c" -> "/a/b/c/"; the root stays "/". Empty for an empty or
// relative path: the lists only ever hold absolute folders.
QString folderPath(const QString &path);

// The folders from the root down to `folder`, each ending with "/":
// "/a/b/" -> "/", "/a/", "/a/b/". Empty for an empty or relative path.
QStringList ancestry(const QString &folder);

// The sub-folder names the list shows, in the order it shows them. Dot
// folders are left out: on Linux they hold settings and caches, never
// comics, and a home folder has dozens of them. Sorted ignoring case, ties
// in code order, so "Comics" and "comics" (two folders here) both appear.
QStringList visibleSubFolders(const QStringList &names);

// All lines for `openFolder` with the given sub-folder names (taken as they
// are: filter and sort them first).
QList<DirLine> directoryLines(const QString &openFolder, const QStringList &subFolderNames);

// The deepest of `path` and its ancestors that `canOpen` accepts; empty when
// none is (or the path is not absolute).
QString nearestOpenable(const QString &path, const std::function<bool(const QString &)> &canOpen);

struct Volume {
    QString root;  // ends with "/"
    QString label; // what the volume list shows

    bool operator==(const Volume &) const = default;
};

// The volume holding `path`: the one with the longest root that is a
// folder-wise prefix of it (case-sensitive, as Linux paths are); -1 when
// none holds it.
int volumeIndexOf(const QString &path, const QList<Volume> &volumes);

// Whether a mounted file system is one a user keeps files on: not a kernel
// or runtime pseudo file system, not a system area, not a snap image.
bool isUserVolume(const QString &root, const QString &fileSystemType);

// The volumes of the volume list and whether each is ready. The base class
// asks the system: the root "/", the home folder, then every mounted user
// volume (by mount point); a volume is ready when its root is a folder and
// the system reports it ready. Tests install their own list.
class VolumeSource {
public:
    virtual ~VolumeSource();
    virtual QList<Volume> volumes() const;
    virtual bool isReady(const QString &root) const;

    static VolumeSource &current();
    // Installs a replacement; nullptr restores the system's volumes.
    static void install(std::unique_ptr<VolumeSource> source);
};

} // namespace FolderTree
