// The private run folder: made locked, removed when the run ends, and the
// folders of killed runs removed when the next run starts.
#include "TestEnvironment.h"
#include "platform/PrivateRunFolder.h"

#include <QtTest>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Opens and locks a file the way a run holds its lock file; -1 when the lock is refused.
int lockedFd(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0)
        return ::close(fd), -1;
    return fd;
}

void touch(const QString &path) { QVERIFY2(QFile(path).open(QIODevice::WriteOnly), qPrintable(path)); }

// Every entry under root, links listed but not followed.
QStringList tree(const QString &root)
{
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next().mid(root.size() + 1);
    return paths.sort(), paths;
}

} // namespace

class TestRunFolder : public QObject {
    Q_OBJECT
private slots:
    void onlyFoldersOfDeadRunsGoAtStartUp()
    {
        const QString tmp = QDir::tempPath(), outside = TestEnvironment::freshFolder(QStringLiteral("outside"));
        for (const char *name : {"/keep.jpg", "/.lock"}) // the lock is free: only the link test keeps it
            touch(outside + QLatin1String(name));
        enum Kind { Dead, Live, NoLock, Link, DeadWithLinkInside, OtherOwner };
        struct Row { const char *name; Kind kind; bool gone; };
        Row rows[] = {{"pagora-viewer-Dead01", Dead, true},     {"pagora-viewer-LinkIn", DeadWithLinkInside, true},
                      {"pagora-viewer-Live01", Live, false},    {"pagora-viewer-NoLock", NoLock, false},
                      {"pagora-viewer-LINKED", Link, false},    {"pagora-viewer-Other1", OtherOwner, false},
                      {"pagora-viewer-abc", Dead, false},       {"pagora-viewer-abcdefg", Dead, false},
                      {"PAGORA-VIEWER-abcdef", Dead, false},    {"other-abcdef", Dead, false}};
        int liveFd = -1;
        for (Row &row : rows) {
            const QString dir = tmp + u'/' + QLatin1String(row.name);
            if (row.kind == Link) {
                QVERIFY(QFile::link(outside, dir));
                continue;
            }
            QVERIFY(QDir().mkdir(dir));
            touch(dir + QStringLiteral("/TempImage.jpg"));
            if (row.kind != NoLock)
                touch(dir + QStringLiteral("/.lock"));
            if (row.kind == Live) {
                liveFd = lockedFd(dir + QStringLiteral("/.lock"));
                QVERIFY(liveFd >= 0 && lockedFd(dir + QStringLiteral("/.lock")) == -1); // a second open is refused
            }
            if (row.kind == DeadWithLinkInside)
                QVERIFY(QFile::link(outside, dir + QStringLiteral("/outside")));
            if (row.kind == OtherOwner && ::chown(QFile::encodeName(dir).constData(), ::getuid() + 1, -1) != 0)
                row.gone = true; // not root: the folder stays ours, and dead
        }
        const QStringList before = tree(tmp), outsideBefore = tree(outside);

        QString own;
        {
            PrivateRunFolder run;
            own = QDir(run.path()).dirName();
            QCOMPARE(lockedFd(run.path() + QStringLiteral(".lock")), -1);
            QStringList expected{own, own + QStringLiteral("/.lock")};
            for (const QString &path : before)
                if (!std::any_of(std::begin(rows), std::end(rows),
                                 [&](const Row &r) { return r.gone && path.section(u'/', 0, 0) == QLatin1String(r.name); }))
                    expected << path;
            expected.sort();
            QCOMPARE(tree(tmp), expected);
        }
        QVERIFY(!QFileInfo::exists(tmp + u'/' + own));
        QCOMPARE(tree(outside), outsideBefore);
        ::close(liveFd);
    }
};

PAGORA_TEST_MAIN(TestRunFolder)
#include "tst_runfolder.moc"
