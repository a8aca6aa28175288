#include "platform/PrivateRunFolder.h"

#include <QDir>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString lockName = QStringLiteral(".lock");

// A kernel lock: it goes with the process however the process ends. flock
// locks belong to the open file, so even a second open in this process is
// refused while the first holds it.
bool lockNow(int fd)
{
    return flock(fd, LOCK_EX | LOCK_NB) == 0;
}

} // namespace

PrivateRunFolder::PrivateRunFolder()
    : m_parent(QDir::tempPath()), m_dir(m_parent + QStringLiteral("/pagora-viewer-XXXXXX"))
{
    if (!m_dir.isValid())
        return;
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // The lock file is locked under another name and then renamed, so no
    // one ever sees it unlocked while this run lives.
    const QByteArray partial = QFile::encodeName(
        m_dir.filePath(lockName + QStringLiteral(".part")));
    const int fd = ::open(partial.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        if (lockNow(fd)
            && ::rename(partial.constData(),
                        QFile::encodeName(m_dir.filePath(lockName)).constData())
                   == 0)
            m_lock.open(fd, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle);
        else
            ::close(fd);
    }

    // Our own folder is safe: its lock is held above (or missing).
    removeStaleRunFolders(QDir::tempPath());
}

QString PrivateRunFolder::path() const
{
    if (!m_dir.isValid())
        return {};
    return m_dir.path() + QLatin1Char('/');
}

QString PrivateRunFolder::failure() const
{
    if (m_dir.isValid())
        return {};
    return QStringLiteral("cannot make a private folder in %1: %2")
        .arg(m_parent, m_dir.errorString());
}

void removeStaleRunFolders(const QString &tempRoot)
{
    const QDir root(tempRoot);
    const QStringList names = root.entryList({QStringLiteral("pagora-viewer-??????")},
                                             QDir::Dirs | QDir::NoDotAndDotDot
                                                 | QDir::CaseSensitive);
    for (const QString &name : names) {
        const QString folder = root.filePath(name);
        struct stat info;
        if (::lstat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode)
            || info.st_uid != ::getuid())
            continue;
        const QByteArray lockPath = QFile::encodeName(folder + QLatin1Char('/') + lockName);
        const int fd = ::open(lockPath.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        // Locked, and still the file under that name (not one a new run
        // put there after the folder was emptied by its own run).
        struct stat held, now;
        if (lockNow(fd) && ::fstat(fd, &held) == 0 && ::lstat(lockPath.constData(), &now) == 0
            && held.st_dev == now.st_dev && held.st_ino == now.st_ino)
            QDir(folder).removeRecursively(); // removes links inside, never follows them
        ::close(fd);
    }
}
