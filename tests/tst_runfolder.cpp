// The private run folder: made, locked, removed at the end; at start, dead runs' folders go.
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "platform/PrivateRunFolder.h"

#include <QtTest>
#include <sys/file.h>
#include <unistd.h>

// Locks a lock file as a run does; the lock lasts while the file is open.
static bool lock(QFile &file)
{
    return file.open(QIODevice::ReadWrite) && flock(file.handle(), LOCK_EX | LOCK_NB) == 0;
}

class TestRunFolder : public QObject {
    Q_OBJECT
private slots:
    // The last letter: a dead run's folder (d), one with a link out (i), a live run's (l), one
    // without a lock (n), a link (s), another user's (o); the last two names are no run's.
    void onlyFoldersOfDeadRunsGoAtStartUp()
    {
        const QString tmp = QDir::tempPath() + '/', outside = TestEnvironment::freshFolder("out");
        SeriesFixtures::writeBytes(outside + "/.lock", ""); // unlocked: only being outside saves it
        const QStringList names = {"pagora-viewer-dead0d", "pagora-viewer-link0i",
                                   "pagora-viewer-live0l", "pagora-viewer-lock0n",
                                   "pagora-viewer-link0s", "pagora-viewer-user0o",
                                   "pagora-viewer-abd",    "PAGORA-VIEWER-abcded"};
        QFile live(tmp + names[2] + "/.lock");
        for (const QString &name : names) {
            const QChar kind = name.back();
            if (kind == 's' && QFile::link(outside, tmp + name))
                continue;
            SeriesFixtures::writeBytes(tmp + name + (kind == 'n' ? "/page.jpg" : "/.lock"), "");
            QVERIFY(kind != 'l' || lock(live));
            QVERIFY(kind != 'i' || QFile::link(outside, tmp + name + "/outside"));
            QVERIFY(kind != 'o' || ::chown(QFile::encodeName(tmp + name), ::getuid() + 1, -1) == 0);
        }
        QString own;
        {
            PrivateRunFolder run;
            QFile ownLock((own = run.path()) + ".lock");
            QVERIFY(QFileInfo(own).isDir() && !lock(ownLock));
            for (const QString &name : names)
                QCOMPARE(QFileInfo::exists(tmp + name), names.indexOf(name) > 1);
            QCOMPARE(SeriesFixtures::folderEntries(outside).size(), 1);
        }
        QVERIFY(!QFileInfo::exists(own));
    }
};

PAGORA_TEST_MAIN(TestRunFolder)
#include "tst_runfolder.moc"
