// The private run folder: made and locked; at start, dead runs' folders go (removal: tst_badinput).
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "platform/PrivateRunFolder.h"

#include <QtTest>
#include <sys/file.h>
#include <unistd.h>

class TestRunFolder : public QObject {
    Q_OBJECT
private slots:
    // By the last letter: a dead run's with a link out, a live run's, without a lock, a link,
    // another user's; in capitals or too short, no run's.
    void onlyFoldersOfDeadRunsGoAtStartUp()
    {
        auto lock = [](auto f) { return !flock(::open(qPrintable(f), O_RDWR), LOCK_EX | LOCK_NB); };
        const QString outside = TestEnvironment::freshFolder("out"), p = "pagora-viewer-";
        const QStringList names = {p + "dead0d", p.toUpper() + "0dead0", p + "live0l", p + "lock0n",
                                   p + "link0s", p + "user0o",           p + "abc"};
        QVERIFY(QDir::setCurrent(QDir::tempPath()));
        for (const QString &name : names) {
            QVERIFY(name.back() != 's' || QFile::link(outside, name)); // with an unlocked lock
            SeriesFixtures::writeBytes(name + (name.back() == 'n' ? "/1.jpg" : "/.lock"), "");
            QVERIFY(name.back() != 'l' || lock(name + "/.lock"));
            QVERIFY(name.back() != 'd' || QFile::link(outside, name + "/outside"));
            QVERIFY(name.back() != 'o' || ::chown(qPrintable(name), ::getuid() + 1, -1) == 0);
        }
        const PrivateRunFolder run;
        QVERIFY(QFileInfo(run.path()).isDir() && !lock(run.path() + ".lock"));
        for (const QString &name : names)
            QCOMPARE(QFileInfo::exists(name), name != names[0]);
        QCOMPARE(SeriesFixtures::folderEntries(outside).size(), 1); // its .lock
    }
};

PAGORA_TEST_MAIN(TestRunFolder)
#include "tst_runfolder.moc"
