#include "dialogs/FolderTree.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>
#include <algorithm>

namespace FolderTree {

namespace {

const QLatin1Char kSlash('/');

// Folder-wise containment: "/media/u/" holds "/media/u/x/", not "/media/ux/".
bool isWithin(const QString &folder, const QString &container)
{
    return folder.startsWith(container);
}

// The root and a home folder by their place, a mounted volume by its name.
QString labelled(const QString &name, const QString &root)
{
    const QString shown = root.size() > 1 ? root.chopped(1) : root;
    return name.isEmpty() || name == shown ? shown : name + QStringLiteral(" (") + shown + u')';
}

std::unique_ptr<VolumeSource> &installed()
{
    static std::unique_ptr<VolumeSource> source;
    return source;
}

} // namespace

QString folderPath(const QString &path)
{
    if (!path.startsWith(kSlash))
        return {};
    QString clean = QDir::cleanPath(path);
    if (!clean.endsWith(kSlash))
        clean += kSlash;
    return clean;
}

QStringList ancestry(const QString &folder)
{
    const QString path = folderPath(folder);
    QStringList folders;
    for (qsizetype slash = path.indexOf(kSlash); slash >= 0;
         slash = path.indexOf(kSlash, slash + 1))
        folders.append(path.left(slash + 1));
    return folders;
}

QStringList visibleSubFolders(const QStringList &names)
{
    QStringList shown;
    for (const QString &name : names)
        if (!name.startsWith(u'.'))
            shown.append(name);
    std::sort(shown.begin(), shown.end(), [](const QString &a, const QString &b) {
        const int folded = QString::compare(a, b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    return shown;
}

QList<DirLine> directoryLines(const QString &openFolder, const QStringList &subFolderNames)
{
    const QStringList folders = ancestry(openFolder);
    QList<DirLine> lines;
    for (qsizetype level = 0; level < folders.size(); ++level) {
        const QString &path = folders[level];
        const QString name = level == 0 ? QStringLiteral("/") : path.section(kSlash, -2, -2);
        lines.append({name, path, int(level), true});
    }
    if (folders.isEmpty())
        return lines;
    const QString &open = folders.last();
    const int subIndent = int(folders.size());
    for (const QString &name : subFolderNames)
        lines.append({name, open + name + kSlash, subIndent, false});
    return lines;
}

QString nearestOpenable(const QString &path, const std::function<bool(const QString &)> &canOpen)
{
    const QStringList folders = ancestry(path);
    for (auto it = folders.crbegin(); it != folders.crend(); ++it)
        if (canOpen(*it))
            return *it;
    return {};
}

int volumeIndexOf(const QString &path, const QList<Volume> &volumes)
{
    const QString folder = folderPath(path);
    if (folder.isEmpty())
        return -1;
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < volumes.size(); ++i) {
        const QString root = folderPath(volumes[i].root);
        if (!root.isEmpty() && isWithin(folder, root) && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    return best;
}

bool isUserVolume(const QString &root, const QString &fileSystemType)
{
    static const QSet<QString> pseudoTypes = {
        QStringLiteral("autofs"),     QStringLiteral("binfmt_misc"), QStringLiteral("bpf"),
        QStringLiteral("cgroup"),     QStringLiteral("cgroup2"),     QStringLiteral("configfs"),
        QStringLiteral("debugfs"),    QStringLiteral("devpts"),      QStringLiteral("devtmpfs"),
        QStringLiteral("efivarfs"),   QStringLiteral("fusectl"),     QStringLiteral("hugetlbfs"),
        QStringLiteral("mqueue"),     QStringLiteral("nsfs"),        QStringLiteral("proc"),
        QStringLiteral("pstore"),     QStringLiteral("ramfs"),       QStringLiteral("rpc_pipefs"),
        QStringLiteral("securityfs"), QStringLiteral("squashfs"),    QStringLiteral("sysfs"),
        QStringLiteral("tmpfs"),      QStringLiteral("tracefs"),
    };
    // System areas; removable media mounted under /run/media stay.
    static const QStringList systemAreas = {
        QStringLiteral("/boot/"), QStringLiteral("/dev/"), QStringLiteral("/etc/"),
        QStringLiteral("/proc/"), QStringLiteral("/run/"), QStringLiteral("/snap/"),
        QStringLiteral("/sys/"),  QStringLiteral("/usr/"), QStringLiteral("/var/"),
    };
    if (pseudoTypes.contains(fileSystemType))
        return false;
    const QString folder = folderPath(root);
    if (folder.isEmpty())
        return false;
    if (isWithin(folder, QStringLiteral("/run/media/")) && folder != QStringLiteral("/run/media/"))
        return true;
    return std::none_of(systemAreas.cbegin(), systemAreas.cend(),
                        [&](const QString &area) { return isWithin(folder, area); });
}

VolumeSource::~VolumeSource() = default;

QList<Volume> VolumeSource::volumes() const
{
    const QString home = folderPath(QDir::homePath());
    QList<Volume> list = {{QStringLiteral("/"), QStringLiteral("File System (/)")}};
    if (!home.isEmpty() && home != QStringLiteral("/"))
        list.append({home, labelled(QStringLiteral("Home"), home)});
    for (const QStorageInfo &storage : QStorageInfo::mountedVolumes()) {
        const QString root = folderPath(storage.rootPath());
        if (root.isEmpty() || !isUserVolume(root, QString::fromLatin1(storage.fileSystemType())))
            continue;
        const bool listed = std::any_of(list.cbegin(), list.cend(),
                                        [&](const Volume &v) { return v.root == root; });
        if (!listed)
            list.append({root, labelled(storage.displayName(), root)});
    }
    return list;
}

bool VolumeSource::isReady(const QString &root) const
{
    return QFileInfo(root).isDir() && QStorageInfo(root).isReady();
}

VolumeSource &VolumeSource::current()
{
    static VolumeSource system;
    return installed() ? *installed() : system;
}

void VolumeSource::install(std::unique_ptr<VolumeSource> source)
{
    installed() = std::move(source);
}

} // namespace FolderTree
